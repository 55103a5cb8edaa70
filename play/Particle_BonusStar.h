#pragma once

#include "Particle.h"

struct Vec2;

// A star flying off a pickup in a random direction, shrinking and fading.
class Particle_BonusStar : public Particle
{
  public:
    explicit Particle_BonusStar(const Vec2& position);

    void update() override;
};
