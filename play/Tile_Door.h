#pragma once

#include "Tile.h"

class Sound;

// A coloured door: solid until the player brings a key of its colour, then open for good.
class Tile_Door : public Tile
{
  public:
    Tile_Door();
    ~Tile_Door() override;
    void update() override;
    void drawTop() override;

    // 0 yellow, 1 blue; any other value is taken as yellow.
    void setColor(uint8_t value);
    uint8_t getColor() const { return color; }
    void open();

  private:
    uint8_t color;
    Sprite* sprites[2]; // owned, by colour
    Sound* openSound;
};
