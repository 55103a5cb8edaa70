#include "Particle_BonusStar.h"

#include "Vec2.h"
#include "VideoDriver.h"

#include <cstdlib>

Particle_BonusStar::Particle_BonusStar(const Vec2& position)
{
    texture = videoDriver->getTexture("textures/part1.png", true);
    x = position.x;
    y = position.y;
    // Whole pixels per frame from -6 to 7; the first random number goes to vy.
    vy = static_cast<float>(7 - rand() % 14);
    vx = static_cast<float>(7 - rand() % 14);
    scale = 1.0f;
    scaleSpeed = -0.04f;
    alpha = 1.1f;
    alphaSpeed = -0.04f;
    angle = static_cast<float>(rand() % 360);
    angleSpeed = 0.01f;
}

void Particle_BonusStar::update()
{
    Particle::update();
    if (alpha < 0.001f)
        dead = 1;
}
