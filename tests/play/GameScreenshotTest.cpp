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

    auto red = [&](int x, int y) { return (harness.pixel(x, y) >> 16) & 0xff; };
    auto blue = [&](int x, int y) { return harness.pixel(x, y) & 0xff; };
    // The blue HUD panel on the left.
    EXPECT_GT(blue(5, 200), red(5, 200) + 0x10);
    // The player on its start cell (1, 1), drawn 150 units right of the screen's edge.
    EXPECT_GT(red(246, 96), 0x70u);
    // Brown sand at cell (2, 1), the dark background of the empty cell (8, 1).
    EXPECT_GT(red(310, 100), blue(310, 100) + 0x20);
    EXPECT_LT(red(700, 100), 0x30u);
    EXPECT_LT(blue(700, 100), 0x30u);
}

} // namespace
