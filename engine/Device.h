#pragma once

#include <cstdint>

// Placeholder until the window and keyboard land.
class Device
{
  public:
    Device() {}
    ~Device() {}
    void initVideo() {}
    uint32_t getTicks() const;
    void processEvents() {}
    void swapBuffers() {}
};
