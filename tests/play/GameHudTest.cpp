#include "Core.h"
#include "Entity_Player.h"
#include "Game.h"
#include "Harness.h"

#include <gtest/gtest.h>

namespace
{

bool bright(uint32_t rgb)
{
    return (rgb & 0xff) > 0xc0 && ((rgb >> 8) & 0xff) > 0xc0;
}

bool dark(uint32_t rgb)
{
    return (rgb & 0xff) < 0x40 && ((rgb >> 8) & 0xff) < 0x40 && ((rgb >> 16) & 0xff) < 0x40;
}

// The diamond bar rises from y 611 to 246 once every diamond is taken; a level without diamonds
// has no bar at all rather than one computed from a division by zero.
TEST(GameHud, TheDiamondBarIsFullWithEveryDiamondAndAbsentWithoutDiamonds)
{
    Harness harness(
        makeWorkDir({{"levels.ini", "levels/easy/one_diamond.txt levels/easy/no_diamond.txt\n"},
                     {"levels/easy/one_diamond.txt", "6 3\ntileset1\nm.ogg\n######\n#pb..#\n######\n0\n"},
                     {"levels/easy/no_diamond.txt", "6 3\ntileset1\nm.ogg\n######\n#p...#\n######\n0\n"}}));
    ASSERT_EQ(harness.initResult(), 0);
    Game* game = Core::getGame();
    game->initLevel(0);
    game->setState(2, true);
    harness.step(120);
    EXPECT_TRUE(dark(harness.pixel(112, 600)));
    harness.hold(SDLK_RIGHT);
    harness.step(40);
    harness.releaseAll();
    harness.step(2);
    ASSERT_EQ(game->getPlayer()->getDiamonds(), 1);
    harness.saveScreenshot("hud-full-diamond-bar");
    EXPECT_TRUE(bright(harness.pixel(112, 600)));
    EXPECT_TRUE(bright(harness.pixel(112, 250)));
    EXPECT_FALSE(bright(harness.pixel(112, 240)));
    // The apple meter shows beside it.
    EXPECT_GT((harness.pixel(40, 600) >> 16) & 0xff, 0xc0u);

    game->initLevel(1);
    game->setState(2, true);
    harness.step(3);
    harness.saveScreenshot("hud-no-diamonds");
    for (int y : {600, 400, 250})
    {
        EXPECT_TRUE(dark(harness.pixel(112, y))) << y;
    }
}

} // namespace
