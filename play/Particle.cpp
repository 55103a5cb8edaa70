#include "Particle.h"

#include "Core.h"
#include "Device.h"
#include "Rect.h"
#include "Vec2.h"
#include "VideoDriver.h"

Particle::Particle()
    : videoDriver(Core::getDevice()->getVideoDriver()), texture(nullptr), dead(0), alpha(1.0f),
      alphaSpeed(0.0f), alphaAccel(0.0f), scale(1.0f), scaleSpeed(0.0f), scaleAccel(0.0f), angle(0.0f),
      angleSpeed(0.0f), angleAccel(0.0f), x(0.0f), y(0.0f), vx(0.0f), vy(0.0f), ax(0.0f), ay(0.0f)
{
}

Particle::~Particle() {}

void Particle::update()
{
    vx += ax;
    vy += ay;
    x += vx;
    y += vy;
    alphaSpeed += alphaAccel;
    alpha += alphaSpeed;
    scaleSpeed += scaleAccel;
    scale += scaleSpeed;
    angleSpeed += angleAccel;
    angle += angleSpeed;
}

void Particle::draw()
{
    if (!texture)
        return;
    videoDriver->pushMatrix();
    Vec2 centre{x, y};
    videoDriver->translate(centre);
    videoDriver->rotate(angle);
    videoDriver->scale(Vec2{scale, scale});
    videoDriver->setColor(1.0f, 1.0f, 1.0f, alpha);
    videoDriver->drawTexture(texture, Rect{-32.0f, -32.0f, 32.0f, 32.0f}, Rect{0.0f, 0.0f, 1.0f, 1.0f});
    videoDriver->setColor(1.0f, 1.0f, 1.0f, 1.0f);
    videoDriver->popMatrix();
}
