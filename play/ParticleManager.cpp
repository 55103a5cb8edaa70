#include "ParticleManager.h"

#include "Particle.h"

#include <GL/gl.h>
#include <vector>

ParticleManager::ParticleManager() : cursor(particles.end()) {}

ParticleManager::~ParticleManager()
{
    for (Particle* particle : particles)
        delete particle;
}

void ParticleManager::add(Particle* particle)
{
    particles.push_back(particle);
}

void ParticleManager::update()
{
    std::vector<Particle*> finished;
    for (cursor = particles.begin(); cursor != particles.end(); ++cursor)
    {
        (*cursor)->update();
        if ((*cursor)->isDead())
            finished.push_back(*cursor);
    }
    for (Particle* particle : finished)
    {
        particles.remove(particle);
        delete particle;
    }
}

void ParticleManager::draw()
{
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    for (cursor = particles.begin(); cursor != particles.end(); ++cursor)
        (*cursor)->draw();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}
