#include "Tile_RoundWall.h"

Tile_RoundWall::Tile_RoundWall()
{
    solidFlag = 1;
    roundFlag = 1;
}

void Tile_RoundWall::draw(uint16_t layer)
{
    if (layer == 1)
    {
        drawCellQuad(Rect{0.125f, 0.0f, 0.1875f, 0.0625f});
    }
}
