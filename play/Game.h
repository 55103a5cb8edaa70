#pragma once

#include <cstdint>

// Placeholder until the game controller lands: every operation does nothing.
class Game
{
  public:
    Game() {}
    ~Game() {}
    void createObjects() {}
    void getFirstLevel() {}
    void update() {}
    bool isStateChanged() const { return false; }
    void draw() {}
};
