#include "Tilemap.h"

#include "AudioDriver.h"
#include "Core.h"
#include "Device.h"
#include "Entity_Player.h"
#include "Game.h"
#include "Level.h"
#include "Message.h"
#include "Sound.h"
#include "Texture.h"
#include "Tile.h"
#include "TileSize.h"
#include "Tile_Empty.h"
#include "Tile_Wall.h"
#include "VideoDriver.h"
#include "View.h"

#include <algorithm>

Tilemap::Tilemap()
    : outside(nullptr), width(0), height(0), videoDriver(nullptr), background(nullptr), tileset(nullptr),
      explosionSound(nullptr)
{
    Core::log("Tilemap: init");
    videoDriver = Core::getDevice()->getVideoDriver();
    std::fill(grid, grid + maxSize * maxSize, nullptr);
    outside = new Tile_Wall();
    explosionSound = Core::getAudioDriver()->getSound("sounds/explosion.wav");
}

Tilemap::~Tilemap()
{
    clean();
    delete outside;
    Core::log("Tilemap: done");
}

void Tilemap::create(CellPos& size)
{
    size.x = std::min<uint16_t>(size.x, maxSize);
    size.y = std::min<uint16_t>(size.y, maxSize);
    width = size.x;
    height = size.y;

    const std::string folder = "textures/" + Core::getGame()->getLevel()->getTileset();
    background = videoDriver->getTexture(folder + "/tile-empty.png", true);
    tileset = videoDriver->getTexture(folder + "/tileset.png", true);

    clean();
    for (uint16_t y = 0; y < height; ++y)
    {
        for (uint16_t x = 0; x < width; ++x)
        {
            setTile(CellPos{x, y}, new Tile_Empty());
        }
    }
    Core::log("Tilemap: created (" + std::to_string(width) + "x" + std::to_string(height) + ")");
}

// The whole array, not just the current size: a smaller level after a bigger one must not
// leave the bigger one's tiles and texts behind.
void Tilemap::clean()
{
    for (unsigned i = 0; i < maxSize * maxSize; ++i)
    {
        messages[i].clear();
        delete grid[i];
        grid[i] = nullptr;
    }
    Core::log("Tilemap: cleaned");
}

Tile* Tilemap::getTile(const CellPos& position) const
{
    if (!isInside(position))
    {
        return outside;
    }
    return grid[index(position.x, position.y)];
}

void Tilemap::setTile(const CellPos& position, Tile* tile)
{
    if (!isInside(position))
    {
        // Nowhere to keep it; the grid owns every tile handed to it.
        delete tile;
        return;
    }
    Tile*& entry = grid[index(position.x, position.y)];
    if (entry != tile)
    {
        delete entry;
        entry = tile;
    }
    if (tile != nullptr)
    {
        tile->setCell(position);
    }
}

void Tilemap::addMessage(const CellPos& position, const std::string& text)
{
    if (position.x >= maxSize || position.y >= maxSize)
    {
        return;
    }
    messages[index(position.x, position.y)].push_back(text);
}

const std::vector<std::string>& Tilemap::getMessages(const CellPos& position) const
{
    static const std::vector<std::string> none;
    if (position.x >= maxSize || position.y >= maxSize)
    {
        return none;
    }
    return messages[index(position.x, position.y)];
}

void Tilemap::explode(const CellPos& centre)
{
    // Plain ints: a centre on row or column 0 (or 65535) must not wrap onto the far side.
    for (int y = centre.y - 1; y <= centre.y + 1; ++y)
    {
        for (int x = centre.x - 1; x <= centre.x + 1; ++x)
        {
            if (x < 0 || y < 0 || x >= width || y >= height)
            {
                continue; // outside cells are walls
            }
            const CellPos cell{static_cast<uint16_t>(x), static_cast<uint16_t>(y)};
            Tile* tile = getTile(cell);
            if (tile->isSolid() && !tile->isRound())
            {
                continue;
            }
            if (!tile->isDoor())
            {
                tile = new Tile_Empty();
                setTile(cell, tile);
            }
            tile->explode();
        }
    }
    explosionSound->playUnblocked();
}

TileRange Tilemap::getVisibleRange(bool all) const
{
    if (all)
    {
        return TileRange{0, 0, width, height};
    }
    const View* view = Core::getGame()->getLevel()->getView();
    const Vec2 corner = view->getPosition();
    const uint16_t x0 = static_cast<uint16_t>(static_cast<int>(corner.x / tileWidth));
    const uint16_t y0 = static_cast<uint16_t>(static_cast<int>(corner.y / tileHeight));
    return TileRange{x0, y0, static_cast<uint16_t>(x0 + view->getWidth() / tileWidth + 2),
                     static_cast<uint16_t>(y0 + view->getHeight() / tileHeight + 2)};
}

void Tilemap::draw(uint16_t layer, bool all)
{
    const TileRange range = getVisibleRange(all);
    if (layer == 0 && !all)
    {
        const Rect rect{static_cast<float>(range.x0 * tileWidth), static_cast<float>(range.y0 * tileHeight),
                        static_cast<float>(range.x1 * tileWidth), static_cast<float>(range.y1 * tileHeight)};
        const Rect texRect{0.0f, 0.0f, static_cast<float>(range.x1 - range.x0),
                           static_cast<float>(range.y1 - range.y0)};
        videoDriver->drawTexture(background, rect, texRect);
    }
    videoDriver->bindTexture(tileset);
    videoDriver->begin();
    for (uint16_t y = range.y0; y < range.y1; ++y)
    {
        for (uint16_t x = range.x0; x < range.x1; ++x)
        {
            const CellPos cell{x, y};
            Tile* tile = getTile(cell);
            if (tile == outside)
            {
                outside->setCell(cell);
            }
            tile->draw(layer);
        }
    }
    videoDriver->end();
}

void Tilemap::drawTop(bool all)
{
    const TileRange range = getVisibleRange(all);
    for (uint16_t y = range.y0; y < range.y1; ++y)
    {
        for (uint16_t x = range.x0; x < range.x1; ++x)
        {
            const CellPos cell{x, y};
            Tile* tile = getTile(cell);
            if (tile == outside)
            {
                outside->setCell(cell);
            }
            tile->drawTop();
        }
    }
}

void Tilemap::update()
{
    for (uint16_t y = 0; y < height; ++y)
    {
        for (uint16_t x = 0; x < width; ++x)
        {
            grid[index(x, y)]->update();
        }
    }

    Game* game = Core::getGame();
    const Entity_Player* player = game->getPlayer();
    if (player == nullptr)
    {
        return;
    }
    const CellPos cell = player->getCell();
    if (cell.x >= maxSize || cell.y >= maxSize)
    {
        return;
    }
    std::vector<std::string>& lines = messages[index(cell.x, cell.y)];
    if (lines.empty())
    {
        return;
    }
    const Vec2 p = player->getPosition();
    const int offX = static_cast<int>(p.x - (64 * cell.x + 32));
    const int offY = static_cast<int>(p.y - (64 * cell.y + 32));
    if (offX < -1 || offX > 1 || offY < -1 || offY > 1)
    {
        return;
    }
    Message* message = game->getMessage();
    message->start();
    for (const std::string& line : lines)
    {
        message->addLine(line);
    }
    game->setState(6, true);
    lines.clear();
}
