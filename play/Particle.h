#pragma once

#include <cstdint>

class Texture;
class VideoDriver;

// A short-lived additive sprite that integrates its own position, transparency, size and
// rotation once per frame. Subclasses give the picture, the start values and when it dies.
class Particle
{
  public:
    Particle();
    virtual ~Particle();

    // Velocity before position; each speed before its value.
    virtual void update();
    // A 64 x 64 quad centred on the position; nothing without a texture.
    virtual void draw();
    bool isDead() const { return dead != 0; }

  protected:
    VideoDriver* videoDriver;
    Texture* texture; // from the texture cache; null draws nothing
    uint8_t dead;
    float alpha, alphaSpeed, alphaAccel;
    float scale, scaleSpeed, scaleAccel; // 1 is 64 x 64 px
    float angle, angleSpeed, angleAccel; // degrees
    float x, y;                          // centre, level pixels
    float vx, vy;                        // px per frame
    float ax, ay;                        // px per frame squared

  private:
    Particle(const Particle&) = delete;
    Particle& operator=(const Particle&) = delete;
};
