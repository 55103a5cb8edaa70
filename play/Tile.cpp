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
#include "VideoDriver.h"

#include <cmath>

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
    for (Entity* e = level->firstEntity(); e != nullptr; e = level->nextEntity())
    {
        e->removeFromCells();
        e->addToCells();
    }

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

void Tile::drawCellQuad(const Rect& texRect) const
{
    Rect rect{static_cast<float>(cell.x * tileWidth), static_cast<float>(cell.y * tileHeight),
              static_cast<float>((cell.x + 1) * tileWidth), static_cast<float>((cell.y + 1) * tileHeight)};
    videoDriver->drawQuad(rect, texRect);
}
