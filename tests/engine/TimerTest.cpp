#include "Timer.h"
#include "Core.h"
#include "Device.h"
#include "Harness.h"

#include <SDL/SDL.h>
#include <gtest/gtest.h>
#include <memory>

namespace
{

// A timer whose start tick is known: made while the tick counter stood still.
std::unique_ptr<Timer> timerAt(uint32_t interval, uint32_t& start)
{
    for (;;)
    {
        start = SDL_GetTicks();
        std::unique_ptr<Timer> timer(new Timer(interval));
        if (SDL_GetTicks() == start)
        {
            return timer;
        }
    }
}

// Updates the timer at exactly the given tick; false when the counter moved on meanwhile.
bool updateAt(Timer& timer, uint32_t tick)
{
    while (SDL_GetTicks() < tick)
    {
    }
    timer.update();
    return SDL_GetTicks() == tick;
}

} // namespace

TEST(Timer, FiresOnlyAfterMoreThanItsInterval)
{
    Harness h(QUARROW_DATA_DIR);
    ASSERT_NE(Core::getDevice(), nullptr);
    for (int attempt = 0; attempt < 20; ++attempt)
    {
        uint32_t start = 0;
        std::unique_ptr<Timer> timer = timerAt(30, start);
        // A new timer has fired already, once.
        EXPECT_TRUE(timer->hasFired());
        EXPECT_FALSE(timer->hasFired());
        if (!updateAt(*timer, start + 30))
        {
            continue;
        }
        EXPECT_FALSE(timer->hasFired()) << "fired exactly at the interval";
        updateAt(*timer, start + 31);
        EXPECT_TRUE(timer->hasFired());
        EXPECT_FALSE(timer->hasFired());
        return;
    }
    FAIL() << "the tick counter never held still";
}

TEST(Timer, IntervalZeroFiresWheneverTheTicksMoved)
{
    Harness h(QUARROW_DATA_DIR);
    ASSERT_NE(Core::getDevice(), nullptr);
    for (int attempt = 0; attempt < 20; ++attempt)
    {
        uint32_t start = 0;
        std::unique_ptr<Timer> timer = timerAt(0, start);
        timer->hasFired();
        if (!updateAt(*timer, start))
        {
            continue;
        }
        EXPECT_FALSE(timer->hasFired());
        updateAt(*timer, start + 1);
        EXPECT_TRUE(timer->hasFired());
        return;
    }
    FAIL() << "the tick counter never held still";
}

TEST(Timer, StopsAndRestarts)
{
    Harness h(QUARROW_DATA_DIR);
    ASSERT_NE(Core::getDevice(), nullptr);
    {
        Timer timer(10);
        timer.hasFired();
        timer.stop();
        EXPECT_TRUE(timer.isStopped());
        SDL_Delay(30);
        timer.update();
        EXPECT_FALSE(timer.hasFired());

        // A restart measures a whole fresh interval from now.
        timer.restart();
        EXPECT_FALSE(timer.isStopped());
        timer.update();
        EXPECT_FALSE(timer.hasFired());
        SDL_Delay(15);
        timer.update();
        EXPECT_TRUE(timer.hasFired());

        // Missed intervals are not made up.
        SDL_Delay(50);
        timer.update();
        timer.update();
        EXPECT_TRUE(timer.hasFired());
        EXPECT_FALSE(timer.hasFired());
    }
    const std::string log = h.logText();
    EXPECT_LT(log.find("Timer: created\n"), log.find("Timer: dropped\n"));
    EXPECT_NE(log.find("Timer: dropped\n"), std::string::npos);
}
