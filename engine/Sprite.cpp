#include "Sprite.h"

#include "Core.h"
#include "Device.h"
#include "Texture.h"
#include "VideoDriver.h"

// A grid side of 0 would divide by zero; it is taken as 1.
static uint16_t gridSide(uint16_t side)
{
    return side == 0 ? 1 : side;
}

Sprite::Sprite(Texture* texture, const FrameGrid& grid)
    : videoDriver(nullptr), texture(texture), frameWidth(texture->getWidth() / gridSide(grid.cols)),
      frameHeight(texture->getHeight() / gridSide(grid.rows)), cols(gridSide(grid.cols)),
      rows(gridSide(grid.rows))
{
    init();
}

Sprite::Sprite(Texture* texture)
    : videoDriver(nullptr), texture(texture), frameWidth(texture->getWidth()),
      frameHeight(texture->getHeight()), cols(1), rows(1)
{
    init();
}

Sprite::~Sprite() = default;

void Sprite::init()
{
    videoDriver = Core::getDevice()->getVideoDriver();
    position = {0.0f, 0.0f};
    scale = {1.0f, 1.0f};
    rotation = 0.0f;
    alpha = 1.0f;
    flip = 0;
    frameU = 1.0f / cols;
    frameV = 1.0f / rows;
    frame = 0;
    firstFrame = 0;
    lastFrame = 0;
    animMode = 0;
    animDelay = 0;
    animCounter = 0;
}

void Sprite::setPosition(const Vec2& position)
{
    this->position = position;
}

void Sprite::setScale(const Vec2& scale)
{
    this->scale = scale;
}

void Sprite::setRotation(float degrees)
{
    // One correction each way is enough for the few degrees per step that rolling adds.
    if (degrees >= 360.0f)
    {
        degrees -= 360.0f;
    }
    if (degrees < 0.0f)
    {
        degrees += 360.0f;
    }
    rotation = degrees;
}

void Sprite::setAlpha(float alpha)
{
    this->alpha = alpha;
}

void Sprite::setFlip(uint8_t flip)
{
    this->flip = flip;
}

void Sprite::setFrame(uint16_t frame)
{
    this->frame = frame;
}

void Sprite::setAnimation(uint16_t first, uint16_t last, uint32_t delay, uint8_t mode)
{
    frame = first;
    firstFrame = first;
    lastFrame = last;
    animDelay = delay;
    animMode = mode;
    animCounter = 0;
}

void Sprite::animate()
{
    if (animMode == 0)
    {
        return;
    }
    ++animCounter;
    if (animCounter < animDelay)
    {
        return;
    }
    animCounter = 0;
    ++frame;
    if (frame > lastFrame)
    {
        if (animMode == 1)
        {
            frame = lastFrame;
            animMode = 0;
        }
        else if (animMode == 2)
        {
            frame = firstFrame;
        }
    }
}

Rect Sprite::getFrameRect() const
{
    const uint16_t column = frame % cols;
    const uint16_t row = frame / cols;
    const float left = frameU * column;
    const float top = frameV * row;
    return {left, top, left + frameU, top + frameV};
}

Rect Sprite::getQuad() const
{
    const float halfWidth = frameWidth / 2;
    const float halfHeight = frameHeight / 2;
    return {-halfWidth, -halfHeight, halfWidth, halfHeight};
}

void Sprite::draw()
{
    videoDriver->pushMatrix();
    Vec2 centre = position;
    videoDriver->translate(centre);
    if (rotation != 0.0f)
    {
        videoDriver->rotate(rotation);
    }
    videoDriver->scale({(flip & 1) != 0 ? -scale.x : scale.x, (flip & 2) != 0 ? -scale.y : scale.y});
    videoDriver->setColor(1.0f, 1.0f, 1.0f, alpha);
    videoDriver->drawTexture(texture, getQuad(), getFrameRect());
    videoDriver->setColor(1.0f, 1.0f, 1.0f, 1.0f);
    videoDriver->popMatrix();
}

uint8_t Sprite::getFlip() const
{
    return flip;
}

uint16_t Sprite::getFrame() const
{
    return frame;
}

float Sprite::getRotation() const
{
    return rotation;
}

Texture* Sprite::getTexture() const
{
    return texture;
}

float Sprite::getAlpha() const
{
    return alpha;
}

std::pair<uint16_t, uint16_t> Sprite::getFrameSize() const
{
    return {frameWidth, frameHeight};
}

Vec2 Sprite::getPosition() const
{
    return position;
}

Vec2 Sprite::getScale() const
{
    return scale;
}

uint8_t Sprite::getAnimMode() const
{
    return animMode;
}
