#include "Entity_Enemy2.h"

#include "Core.h"
#include "Device.h"
#include "Sprite.h"
#include "VideoDriver.h"

Entity_Enemy2::Entity_Enemy2()
{
    sprite = new Sprite(Core::getDevice()->getVideoDriver()->getTexture("textures/green-ant.png", true),
                        FrameGrid{8, 8});
}

void Entity_Enemy2::update()
{
    Entity_Enemy::update();
    if (!dead && !moving)
        followWall();
}

void Entity_Enemy2::followWall()
{
    const int8_t hx = heading.dx;
    const int8_t hy = heading.dy;
    const CellPos cell = getCell();
    const Direction left{hy, static_cast<int8_t>(-hx)};
    const Direction behindLeft{static_cast<int8_t>(hy - hx), static_cast<int8_t>(-hx - hy)};

    if (isFreeAhead(cell, left) && !isFreeAhead(cell, behindLeft))
    {
        // The wall on the left has ended: go round its corner.
        heading = left;
        setDirection(heading);
    }
    else if (isFreeAhead(cell, heading))
    {
        setDirection(heading);
    }
    else
    {
        // Blocked ahead: a quarter turn right in place; the next frame decides again.
        heading = Direction{static_cast<int8_t>(-hy), hx};
    }

    if (dx == 0 && dy == 0)
    {
        stand();
        setDirection(Direction{0, 0});
    }
    else if (dx != prevDx || dy != prevDy)
    {
        updateAnimation();
    }
    lastHeading = heading;
}
