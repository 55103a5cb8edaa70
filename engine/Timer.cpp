#include "Timer.h"

#include "Core.h"
#include "Device.h"

Timer::Timer(uint32_t interval)
    : start(0), interval(interval), fired(true), stopped(false), device(Core::getDevice())
{
    Core::log("Timer: created");
    start = device->getTicks();
}

Timer::~Timer()
{
    Core::log("Timer: dropped");
}

void Timer::update()
{
    if (stopped)
    {
        return;
    }
    // Missed intervals are not made up: the next one is measured from now.
    if (start + interval < device->getTicks())
    {
        start = device->getTicks();
        fired = true;
    }
}

bool Timer::hasFired()
{
    const bool result = fired;
    fired = false;
    return result;
}

bool Timer::isStopped() const
{
    return stopped;
}

void Timer::stop()
{
    stopped = true;
}

void Timer::restart()
{
    start = device->getTicks();
    stopped = false;
}
