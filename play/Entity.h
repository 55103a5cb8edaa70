#pragma once

#include "CellPos.h"
#include "Direction.h"
#include "Vec2.h"

#include <cstdint>

class Sprite;

// Base of everything that moves on the grid. Moves in whole-cell steps of stepsPerCell frames,
// keeps itself listed in the tiles it overlaps and draws its sprite when the camera sees it.
class Entity
{
  public:
    Entity();
    // Takes the entity off its tiles and deletes the sprite.
    virtual ~Entity();

    // One frame of step movement, cell registration and sprite animation.
    virtual void update();
    // The sprite centred on the position, skipped outside the camera (except in the overview).
    virtual void draw();
    virtual bool isBomb();

    Vec2 getPosition() const;
    void setPosition(const Vec2& position);
    // The cell holding the centre: position / tile size, truncated toward zero.
    CellPos getCell() const;
    // Starts a one-cell step; (0, 0) starts a step that stands still.
    void setDirection(const Direction& direction);
    Direction getDirection() const;
    Sprite* getSprite() const { return sprite; }

    bool isRock() const { return rockFlag != 0; }
    bool isMoving() const { return moving != 0; }
    bool isBonus() const { return bonusFlag != 0; }
    bool isFaller() const { return fallerFlag != 0; }
    bool isEnemy() const { return enemyFlag != 0; }
    bool isRound() const { return roundFlag != 0; }
    bool isKey() const { return keyFlag != 0; }
    bool isArmed() const { return armed != 0; }
    bool isBox() const { return boxFlag != 0; }
    bool wasMoving() const { return wasMovingFlag != 0; }

    float distanceTo(const Entity* other) const;

    // Lists the entity in the tile under its lower-right inner corner and, when it differs,
    // the tile under its second corner. Cells outside the grid are never written to.
    void addToCells();
    void removeFromCells();
    // The cells addToCells lists the entity in (none, one or two); the count is returned.
    int listedCells(CellPos cells[2]) const;

  protected:
    Sprite* sprite; // owned; null draws nothing
    float x;        // centre, level pixels
    float y;
    uint8_t moving;       // a one-cell step is in progress
    uint16_t stepCounter; // frames of the current step already moved
    int8_t dx;            // direction of the current or last step
    int8_t dy;
    int8_t prevDx; // direction before the last setDirection
    int8_t prevDy;
    uint16_t stepsPerCell;
    uint8_t rockFlag;   // pushable, rock push sound
    uint8_t bonusFlag;  // collectable, survives explosions
    uint8_t fallerFlag; // falls; changes the cell registration
    uint8_t enemyFlag;  // an ant
    uint8_t roundFlag;  // round things roll off it
    uint8_t rotates;    // sprite turns while moving sideways
    uint8_t keyFlag;
    uint8_t armed;         // a lit bomb; blocks the player
    uint8_t bombFlag;      // answer of the base isBomb
    uint8_t wasMovingFlag; // the last update ran during a step
    uint8_t boxFlag;       // pushable, box push sound

  private:
    Entity(const Entity&) = delete;
    Entity& operator=(const Entity&) = delete;
};
