#pragma once

#include "Tile.h"

class Sound;

// The way out: opens once every diamond is collected and completes the level when the player
// reaches its centre. Solid, and never explodes.
class Tile_Exit : public Tile
{
  public:
    Tile_Exit();
    ~Tile_Exit() override;
    void update() override;
    void drawTop() override;

  private:
    Sprite* sprite; // owned
    Sound* openSound;
};
