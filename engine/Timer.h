#pragma once

#include <cstdint>

class Device;

// Reports, when polled, that more than an interval of milliseconds has passed since it last fired.
class Timer
{
  public:
    explicit Timer(uint32_t interval);
    ~Timer();

    void update();
    // Reading the flag clears it. A new timer has fired already.
    bool hasFired();
    bool isStopped() const;
    void stop();
    // A fresh interval from now; the fired flag is left as it is.
    void restart();

  private:
    uint32_t start;
    uint32_t interval;
    bool fired;
    bool stopped;
    Device* device;
};
