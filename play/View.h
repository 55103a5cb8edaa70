#pragma once

#include "Vec2.h"

#include <cstdint>

// The level's camera: the top-left corner, in level pixels, of the 874 x 768 part of the level
// that is drawn right of the heads-up display. Always kept inside the level.
class View
{
  public:
    View();
    ~View();

    Vec2 getPosition() const;
    uint16_t getWidth() const { return width; }
    uint16_t getHeight() const { return height; }
    // Clamps p to the level, right and bottom edges first, writes the result back into p and
    // moves the camera there.
    void setPosition(Vec2& p);

  private:
    float x;
    float y;
    uint16_t width;
    uint16_t height;

    View(const View&) = delete;
    View& operator=(const View&) = delete;
};
