#include "Core.h"
#include "Game.h"
#include "Harness.h"
#include "MinimalGame.h"

#include <SDL/SDL.h>
#include <gtest/gtest.h>

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

TEST(CoreLoop, AnErrorEscapingAStepIsLoggedAndThePlayGoesOn)
{
    Harness h(makeMinimalGameDir());
    ASSERT_EQ(h.initResult(), 0);
    h.step();
    const unsigned int swaps = h.swapCount();
    throwAtNextSwap("Test: the swap failed");
    h.step();
    EXPECT_TRUE(Core::isRunning());
    EXPECT_NE(h.logText().find("\nCore: error: Test: the swap failed\n"), std::string::npos);
    h.step();
    EXPECT_EQ(h.swapCount(), swaps + 2);
}
