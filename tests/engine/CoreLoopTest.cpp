#include "Core.h"
#include "Game.h"
#include "Harness.h"
#include "MinimalGame.h"

#include <SDL/SDL.h>
#include <functional>
#include <gtest/gtest.h>
#include <ios>
#include <new>
#include <stdexcept>
#include <vector>

TEST(CoreLoop, AStepThatChangesTheStateDrawsNothingAndDoesNotSwap)
{
    Harness h(makeMinimalGameDir());
    ASSERT_EQ(h.initResult(), 0);
    h.step(2);
    const unsigned int swaps = h.swapCount();
    h.step();
    EXPECT_EQ(h.swapCount(), swaps + 1);

    Core::getGame()->setState(Core::getGame()->getState(), false);
    h.step();
    EXPECT_EQ(h.swapCount(), swaps + 1);
    EXPECT_FALSE(Core::getGame()->isStateChanged());
    h.step();
    EXPECT_EQ(h.swapCount(), swaps + 2);
}

TEST(CoreLoop, ACloseRequestEndsTheStepAfterTheEvents)
{
    Harness h(makeMinimalGameDir());
    ASSERT_EQ(h.initResult(), 0);
    h.step();
    const unsigned int swaps = h.swapCount();
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    h.step();
    EXPECT_FALSE(Core::isRunning());
    EXPECT_EQ(h.swapCount(), swaps);
    EXPECT_NE(h.logText().find("Core: quit signal\n\n"), std::string::npos);
}

namespace
{

// Something that goes wrong inside a step: the game's own error or one of the runtime's.
struct StepFault
{
    std::function<void()> arm;
    std::string message;
};

std::vector<StepFault> stepFaults()
{
    const std::ios_base::failure streamFailure("Test: the stream failed");
    return {
        {[] { throwAtNextSwap("Test: the swap failed"); }, "Test: the swap failed"},
        {[] { throwAtNextSwap(std::make_exception_ptr(std::bad_alloc())); }, std::bad_alloc().what()},
        {[=] { throwAtNextSwap(std::make_exception_ptr(streamFailure)); }, streamFailure.what()},
        {[] { throwAtNextSwap(std::make_exception_ptr(std::length_error("Test: too long"))); },
         "Test: too long"},
    };
}

} // namespace

TEST(CoreLoop, AnErrorEscapingAStepIsLoggedAndThePlayGoesOn)
{
    Harness h(makeMinimalGameDir());
    ASSERT_EQ(h.initResult(), 0);
    h.step();
    for (const StepFault& fault : stepFaults())
    {
        SCOPED_TRACE(fault.message);
        const unsigned int swaps = h.swapCount();
        fault.arm();
        h.step();
        EXPECT_TRUE(Core::isRunning());
        EXPECT_NE(h.logText().find("\nCore: error: " + fault.message + "\n"), std::string::npos)
            << h.logText();
        h.step();
        EXPECT_EQ(h.swapCount(), swaps + 2);
    }
}

TEST(CoreLoop, ARuntimeErrorDuringStartUpEndsItWithMinusOne)
{
    // The drawing driver's first frame is swapped while the device starts.
    throwAtNextSwap(std::make_exception_ptr(std::bad_alloc()));
    Harness h(makeMinimalGameDir());
    EXPECT_EQ(h.initResult(), -1);
    EXPECT_EQ(Core::getGame(), nullptr);
    const std::string log = h.logText();
    EXPECT_NE(log.find(std::string("VideoDriver: init\nInit error: ") + std::bad_alloc().what() + "\n"),
              std::string::npos)
        << log;
}
