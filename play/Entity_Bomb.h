#pragma once

#include "Entity_Bonus.h"

class Font;
class Sound;

// Lying, a bomb is a bonus to collect. Lit (armed), it blocks the player, ticks, shows its
// countdown and blows up the 3 x 3 cells round it; a blast that reaches it sets it off a frame later.
class Entity_Bomb : public Entity_Bonus
{
  public:
    Entity_Bomb();

    // Lights a dropped bomb.
    void arm();
    // Caught in a blast: explodes on its next update, lit or lying.
    void trigger();
    void update() override;
    void draw() override;
    void explode();

    uint16_t getFuse() const { return fuse; }

  private:
    static const uint16_t fullFuse = 180;

    uint16_t fuse;      // frames left once lit
    uint16_t shortFuse; // 1 after a trigger
    Font* font;
    Sound* tickSound;
};
