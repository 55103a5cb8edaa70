#include "Tile_Sand.h"

#include "Core.h"
#include "Game.h"
#include "Level.h"
#include "Tilemap.h"

Tile_Sand::Tile_Sand()
{
    sandFlag = 1;
}

uint8_t Tile_Sand::getMask() const
{
    const Tilemap* tilemap = Core::getGame()->getLevel()->getTilemap();
    const CellPos neighbours[4] = {{cell.x, static_cast<uint16_t>(cell.y - 1)},
                                   {static_cast<uint16_t>(cell.x + 1), cell.y},
                                   {cell.x, static_cast<uint16_t>(cell.y + 1)},
                                   {static_cast<uint16_t>(cell.x - 1), cell.y}};
    uint8_t mask = 0;
    for (int i = 0; i < 4; ++i)
    {
        if (!tilemap->getTile(neighbours[i])->isSand())
        {
            mask |= static_cast<uint8_t>(1 << i);
        }
    }
    return mask;
}

Rect Tile_Sand::getTextureRect() const
{
    const uint8_t mask = getMask();
    const float left = (mask & 7) * 0.125f;
    const float top = ((mask >> 3) + 1) * 0.125f;
    return Rect{left, top, left + 0.0625f, top + 0.0625f};
}

void Tile_Sand::draw(uint16_t layer)
{
    if (layer == 1)
    {
        drawCellQuad(getTextureRect());
    }
}
