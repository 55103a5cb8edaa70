#include "Entity_Enemy.h"

#include "Core.h"
#include "Entity_Player.h"
#include "Game.h"
#include "Level.h"
#include "Sprite.h"
#include "Tile.h"
#include "Tilemap.h"

namespace
{
const float killDistance = 65.0f;
// Only things nearer than this block an ant turning back during a step.
const float turnBackDistance = 63.0f;
const uint16_t killPoints = 100;
const uint16_t killMessageFrames = 120;
} // namespace

Entity_Enemy::Entity_Enemy() : dead(0), heading{0, -1}, lastHeading{0, -1}
{
    enemyFlag = 1;
    stepsPerCell = 24;
}

void Entity_Enemy::update()
{
    if (dead)
        return;
    Entity::update();

    Entity_Player* player = Core::getGame()->getPlayer();
    if (distanceTo(player) < killDistance)
        player->kill();

    turnBackIfBlocked();
}

void Entity_Enemy::turnBackIfBlocked()
{
    // Only in the first half of a step (rest included): later the ant is committed.
    if (static_cast<int>(stepCounter) - 1 > stepsPerCell / 2)
        return;
    const CellPos cell = getCell();
    const CellPos ahead{static_cast<uint16_t>(cell.x + heading.dx),
                        static_cast<uint16_t>(cell.y + heading.dy)};
    Tile* tile = Core::getGame()->getLevel()->getTilemap()->getTile(ahead);
    if (tile->isFreeFor(false, true, this, turnBackDistance))
        return;

    // Walk back the distance covered so the step ends on the centre it started from.
    stepCounter = static_cast<uint16_t>(stepsPerCell - stepCounter);
    prevDx = dx;
    prevDy = dy;
    dx = static_cast<int8_t>(-dx);
    dy = static_cast<int8_t>(-dy);
    heading = Direction{static_cast<int8_t>(-heading.dx), static_cast<int8_t>(-heading.dy)};
    lastHeading = heading;
    updateAnimation();
}

void Entity_Enemy::draw()
{
    if (!dead)
        Entity::draw();
}

void Entity_Enemy::die()
{
    if (dead)
        return;
    removeFromCells();
    dead = 1;
}

void Entity_Enemy::killedByFaller()
{
    if (dead)
        return;
    Game* game = Core::getGame();
    Entity_Player* player = game->getPlayer();
    player->laugh();
    player->addScore(killPoints);
    game->showMessage("kill bonus!", killMessageFrames);
    const CellPos cell = getCell();
    die();
    Level* level = game->getLevel();
    level->getTilemap()->explode(cell);
    // An explosion re-registers every thing of the level in its cells; a dead ant left in the
    // list would come back as an invisible obstacle, so it leaves the level with this step.
    level->scheduleRemoval(this);
}

void Entity_Enemy::updateAnimation()
{
    if (dx == prevDx && dy == prevDy)
        return;
    if (dx != 0)
    {
        sprite->setAnimation(0, 11, 3, 2);
        sprite->setFlip(dx < 0 ? 1 : 0);
    }
    else if (dy > 0)
    {
        sprite->setAnimation(24, 35, 3, 2);
        sprite->setFlip(0);
    }
    else if (dy < 0)
    {
        sprite->setAnimation(12, 23, 3, 2);
        sprite->setFlip(0);
    }
}

bool Entity_Enemy::isFreeAhead(const CellPos& cell, const Direction& step)
{
    const CellPos target{static_cast<uint16_t>(cell.x + step.dx), static_cast<uint16_t>(cell.y + step.dy)};
    return Core::getGame()->getLevel()->getTilemap()->getTile(target)->isFreeFor(false, true, this, 0.0f);
}

void Entity_Enemy::stand()
{
    sprite->setAnimation(0, 0, 0, 0);
}
