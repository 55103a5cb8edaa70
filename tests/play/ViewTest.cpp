#include "View.h"
#include "Core.h"
#include "Game.h"
#include "Harness.h"
#include "Level.h"

#include <gtest/gtest.h>

namespace
{

// A level of w x h cells whose single start cell is (px, py).
std::string openLevel(int w, int h, int px, int py)
{
    std::string rows;
    for (int y = 0; y < h; ++y)
    {
        for (int x = 0; x < w; ++x)
        {
            rows += (x == px && y == py) ? 'p' : '.';
        }
        rows += '\n';
    }
    return std::to_string(w) + " " + std::to_string(h) + "\nt\nm\n" + rows + "0\n";
}

struct Clamp
{
    float x, y;   // asked for
    float cx, cy; // where the camera ends up
};

TEST(View, ClampsTheCornerToTheLevelRightAndBottomEdgesFirst)
{
    Harness harness(makeWorkDir({{"levels.ini", "levels/a.txt levels/b.txt\n"},
                                 {"levels/a.txt", openLevel(20, 15, 1, 1)},
                                 {"levels/b.txt", openLevel(10, 10, 8, 8)}}));
    ASSERT_EQ(harness.initResult(), 0);
    Level* level = Core::getGame()->getLevel();
    View* view = level->getView();
    EXPECT_EQ(view->getWidth(), 874);
    EXPECT_EQ(view->getHeight(), 768);

    // 20 x 15 cells: x in 0 ... 406, y in 0 ... 192.
    const Clamp wide[] = {{-5, -7, 0, 0},       {100, 50, 100, 50},     {406, 192, 406, 192},
                          {407, 193, 406, 192}, {5000, 5000, 406, 192}, {-1000, 191, 0, 191}};
    for (const Clamp& c : wide)
    {
        Vec2 p{c.x, c.y};
        view->setPosition(p);
        EXPECT_EQ(p.x, c.cx) << c.x;
        EXPECT_EQ(p.y, c.cy) << c.y;
        EXPECT_EQ(view->getPosition().x, c.cx);
        EXPECT_EQ(view->getPosition().y, c.cy);
    }

    // 10 x 10 cells, smaller than the camera: always the top-left corner. The reader centred
    // the camera on where the player stood before this load.
    level->load(1, "levels/b.txt", false);
    EXPECT_EQ(view->getPosition().x, 0);
    EXPECT_EQ(view->getPosition().y, 0);
    for (const Clamp& c : wide)
    {
        Vec2 p{c.x, c.y};
        view->setPosition(p);
        EXPECT_EQ(p.x, 0);
        EXPECT_EQ(p.y, 0);
    }
}

TEST(View, TheReaderCentresTheCameraOnThePlayerOfThePreviousLoad)
{
    Harness harness(
        makeWorkDir({{"levels.ini", "levels/a.txt\n"}, {"levels/a.txt", openLevel(40, 30, 20, 20)}}));
    ASSERT_EQ(harness.initResult(), 0);
    Level* level = Core::getGame()->getLevel();
    // The first load saw the player at its constructor's place (32, 32): the top-left corner.
    EXPECT_EQ(level->getView()->getPosition().x, 0);
    EXPECT_EQ(level->getView()->getPosition().y, 0);

    // Loading again finds the player on its start, cell (20, 20) at (1312, 1312).
    level->load(0, "levels/a.txt", false);
    EXPECT_EQ(level->getView()->getPosition().x, 1312 - 437);
    EXPECT_EQ(level->getView()->getPosition().y, 1312 - 384);
}

} // namespace
