#pragma once

#include "Tile.h"

// A dug or blasted cell: nothing to draw but the background.
class Tile_Empty : public Tile
{
  public:
    Tile_Empty() {}
    void draw(uint16_t layer) override;
};
