#pragma once

#include "Tile.h"

// Diggable earth. Picks one of sixteen pictures from which of its four neighbours are not sand.
class Tile_Sand : public Tile
{
  public:
    Tile_Sand();
    void draw(uint16_t layer) override;
    // Bit 0 above, 1 right, 2 below, 3 left: set when that neighbour is not sand.
    uint8_t getMask() const;
    // The tileset rectangle of the current mask.
    Rect getTextureRect() const;
};
