#include "Entity_Faller.h"

#include "AudioDriver.h"
#include "Core.h"
#include "Entity_Enemy.h"
#include "Entity_Player.h"
#include "Game.h"
#include "Level.h"
#include "Sound.h"
#include "Sprite.h"
#include "Tile.h"
#include "TileSize.h"
#include "Tilemap.h"

#include <cmath>

namespace
{
CellPos offsetCell(const CellPos& cell, int dx, int dy)
{
    return CellPos{static_cast<uint16_t>(cell.x + dx), static_cast<uint16_t>(cell.y + dy)};
}
} // namespace

Entity_Faller::Entity_Faller()
    : falling(0), landingSound(nullptr), sandLandingSound(nullptr), pushSound(nullptr)
{
    fallerFlag = 1;
    sandLandingSound = Core::getAudioDriver()->getSound("sounds/sand_coll.wav");
}

bool Entity_Faller::isFalling()
{
    return falling != 0;
}

void Entity_Faller::update()
{
    Level* level = Core::getGame()->getLevel();
    // The first update after a load leaves everything where the file put it.
    if (level->isLoaded())
        return;

    Tilemap* tilemap = level->getTilemap();
    const CellPos cell = getCell();
    Tile* below = tilemap->getTile(offsetCell(cell, 0, 1));

    if (!moving)
    {
        // Ants and the player only stop a faller that is at rest, not one that arrives falling.
        const bool arriving = wasMoving();
        if (below->isFreeFor(arriving, arriving, nullptr, 0.0f))
        {
            setDirection(Direction{0, 1});
        }
        else if (!(isRound() && below->isRound() && startRoll(cell)))
        {
            if (falling)
            {
                if (below->isSand())
                    sandLandingSound->playUnblocked();
                else if (landingSound)
                    landingSound->playUnblocked();
            }
            falling = 0;
            Entity::update();
            return;
        }
    }

    if (dx != 0)
    {
        if (rotates && sprite)
            sprite->setRotation(sprite->getRotation() + 90.0f / stepsPerCell * dx);
        falling = 0;
    }
    else if (dy != 0)
    {
        falling = 1;
        crushVictims();
    }
    Entity::update();
}

bool Entity_Faller::startRoll(const CellPos& cell)
{
    for (int8_t side = -1; side <= 1; side += 2)
    {
        if (!isSideUsable(cell, side))
            continue;
        if (wasMoving() && dy != 0 && landingSound)
            landingSound->playUnblocked();
        setDirection(Direction{side, 0});
        if (pushSound)
            pushSound->play();
        return true;
    }
    return false;
}

bool Entity_Faller::isSideUsable(const CellPos& cell, int8_t side)
{
    Tilemap* tilemap = Core::getGame()->getLevel()->getTilemap();
    Tile* sideTile = tilemap->getTile(offsetCell(cell, side, 0));
    Tile* sideBelow = tilemap->getTile(offsetCell(cell, side, 1));
    if (!sideTile->isFreeFor(false, false, nullptr, 0.0f) ||
        !sideBelow->isFreeFor(false, false, nullptr, 0.0f))
        return false;

    // A faller resting diagonally above has the first claim on the side cell.
    Tile* sideAbove = tilemap->getTile(offsetCell(cell, side, -1));
    for (Entity* other = sideAbove->firstEntity(); other; other = sideAbove->nextEntity())
    {
        if (!other->isFaller())
            continue;
        Entity_Faller* faller = static_cast<Entity_Faller*>(other);
        if (sideTile->isFreeFor(true, faller->isFalling(), nullptr, 0.0f))
            return false;
    }
    return true;
}

void Entity_Faller::crushVictims()
{
    Game* game = Core::getGame();
    Entity_Player* player = game->getPlayer();
    if (crushes(player))
        player->kill();

    Level* level = game->getLevel();
    for (Entity* enemy = level->firstEnemy(); enemy; enemy = level->nextEnemy())
    {
        if (crushes(enemy))
            static_cast<Entity_Enemy*>(enemy)->killedByFaller();
    }
}

bool Entity_Faller::crushes(const Entity* victim) const
{
    const Vec2 at = victim->getPosition();
    // The cheap tests first: most victims are far off to the side or above.
    return std::fabs(x - at.x) < tileWidth / 1.2f && y < at.y && distanceTo(victim) < 80.0f;
}
