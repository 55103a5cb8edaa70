#pragma once

#include "Tile.h"

// Solid rock; also the tile of every cell outside the grid.
class Tile_Wall : public Tile
{
  public:
    Tile_Wall();
    void draw(uint16_t layer) override;
};
