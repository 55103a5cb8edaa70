#include "Core.h"
#include "Entity_Player.h"
#include "Game.h"
#include "Harness.h"

#include <gtest/gtest.h>

namespace
{

// A small level in play: HUD on the left, tiles right of x 150, the player on its start.
TEST(GameScreenshot, PlayShowsTheHudTheTilesAndThePlayer)
{
    Harness harness(makeWorkDir({{"levels.ini", "levels/easy/small_cave.txt\n"},
                                 {"levels/easy/small_cave.txt", "12 10\ntileset1\nm.ogg\n"
                                                                "############\n"
                                                                "#p+++..b..x#\n"
                                                                "#.++O+r+++.#\n"
                                                                "#.+B+.+.*+.#\n"
                                                                "#..+++...+.#\n"
                                                                "#O.'.+1+\"+.#\n"
                                                                "#.e..+.+..Z#\n"
                                                                "#++++..b++.#\n"
                                                                "#....2...+E#\n"
                                                                "############\n0\n"}}));
    ASSERT_EQ(harness.initResult(), 0);
    Game* game = Core::getGame();
    game->initLevel(0);
    game->setState(2, true);
    // Past the fade-in and the start blink.
    harness.step(130);
    ASSERT_EQ(game->getState(), 2);
    const std::string path = harness.saveScreenshot("game-play");
    ASSERT_FALSE(path.empty());

    // The HUD panel is drawn over the left 254 units; the level's wall corner right of it.
    EXPECT_NE(harness.pixel(60, 300), 0x000000u);
    EXPECT_NE(harness.pixel(150 + 32, 32), 0x000000u);
}

} // namespace
