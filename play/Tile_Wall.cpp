#include "Tile_Wall.h"

Tile_Wall::Tile_Wall()
{
    solidFlag = 1;
}

void Tile_Wall::draw(uint16_t layer)
{
    if (layer == 1)
    {
        drawCellQuad(Rect{0.0f, 0.0f, 0.0625f, 0.0625f});
    }
}
