#pragma once

#include "Rect.h"
#include "Vec2.h"

#include <cstdint>
#include <utility>

class Texture;
class VideoDriver;

// How a sprite's picture is cut into frames, numbered row by row from the top left.
struct FrameGrid
{
    uint16_t cols;
    uint16_t rows;
};

// A drawable view of one texture cut into a grid of frames, with a simple frame animation.
// The texture belongs to the drawing driver's cache, not to the sprite.
class Sprite
{
  public:
    Sprite(Texture* texture, const FrameGrid& grid);
    // One frame: the whole picture.
    explicit Sprite(Texture* texture);
    ~Sprite();

    // Start values: centred at (0, 0), unscaled, unrotated, opaque, frame 0, no animation.
    void init();

    void setPosition(const Vec2& position);
    void setScale(const Vec2& scale);
    // Brought into [0, 360) with at most one correction each way.
    void setRotation(float degrees);
    void setAlpha(float alpha);
    // Bit 0 mirrors left-right, bit 1 top-bottom.
    void setFlip(uint8_t flip);
    // Leaves the animation alone.
    void setFrame(uint16_t frame);
    // mode 0 none, 1 play once and stay on last, 2 loop; delay in steps per frame.
    void setAnimation(uint16_t first, uint16_t last, uint32_t delay, uint8_t mode);
    // Once per step.
    void animate();
    void draw();

    uint8_t getFlip() const;
    uint16_t getFrame() const;
    float getRotation() const;
    Texture* getTexture() const;
    float getAlpha() const;
    std::pair<uint16_t, uint16_t> getFrameSize() const;
    Vec2 getPosition() const;
    Vec2 getScale() const;
    uint8_t getAnimMode() const;

    // The current frame in texture coordinates, and the quad it is drawn on, centred on the origin.
    Rect getFrameRect() const;
    Rect getQuad() const;

  private:
    VideoDriver* videoDriver;
    Texture* texture;
    uint16_t frameWidth;
    uint16_t frameHeight;
    Vec2 position;
    Vec2 scale;
    float rotation;
    float alpha;
    uint8_t flip;
    uint16_t cols;
    uint16_t rows;
    float frameU;
    float frameV;
    uint16_t frame;
    uint16_t firstFrame;
    uint16_t lastFrame;
    uint8_t animMode;
    uint32_t animDelay;
    uint32_t animCounter;
};
