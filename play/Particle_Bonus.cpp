#include "Particle_Bonus.h"

#include "Vec2.h"
#include "VideoDriver.h"

Particle_Bonus::Particle_Bonus(const Vec2& position)
{
    texture = videoDriver->getTexture("textures/part2.png", true);
    x = position.x;
    y = position.y;
    scale = 1.0f;
    scaleSpeed = 0.06f;
    scaleAccel = 0.01f;
    alpha = 0.6f;
    alphaSpeed = -0.035f;
    angle = 5.0f;
    angleSpeed = 0.0f;
}

void Particle_Bonus::update()
{
    Particle::update();
    if (alpha < 0.001f)
        dead = 1;
}
