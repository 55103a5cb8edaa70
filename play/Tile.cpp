#include "Tile.h"

#include "Core.h"
#include "Device.h"
#include "Entity.h"
#include "Entity_Bomb.h"
#include "Entity_Player.h"
#include "Game.h"
#include "Level.h"
#include "Sprite.h"
#include "TileSize.h"
#include "Tilemap.h"
#include "VideoDriver.h"

#include <algorithm>
#include <cmath>
#include <vector>

Tile::Tile()
    : videoDriver(Core::getDevice()->getVideoDriver()), cell{0, 0}, player(nullptr), sandFlag(0),
      solidFlag(0), roundFlag(0), openFlag(0), doorFlag(0), explosion(nullptr), exploding(0)
{
    entityCursor = entities.end();
    if (Core::getGame() != nullptr)
    {
        player = Core::getGame()->getPlayer();
    }
    explosion = new Sprite(videoDriver->getTexture("textures/explosion.png", true), FrameGrid{4, 4});
}

Tile::~Tile()
{
    delete explosion;
}

void Tile::update()
{
    if (exploding)
    {
        explosion->animate();
        if (explosion->getFrame() == 7)
        {
            exploding = 0;
        }
    }
}

void Tile::draw(uint16_t layer)
{
    (void)layer;
}

void Tile::drawTop()
{
    if (exploding)
    {
        explosion->draw();
    }
}

void Tile::setCell(const CellPos& position)
{
    cell = position;
}

void Tile::addEntity(Entity* entity)
{
    entities.push_back(entity);
}

void Tile::removeEntity(Entity* entity)
{
    // The walk's cursor must not be left on a removed node.
    if (entityCursor != entities.end() && *entityCursor == entity)
    {
        entityCursor = entities.end();
    }
    entities.remove(entity);
}

Entity* Tile::firstEntity()
{
    entityCursor = entities.begin();
    return entityCursor == entities.end() ? nullptr : *entityCursor;
}

Entity* Tile::nextEntity()
{
    if (entityCursor == entities.end())
    {
        return nullptr;
    }
    ++entityCursor;
    return entityCursor == entities.end() ? nullptr : *entityCursor;
}

bool Tile::isRound()
{
    if (roundFlag)
    {
        return true;
    }
    for (Entity* e = firstEntity(); e != nullptr; e = nextEntity())
    {
        if (e->isRound())
        {
            return true;
        }
    }
    return false;
}

bool Tile::isFreeFor(bool ignoreEnemies, bool ignorePlayer, Entity* mover, float distance)
{
    if (distance == 0.0f && (solidFlag || sandFlag))
    {
        return false;
    }
    for (Entity* e = firstEntity(); e != nullptr; e = nextEntity())
    {
        if (e == mover)
        {
            continue;
        }
        const bool isPlayer = player != nullptr && e == player;
        if ((e->isEnemy() && ignoreEnemies) || (isPlayer && ignorePlayer))
        {
            continue;
        }
        if (distance == 0.0f)
        {
            return false;
        }
        if (mover != nullptr && mover->distanceTo(e) < distance)
        {
            return false;
        }
    }
    return true;
}

float Tile::centreX() const
{
    return static_cast<float>(cell.x * tileWidth + tileWidth / 2);
}

float Tile::centreY() const
{
    return static_cast<float>(cell.y * tileHeight + tileHeight / 2);
}

void Tile::explode()
{
    if (exploding)
    {
        return;
    }
    exploding = 1;
    explosion->setAnimation(0, 7, 4, 1);
    explosion->setPosition(Vec2{centreX(), centreY()});

    // The blast may have replaced tiles: bring every cell list up to date first.
    Level* level = Core::getGame()->getLevel();
    relistAll();

    if (player != nullptr)
    {
        const Vec2 p = player->getPosition();
        const float ox = p.x - centreX();
        const float oy = p.y - centreY();
        if (std::sqrt(ox * ox + oy * oy) < 32.0f)
        {
            player->die(false);
        }
    }

    for (Entity* e : entities)
    {
        if (e->isBomb())
        {
            Entity_Bomb* bomb = dynamic_cast<Entity_Bomb*>(e);
            if (bomb != nullptr)
            {
                bomb->trigger();
            }
        }
        else if (!e->isBonus())
        {
            level->scheduleRemoval(e);
        }
    }
}

namespace
{
// Per cell of the grid, the things that stand on it, chained in the level's order.
struct CellChains
{
    std::vector<int32_t> head = std::vector<int32_t>(Tilemap::maxSize * Tilemap::maxSize, -1);
    std::vector<int32_t> tail = std::vector<int32_t>(Tilemap::maxSize * Tilemap::maxSize, -1);
    std::vector<int32_t> next;
    std::vector<Entity*> thing;
    std::vector<CellPos> touched; // cells with a chain, in the order first met
    std::vector<const Entity*> standing;
};
CellChains chains; // kept, so its storage is reused from blast to blast
} // namespace

// The same lists as removeFromCells then addToCells on every thing in the level's order: a cell's
// list keeps what is listed there for no thing of the level (the player among them) and ends with
// the level's things that stand there, in the level's order. A cell whose list is like that
// already (nearly every one) is left alone, so a blast does not rebuild 128 x 128 lists.
void Tile::relistAll()
{
    Game* game = Core::getGame();
    if (game == nullptr || game->getLevel() == nullptr)
    {
        return;
    }
    Level* level = game->getLevel();
    Tilemap* tilemap = level->getTilemap();
    CellChains& c = chains;
    c.next.clear();
    c.thing.clear();
    c.touched.clear();
    for (Entity* e = level->firstEntity(); e != nullptr; e = level->nextEntity())
    {
        CellPos cells[2];
        const int count = e->listedCells(cells);
        for (int i = 0; i < count; ++i)
        {
            const unsigned at = cells[i].x * Tilemap::maxSize + cells[i].y;
            const int32_t link = static_cast<int32_t>(c.thing.size());
            c.thing.push_back(e);
            c.next.push_back(-1);
            if (c.head[at] < 0)
            {
                c.head[at] = link;
                c.touched.push_back(cells[i]);
            }
            else
            {
                c.next[c.tail[at]] = link;
            }
            c.tail[at] = link;
        }
    }
    for (const CellPos& cell : c.touched)
    {
        const unsigned at = cell.x * Tilemap::maxSize + cell.y;
        c.standing.clear();
        for (int32_t link = c.head[at]; link >= 0; link = c.next[link])
        {
            c.standing.push_back(c.thing[link]);
        }
        c.head[at] = -1;
        c.tail[at] = -1;
        tilemap->getTile(cell)->relist(c.standing.data(), c.standing.size());
    }
}

void Tile::relist(const Entity* const* standing, std::size_t count)
{
    const auto isStanding = [standing, count](const Entity* e)
    { return std::find(standing, standing + count, e) != standing + count; };
    // Already in order: the list ends with exactly these, and holds none of them before.
    bool inOrder = entities.size() >= count;
    if (inOrder)
    {
        const std::size_t before = entities.size() - count;
        std::size_t i = 0;
        for (auto it = entities.begin(); it != entities.end() && inOrder; ++it, ++i)
        {
            inOrder = i < before ? !isStanding(*it) : *it == standing[i - before];
        }
    }
    if (inOrder)
    {
        // Taking a thing off a list moves the walk's cursor off it.
        if (entityCursor != entities.end() && isStanding(*entityCursor))
        {
            entityCursor = entities.end();
        }
        return;
    }
    for (std::size_t i = 0; i < count; ++i)
    {
        removeEntity(const_cast<Entity*>(standing[i]));
    }
    for (std::size_t i = 0; i < count; ++i)
    {
        addEntity(const_cast<Entity*>(standing[i]));
    }
}

void Tile::drawCellQuad(const Rect& texRect) const
{
    Rect rect{static_cast<float>(cell.x * tileWidth), static_cast<float>(cell.y * tileHeight),
              static_cast<float>((cell.x + 1) * tileWidth), static_cast<float>((cell.y + 1) * tileHeight)};
    videoDriver->drawQuad(rect, texRect);
}
