#include "Particle_Apple.h"

#include "VideoDriver.h"

Particle_Apple::Particle_Apple(const Vec2& position) : Particle_Bonus(position)
{
    texture = videoDriver->getTexture("textures/part3.png", true);
}
