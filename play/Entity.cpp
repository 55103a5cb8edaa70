#include "Entity.h"

#include "Core.h"
#include "Game.h"
#include "Level.h"
#include "Sprite.h"
#include "Tile.h"
#include "TileSize.h"
#include "Tilemap.h"
#include "View.h"

#include <cmath>

namespace
{

Tilemap* currentTilemap()
{
    Game* game = Core::getGame();
    if (game == nullptr || game->getLevel() == nullptr)
    {
        return nullptr;
    }
    return game->getLevel()->getTilemap();
}

// A corner point in pixels to its cell coordinate: truncated, taken as 16 bits, divided.
// Points left of or above the grid wrap to large values and so fall outside it.
uint16_t pointToCell(float pixels, uint16_t tileSize)
{
    if (!(std::fabs(pixels) < 1.0e9f))
    {
        return 0xFFFF;
    }
    const uint16_t point = static_cast<uint16_t>(static_cast<int64_t>(pixels));
    return static_cast<uint16_t>(point / tileSize);
}

// The two corner cells an entity is listed in; second == first when it sits in one cell.
void registrationCells(float x, float y, bool faller, CellPos& first, CellPos& second)
{
    const uint16_t halfWidth = tileWidth / 2;
    const uint16_t halfHeight = tileHeight / 2;
    const uint16_t quarterHeight = tileHeight / 4;
    first = CellPos{pointToCell(x + halfWidth - 1, tileWidth), pointToCell(y + halfHeight - 1, tileHeight)};
    if (faller)
    {
        second = CellPos{pointToCell(x - halfWidth + 1, tileWidth),
                         pointToCell(y + quarterHeight - 1, tileHeight)};
    }
    else
    {
        second =
            CellPos{pointToCell(x - halfWidth + 1, tileWidth), pointToCell(y - halfHeight + 1, tileHeight)};
    }
}

} // namespace

Entity::Entity()
    : sprite(nullptr), x(0.0f), y(0.0f), moving(0), stepCounter(0), dx(0), dy(0), prevDx(0), prevDy(0),
      stepsPerCell(12), rockFlag(0), bonusFlag(0), fallerFlag(0), enemyFlag(0), roundFlag(0), rotates(0),
      keyFlag(0), armed(0), bombFlag(0), wasMovingFlag(0), boxFlag(0)
{
}

Entity::~Entity()
{
    removeFromCells();
    delete sprite;
}

void Entity::update()
{
    removeFromCells();
    if (moving)
    {
        wasMovingFlag = 1;
        if (stepCounter >= stepsPerCell)
        {
            stepCounter = 0;
            moving = 0;
        }
        else
        {
            stepCounter++;
            if (dx != 0)
            {
                x += static_cast<float>(tileWidth) / static_cast<float>(stepsPerCell) * dx;
            }
            else
            {
                y += static_cast<float>(tileHeight) / static_cast<float>(stepsPerCell) * dy;
            }
        }
    }
    else
    {
        wasMovingFlag = 0;
    }
    addToCells();
    if (sprite != nullptr)
    {
        sprite->animate();
    }
}

void Entity::draw()
{
    if (sprite == nullptr)
    {
        return;
    }
    Game* game = Core::getGame();
    if (game->getState() != 3)
    {
        View* view = game->getLevel()->getView();
        const Vec2 corner = view->getPosition();
        const float halfWidth = tileWidth / 2;
        const float halfHeight = tileHeight / 2;
        if (x + halfWidth < corner.x || x - halfWidth > corner.x + view->getWidth() ||
            y + halfHeight < corner.y || y - halfHeight > corner.y + view->getHeight())
        {
            return;
        }
    }
    sprite->setPosition(Vec2{x, y});
    sprite->draw();
}

bool Entity::isBomb()
{
    return bombFlag != 0;
}

Vec2 Entity::getPosition() const
{
    return Vec2{x, y};
}

void Entity::setPosition(const Vec2& position)
{
    x = position.x;
    y = position.y;
}

CellPos Entity::getCell() const
{
    return CellPos{static_cast<uint16_t>(static_cast<int>(x / tileWidth)),
                   static_cast<uint16_t>(static_cast<int>(y / tileHeight))};
}

void Entity::setDirection(const Direction& direction)
{
    prevDx = dx;
    prevDy = dy;
    dx = direction.dx;
    dy = direction.dy;
    moving = 1;
}

Direction Entity::getDirection() const
{
    return Direction{dx, dy};
}

float Entity::distanceTo(const Entity* other) const
{
    const float ox = other->x - x;
    const float oy = other->y - y;
    return std::sqrt(ox * ox + oy * oy);
}

// Cells outside the grid all share the one outside wall; listing things there would leave
// pointers behind once the thing is gone, so such cells are skipped.
void Entity::addToCells()
{
    Tilemap* tilemap = currentTilemap();
    if (tilemap == nullptr)
    {
        return;
    }
    CellPos first;
    CellPos second;
    registrationCells(x, y, fallerFlag != 0, first, second);
    if (tilemap->isInside(first))
    {
        tilemap->getTile(first)->addEntity(this);
    }
    if ((second.x != first.x || second.y != first.y) && tilemap->isInside(second))
    {
        tilemap->getTile(second)->addEntity(this);
    }
}

int Entity::listedCells(CellPos cells[2]) const
{
    Tilemap* tilemap = currentTilemap();
    if (tilemap == nullptr)
    {
        return 0;
    }
    CellPos first;
    CellPos second;
    registrationCells(x, y, fallerFlag != 0, first, second);
    int count = 0;
    if (tilemap->isInside(first))
    {
        cells[count++] = first;
    }
    if ((second.x != first.x || second.y != first.y) && tilemap->isInside(second))
    {
        cells[count++] = second;
    }
    return count;
}

void Entity::removeFromCells()
{
    Tilemap* tilemap = currentTilemap();
    if (tilemap == nullptr)
    {
        return;
    }
    CellPos first;
    CellPos second;
    registrationCells(x, y, fallerFlag != 0, first, second);
    if (tilemap->isInside(first))
    {
        tilemap->getTile(first)->removeEntity(this);
    }
    if ((second.x != first.x || second.y != first.y) && tilemap->isInside(second))
    {
        tilemap->getTile(second)->removeEntity(this);
    }
}
