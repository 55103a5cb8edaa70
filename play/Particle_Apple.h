#pragma once

#include "Particle_Bonus.h"

// The bonus glow in the apple's colour.
class Particle_Apple : public Particle_Bonus
{
  public:
    explicit Particle_Apple(const Vec2& position);
};
