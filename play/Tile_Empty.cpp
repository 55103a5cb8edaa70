#include "Tile_Empty.h"

void Tile_Empty::draw(uint16_t layer)
{
    (void)layer;
}
