#include "Entity_Player.h"

#include "AudioDriver.h"
#include "Core.h"
#include "Device.h"
#include "Entity_Bomb.h"
#include "Entity_Bonus.h"
#include "Entity_Faller.h"
#include "Entity_Key.h"
#include "Game.h"
#include "Level.h"
#include "Sound.h"
#include "Sprite.h"
#include "Tile.h"
#include "TileSize.h"
#include "Tile_Door.h"
#include "Tile_Empty.h"
#include "Tilemap.h"
#include "VideoDriver.h"
#include "View.h"

#include <algorithm>
#include <cstdlib>

namespace
{

const int keyUp = 273;
const int keyDown = 274;
const int keyRight = 275;
const int keyLeft = 276;

const char* const soundFiles[] = {
    "sounds/bonus_apple.wav", "sounds/bonus_diamond.wav", "sounds/bonus_key.wav", "sounds/bonus_bomb.wav",
    "sounds/dig1.wav",        "sounds/dig2.wav",          "sounds/dig3.wav",      "sounds/step1.wav",
    "sounds/step2.wav",       "sounds/step3.wav",         "sounds/rock_dash.wav", "sounds/box_dash.wav",
    "sounds/laughing.wav",    "sounds/dying.wav"};

Tilemap* tilemap()
{
    return Core::getGame()->getLevel()->getTilemap();
}

CellPos offsetCell(const CellPos& cell, int dx, int dy)
{
    return CellPos{static_cast<uint16_t>(cell.x + dx), static_cast<uint16_t>(cell.y + dy)};
}

// Neither solid nor sand, and nothing on it.
bool isFreeCell(Tile* tile)
{
    return tile->isFreeFor(false, false, nullptr, 0.0f);
}

} // namespace

Entity_Player::Entity_Player()
    : startX(0.0f), startY(0.0f), dead(0), dashWithControl(1), diamonds(0), score(0), apples(100), keys{0, 0},
      bombs(0), bombCooldown(0), blink(0), stepSoundCounter(0), bombsCollected(0), keysCollected(0),
      enemiesKilled(0), applesCollected(0), frozen(0)
{
    Core::log("Player: init");
    VideoDriver* videoDriver = Core::getDevice()->getVideoDriver();
    sprite = new Sprite(videoDriver->getTexture("textures/mole.png", false), FrameGrid{8, 8});
    startX = 32.0f;
    startY = 32.0f;
    reset();
    blink = 0;
    for (int i = 0; i < soundCount; ++i)
    {
        sounds[i] = Core::getAudioDriver()->getSound(soundFiles[i]);
    }
    dashWithControl = 1;
    stepSoundCounter = 0;
}

Entity_Player::~Entity_Player()
{
    Core::log("Player: done");
}

void Entity_Player::update()
{
    if (Core::getGame()->isLevelCompleted() || frozen)
    {
        return;
    }
    if (dead)
    {
        sprite->animate();
        return;
    }
    if (bombCooldown > 0)
    {
        bombCooldown--;
    }
    if (!moving)
    {
        decide();
    }
    if (moving)
    {
        if (stepSoundCounter == 0)
        {
            sounds[soundStep + std::rand() % 3]->play();
        }
        stepSoundCounter++;
        if (stepSoundCounter == 20)
        {
            stepSoundCounter = 0;
        }
    }
    Entity::update();
    followWithCamera();
    if (blink != 0)
    {
        blink++;
        if (blink > 120)
        {
            blink = 0;
        }
    }
}

void Entity_Player::decide()
{
    Device* device = Core::getDevice();
    Direction d{0, 0};
    if (device->isKeyDown(keyRight))
    {
        d = Direction{1, 0};
    }
    else if (device->isKeyDown(keyLeft))
    {
        d = Direction{-1, 0};
    }
    else if (device->isKeyDown(keyDown))
    {
        d = Direction{0, 1};
    }
    else if (device->isKeyDown(keyUp))
    {
        d = Direction{0, -1};
    }
    const Direction none{0, 0};
    const bool ctrl = device->isCtrlDown();
    const bool alt = device->isAltDown();

    Tilemap* map = tilemap();
    const CellPos cell = getCell();
    const CellPos targetCell = offsetCell(cell, d.dx, d.dy);
    Tile* target = map->getTile(targetCell);
    Tile* beyond = map->getTile(offsetCell(cell, 2 * d.dx, 2 * d.dy));

    if (ctrl && d != none && target->isSand())
    {
        target = dig(d);
        d = none;
    }
    else if (alt && d.dx != 0 && isFreeCell(target) && bombs > 0 && bombCooldown == 0)
    {
        bombs--;
        bombCooldown = 60;
        Entity_Bomb* bomb = new Entity_Bomb();
        bomb->setPosition(Vec2{static_cast<float>((cell.x + d.dx) * tileWidth + tileWidth / 2),
                               static_cast<float>(cell.y * tileHeight + tileHeight / 2)});
        bomb->arm();
        Core::getGame()->getLevel()->addEntity(bomb);
    }

    bool canMove = !ctrl && !alt;

    if (target->isDoor() && !target->isOpen())
    {
        Tile_Door* door = static_cast<Tile_Door*>(target);
        const uint8_t color = door->getColor();
        if (getKeys(color) > 0)
        {
            door->open();
            keys[color]--;
        }
    }

    if (target->isSolid() && !target->isOpen())
    {
        canMove = false;
    }
    else
    {
        for (Entity* e = target->firstEntity(); e != nullptr; e = target->nextEntity())
        {
            if (e->isMoving() && !e->isEnemy())
            {
                canMove = false;
                break;
            }
            if (e->isRock() || e->isBox())
            {
                // Only sideways, only into a free cell, and never off a ledge it would fall from.
                const bool pushed = d.dx != 0 && isFreeCell(beyond) &&
                                    !isFreeCell(map->getTile(offsetCell(cell, d.dx, 1))) &&
                                    (ctrl || !dashWithControl);
                if (!pushed)
                {
                    canMove = false;
                    break;
                }
                e->setDirection(Direction{d.dx, 0});
                sounds[e->isRock() ? soundRockPush : soundBoxPush]->play();
                canMove = true;
                continue;
            }
            if (e->isFaller())
            {
                Entity_Faller* faller = dynamic_cast<Entity_Faller*>(e);
                if ((faller != nullptr && faller->isFalling()) || (e->isBomb() && e->isArmed()))
                {
                    canMove = false;
                    break;
                }
                continue;
            }
            if (e->isArmed())
            {
                canMove = false;
                break;
            }
        }
    }

    if (d != none && canMove)
    {
        blink = 0;
        if (getDirection() != d)
        {
            setWalkingAnimation(d);
        }
        if (target->isSand())
        {
            dig(d);
        }
        moving = 1;
        dx = d.dx;
        dy = d.dy;
        sprite->setFlip(d.dx < 0 ? 1 : 0);
        if (apples > 0)
        {
            apples--;
        }
        if (apples == 0)
        {
            die(true);
            sounds[soundDying]->play();
        }
    }
    else
    {
        stepSoundCounter = 0;
        setStandingFrame();
        dx = 0;
        dy = 0;
    }
}

void Entity_Player::setWalkingAnimation(const Direction& direction)
{
    if (direction.dx != 0)
    {
        sprite->setAnimation(0, 11, 3, 2);
    }
    else if (direction.dy > 0)
    {
        sprite->setAnimation(24, 35, 3, 2);
    }
    else
    {
        sprite->setAnimation(12, 23, 3, 2);
    }
}

void Entity_Player::setStandingFrame()
{
    uint16_t frame;
    if (dx != 0)
    {
        frame = 0;
    }
    else if (dy > 0)
    {
        frame = 24;
    }
    else if (dy < 0)
    {
        frame = 12;
    }
    else
    {
        return; // already standing
    }
    sprite->setAnimation(frame, frame, 0, 0);
}

void Entity_Player::followWithCamera()
{
    View* view = Core::getGame()->getLevel()->getView();
    Vec2 corner{static_cast<float>(static_cast<int>(x - view->getWidth() / 2)),
                static_cast<float>(static_cast<int>(y - view->getHeight() / 2))};
    view->setPosition(corner);
}

void Entity_Player::draw()
{
    if (blink != 0 && Core::getGame()->getState() == 2 && (blink / 10) % 2 == 1)
    {
        return;
    }
    Entity::draw();
}

void Entity_Player::collect(Entity_Bonus* bonus)
{
    if (bonus->isDiamond())
    {
        diamonds++;
        sounds[soundDiamond]->play();
    }
    if (bonus->isKey())
    {
        const uint8_t color = static_cast<Entity_Key*>(bonus)->getColor();
        if (color < 2)
        {
            keys[color]++;
        }
        keysCollected++;
        sounds[soundKey]->play();
    }
    if (bonus->isBomb())
    {
        bombs++;
        bombsCollected++;
        sounds[soundBomb]->play();
    }
    if (bonus->getAppleValue() != 0)
    {
        applesCollected++;
        sounds[soundApple]->play();
    }
    score += bonus->getPoints();
    apples = static_cast<uint16_t>(std::min<uint32_t>(uint32_t(apples) + bonus->getAppleValue(), maxApples));
}

void Entity_Player::die(bool animate)
{
    if (dead || Core::getGame()->isLevelCompleted())
    {
        return;
    }
    if (animate)
    {
        sprite->setAnimation(36, 48, 4, 1);
    }
    else
    {
        sprite->setAlpha(0.0f);
    }
    removeFromCells();
    dead = 1;
}

void Entity_Player::kill()
{
    if (dead || Core::getGame()->isLevelCompleted())
    {
        return;
    }
    die(false);
    tilemap()->explode(getCell());
}

void Entity_Player::laugh()
{
    enemiesKilled++;
    sounds[soundLaughing]->play();
}

void Entity_Player::addScore(uint16_t points)
{
    score += points;
}

void Entity_Player::reset()
{
    // Off the old cells before the position jumps, so no tile keeps a stale entry.
    removeFromCells();
    moving = 0;
    stepCounter = 0;
    dx = 0;
    dy = 0;
    x = startX;
    y = startY;
    dead = 0;
    sprite->setAnimation(0, 0, 0, 0);
    sprite->setFlip(0);
    sprite->setAlpha(1.0f);
    diamonds = 0;
    apples = 100;
    score = 0;
    keys[0] = 0;
    keys[1] = 0;
    bombs = 0;
    bombCooldown = 0;
    if (Core::getGame() != nullptr)
    {
        Core::getGame()->showMessage("", 0);
    }
    bombsCollected = 0;
    keysCollected = 0;
    enemiesKilled = 0;
    applesCollected = 0;
    frozen = 0;
}

void Entity_Player::setStartPosition(const Vec2& position)
{
    startX = position.x;
    startY = position.y;
}

void Entity_Player::drainApples()
{
    apples -= 5;
    if (apples > maxApples)
    {
        apples = 0;
    }
}

Tile* Entity_Player::dig(const Direction& direction)
{
    const CellPos cell = offsetCell(getCell(), direction.dx, direction.dy);
    Tilemap* map = tilemap();
    map->setTile(cell, new Tile_Empty());
    sounds[soundDig + std::rand() % 3]->play();
    // The grid's tile, not the new one: outside the grid the new tile is already gone.
    return map->getTile(cell);
}
