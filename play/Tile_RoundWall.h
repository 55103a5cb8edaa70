#pragma once

#include "Tile.h"

// A solid wall that things roll off and that explosions clear.
class Tile_RoundWall : public Tile
{
  public:
    Tile_RoundWall();
    void draw(uint16_t layer) override;
};
