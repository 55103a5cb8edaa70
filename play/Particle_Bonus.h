#pragma once

#include "Particle.h"

struct Vec2;

// The glow of a pickup: grows faster and faster while it fades out.
class Particle_Bonus : public Particle
{
  public:
    explicit Particle_Bonus(const Vec2& position);

    void update() override;
};
