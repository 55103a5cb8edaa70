#pragma once

#include <list>

class Particle;

// Owns the level's particles: updates them, deletes the ones that have faded out, and draws
// them all additively.
class ParticleManager
{
  public:
    ParticleManager();
    // Deletes every particle left.
    virtual ~ParticleManager();

    // The manager owns the particle from now on.
    void add(Particle* particle);
    virtual void update();
    // Additive blending for the particles, normal alpha blending again after them.
    virtual void draw();

    const std::list<Particle*>& getParticles() const { return particles; }

  private:
    std::list<Particle*> particles;
    std::list<Particle*>::iterator cursor;

    ParticleManager(const ParticleManager&) = delete;
    ParticleManager& operator=(const ParticleManager&) = delete;
};
