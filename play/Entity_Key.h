#pragma once

#include "Entity_Bonus.h"

// Opens doors of its own colour: 0 yellow, 1 blue.
class Entity_Key : public Entity_Bonus
{
  public:
    Entity_Key();

    // Colour 0 animates the lower half of the keys sheet, colour 1 the upper half.
    void setColor(uint8_t color);
    uint8_t getColor() const { return color; }

  private:
    uint8_t color;
};
