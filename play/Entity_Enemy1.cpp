#include "Entity_Enemy1.h"

#include "Core.h"
#include "Device.h"
#include "Sprite.h"
#include "VideoDriver.h"

Entity_Enemy1::Entity_Enemy1()
{
    sprite = new Sprite(Core::getDevice()->getVideoDriver()->getTexture("textures/red-ant.png", true),
                        FrameGrid{8, 8});
}

void Entity_Enemy1::update()
{
    Entity_Enemy::update();
    if (!dead && !moving)
        chooseDirection();
}

void Entity_Enemy1::chooseDirection()
{
    const int8_t a = lastHeading.dx;
    const int8_t b = lastHeading.dy;
    // Straight on, left, back, right (y grows downwards).
    const Direction candidates[4] = {{a, b},
                                     {b, static_cast<int8_t>(-a)},
                                     {static_cast<int8_t>(-a), static_cast<int8_t>(-b)},
                                     {static_cast<int8_t>(-b), a}};
    const CellPos cell = getCell();
    for (const Direction& candidate : candidates)
    {
        heading = candidate;
        if (isFreeAhead(cell, heading))
        {
            setDirection(heading);
            updateAnimation();
            lastHeading = heading;
            return;
        }
    }

    // Boxed in: wait a whole step, then start again from the right-hand candidate.
    stand();
    setDirection(Direction{0, 0});
    lastHeading = heading;
}
