#include "Map.h"

#include "Core.h"
#include "Device.h"
#include "Entity.h"
#include "Entity_Player.h"
#include "Font.h"
#include "Game.h"
#include "Level.h"
#include "TileSize.h"
#include "Tilemap.h"
#include "VideoDriver.h"

Map::Map()
    : device(nullptr), videoDriver(nullptr), tilemap(nullptr), level(nullptr), font1(nullptr), frames(0)
{
    device = Core::getDevice();
    videoDriver = device->getVideoDriver();
    level = Core::getGame()->getLevel();
    tilemap = level->getTilemap();
    font1 = videoDriver->getFont("textures/font1.png");
}

Map::~Map() = default;

void Map::start()
{
    frames = 0;
}

void Map::update()
{
    if (device->anyKeyPressed())
    {
        Core::getGame()->setState(2, true);
    }
    ++frames;
}

uint16_t Map::cellSize(uint16_t w, uint16_t h)
{
    if (w <= 16 && h <= 16)
    {
        return 32;
    }
    if (w <= 32 && h <= 32)
    {
        return 16;
    }
    return 8;
}

void Map::draw()
{
    videoDriver->setColor(0.0f, 0.0f, 0.0f, 0.85f);
    videoDriver->drawTexture(nullptr, Rect{0.0f, 0.0f, 1024.0f, 768.0f});
    videoDriver->setColor(1.0f, 1.0f, 1.0f, 1.0f);

    const int32_t w = tilemap->getWidth();
    const int32_t h = tilemap->getHeight();
    const uint16_t s = cellSize(static_cast<uint16_t>(w), static_cast<uint16_t>(h));

    videoDriver->pushMatrix();
    Vec2 origin{static_cast<float>(512 - w * s / 2), static_cast<float>(348 - h * s / 2)};
    videoDriver->translate(origin);

    // Tiles place themselves at cell x tile size; play goes on at 64 straight after.
    tileWidth = s;
    tileHeight = s;
    tilemap->draw(0, true);
    tileWidth = 64;
    tileHeight = 64;

    // Things keep their 64-per-cell positions; the scale brings them onto the small grid.
    videoDriver->pushMatrix();
    const float factor = s / 64.0f;
    videoDriver->scale(Vec2{factor, factor});
    for (Entity* entity = level->firstEntity(); entity != nullptr; entity = level->nextEntity())
    {
        entity->draw();
    }
    if ((frames / 10) % 2 == 0)
    {
        Core::getGame()->getPlayer()->draw();
    }
    tilemap->drawTop(true);
    videoDriver->popMatrix();

    tileWidth = s;
    tileHeight = s;
    tilemap->draw(1, true);
    tileWidth = 64;
    tileHeight = 64;

    videoDriver->popMatrix();

    IntRect caption{0, h * s / 2 + 368, 1024, 768};
    font1->print(caption, TextAlign{0, 255}, "press any key to continue");
}
