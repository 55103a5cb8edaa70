#pragma once

#include "CellPos.h"
#include "Rect.h"

#include <cstddef>
#include <cstdint>
#include <list>

class Entity;
class Entity_Player;
class Sprite;
class VideoDriver;

// One cell of the grid: what it is to the movers, which things stand on it, its explosion,
// and (in subclasses) how it draws. The grid owns its tiles; a tile never owns its things.
class Tile
{
  public:
    Tile();
    virtual ~Tile();

    // Runs the explosion animation.
    virtual void update();
    // Emits the tile's quad into the grid's batch (layer 1); the plain tile draws nothing.
    virtual void draw(uint16_t layer);
    // The explosion, over everything else of the cell.
    virtual void drawTop();

    bool isSand() const { return sandFlag != 0; }
    bool isSolid() const { return solidFlag != 0; }
    bool isOpen() const { return openFlag != 0; }
    bool isDoor() const { return doorFlag != 0; }
    bool isExploding() const { return exploding != 0; }

    void setCell(const CellPos& position);
    CellPos getCell() const { return cell; }

    void addEntity(Entity* entity);
    // Removes every occurrence.
    void removeEntity(Entity* entity);
    bool hasEntities() const { return !entities.empty(); }
    // Walk of the things on this cell; null at the end. Shares one cursor with isRound and
    // isFreeFor, so neither may be called on this tile inside a walk.
    Entity* firstEntity();
    Entity* nextEntity();

    // The round flag, or any round thing on the cell.
    bool isRound();
    // May mover enter? With distance 0: not solid, not sand, and nothing on it but the mover
    // and the ignored kinds. Otherwise only things strictly nearer than distance block.
    bool isFreeFor(bool ignoreEnemies, bool ignorePlayer, Entity* mover, float distance);
    // This cell's part of a 3 x 3 explosion.
    void explode();

  protected:
    // Centre of the cell in level pixels.
    float centreX() const;
    float centreY() const;
    // One quad over the cell into the grid's open batch, from the bound tileset.
    void drawCellQuad(const Rect& texRect) const;

    VideoDriver* videoDriver;
    CellPos cell;
    std::list<Entity*> entities;
    std::list<Entity*>::iterator entityCursor;
    Entity_Player* player;
    uint8_t sandFlag;
    uint8_t solidFlag;
    uint8_t roundFlag;
    uint8_t openFlag;
    uint8_t doorFlag;
    Sprite* explosion; // owned
    uint8_t exploding;

  private:
    // Every thing of the level taken off its cells and listed again, in the level's order.
    static void relistAll();
    // This cell's part of it: standing are the things listed here afterwards, in the level's order.
    void relist(const Entity* const* standing, std::size_t count);

    Tile(const Tile&) = delete;
    Tile& operator=(const Tile&) = delete;
};
