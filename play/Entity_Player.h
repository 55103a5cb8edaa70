#pragma once

#include "Direction.h"
#include "Entity.h"

#include <cstdint>

class Entity_Bonus;
class Sound;
class Tile;

// The digging creature the user steers: one cell per step, digs sand, pushes rocks and boxes
// sideways, opens doors with keys, drops lit bombs, and spends one apple of energy per step.
class Entity_Player : public Entity
{
  public:
    static constexpr uint16_t maxApples = 200;

    Entity_Player();
    ~Entity_Player() override;

    void update() override;
    // Blinks for the first 120 frames of a level while playing.
    void draw() override;

    // Called by a bonus the player reaches.
    void collect(Entity_Bonus* bonus);
    // animate: play the dying animation; otherwise the player vanishes.
    void die(bool animate);
    // Death in an explosion round the player's cell.
    void kill();
    void laugh();
    void addScore(uint16_t points);
    // Back to the start of a level: position, counters, meter.
    void reset();

    void setStartPosition(const Vec2& position);
    void startBlink() { blink = 1; }
    void setFrozen(bool value) { frozen = value; }
    void setDashWithControl(bool value) { dashWithControl = value; }
    bool getDashWithControl() const { return dashWithControl != 0; }

    bool isDead() const { return dead != 0; }
    uint16_t getDiamonds() const { return diamonds; }
    uint16_t getScore() const { return score; }
    uint16_t getApples() const { return apples; }
    // Keys held of colour 0 (yellow) or 1 (blue); any other colour holds none.
    uint16_t getKeys(uint8_t color) const { return color < 2 ? keys[color] : 0; }
    uint16_t getBombs() const { return bombs; }
    uint16_t getBlink() const { return blink; }
    uint32_t getApplesCollected() const { return applesCollected; }
    uint32_t getKeysCollected() const { return keysCollected; }
    uint32_t getBombsCollected() const { return bombsCollected; }
    uint32_t getEnemiesKilled() const { return enemiesKilled; }

    // Counting the meter down on the statistics screen.
    void drainApples();
    void clearApples() { apples = 0; }

    // Empties the cell next to the player in direction; returns the new empty tile.
    Tile* dig(const Direction& direction);

  private:
    enum SoundIndex
    {
        soundApple = 0,
        soundDiamond = 1,
        soundKey = 2,
        soundBomb = 3,
        soundDig = 4,  // 4 to 6
        soundStep = 7, // 7 to 9
        soundRockPush = 10,
        soundBoxPush = 11,
        soundLaughing = 12,
        soundDying = 13,
        soundCount = 14
    };

    void decide();
    void setWalkingAnimation(const Direction& direction);
    void setStandingFrame();
    void followWithCamera();

    float startX;
    float startY;
    uint8_t dead;
    uint8_t dashWithControl;
    uint16_t diamonds;
    uint16_t score;
    uint16_t apples;
    uint16_t keys[2];
    uint16_t bombs;
    uint16_t bombCooldown;
    uint16_t blink;
    uint16_t stepSoundCounter;
    uint32_t bombsCollected;
    uint32_t keysCollected;
    uint32_t enemiesKilled;
    uint32_t applesCollected;
    uint8_t frozen;
    Sound* sounds[soundCount];
};
