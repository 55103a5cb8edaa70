#pragma once

#include <cstdint>

class Device;
class Font;
class Level;
class Tilemap;
class VideoDriver;

// The level overview (state 3): the whole grid shrunk to fit the screen, every thing on it and a
// blinking player; any key returns to play.
class Map
{
  public:
    Map();
    virtual ~Map();

    void start();
    void update();
    void draw();

    // Units per cell for a grid of w x h cells: 32, 16 or 8.
    static uint16_t cellSize(uint16_t w, uint16_t h);
    uint16_t getFrames() const { return frames; }

  private:
    Device* device;
    VideoDriver* videoDriver;
    Tilemap* tilemap;
    Level* level;
    Font* font1;
    uint16_t frames;

    Map(const Map&) = delete;
    Map& operator=(const Map&) = delete;
};
