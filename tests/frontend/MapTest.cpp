// The level overview: the grid's scale and place for several level sizes, the tile size put back,
// the blinking player and the key that returns to play.
#include "Map.h"
#include "Core.h"
#include "Entity_Player.h"
#include "Game.h"
#include "GlRecorder.h"
#include "Harness.h"
#include "Level.h"
#include "TileSize.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace
{

// A level of w x h cells walled round, the player in the second cell of the second row.
std::string wallLevel(int w, int h)
{
    std::string text = std::to_string(w) + " " + std::to_string(h) + "\ntileset1\nm.ogg\n";
    for (int row = 0; row < h; ++row)
    {
        std::string line(w, (row == 0 || row == h - 1) ? '#' : '.');
        line.front() = '#';
        line.back() = '#';
        if (row == 1)
        {
            line[1] = 'p';
        }
        text += line + "\n";
    }
    return text + "0\n";
}

struct Overview
{
    Harness harness;
    Game* game;

    explicit Overview(const std::string& level)
        : harness(makeWorkDir({{"levels.ini", "levels/easy/map.txt\n"}, {"levels/easy/map.txt", level}})),
          game(Core::getGame())
    {
        game->initLevel(0);
        game->setState(2, true);
        harness.step(105); // past the start-up fade, so the pictures show the screen itself
        harness.press(SDLK_m);
        harness.step();
    }
};

struct Bounds
{
    float left, top, right, bottom;
};

Bounds boundsOf(const std::vector<RecordedQuad>& quads, size_t first, size_t end)
{
    Bounds b{1e9f, 1e9f, -1e9f, -1e9f};
    for (size_t i = first; i < end; ++i)
    {
        b.left = std::min(b.left, quads[i].left());
        b.top = std::min(b.top, quads[i].top());
        b.right = std::max(b.right, quads[i].right());
        b.bottom = std::max(b.bottom, quads[i].bottom());
    }
    return b;
}

struct GridCase
{
    int w;
    int h;
    Bounds grid;  // as seen in the 1024 x 768 window
    bool caption; // "press any key to continue" on screen
};

void PrintTo(const GridCase& c, std::ostream* os)
{
    *os << c.w << " x " << c.h;
}

class MapGrid : public ::testing::TestWithParam<GridCase>
{
};

TEST_P(MapGrid, TheWholeGridIsScaledAndCentred)
{
    const GridCase& c = GetParam();
    Overview overview(wallLevel(c.w, c.h));
    ASSERT_EQ(overview.game->getState(), 3);

    const std::vector<RecordedQuad> quads = recordQuads([&] { overview.game->getMap()->draw(); });
    EXPECT_EQ(tileWidth, 64);
    EXPECT_EQ(tileHeight, 64);
    // First the dimming over the whole screen, last the caption's 25 glyphs.
    ASSERT_GT(quads.size(), 26u);
    EXPECT_EQ(quads[0].left(), 0.0f);
    EXPECT_EQ(quads[0].bottom(), 768.0f);
    const size_t captionGlyphs = c.caption ? 25 : 0;
    const Bounds grid = boundsOf(quads, 1, quads.size() - captionGlyphs);
    EXPECT_NEAR(grid.left, c.grid.left, 1.0f);
    EXPECT_NEAR(grid.top, c.grid.top, 1.0f);
    EXPECT_NEAR(grid.right, c.grid.right, 1.0f);
    EXPECT_NEAR(grid.bottom, c.grid.bottom, 1.0f);
    if (c.caption)
    {
        // Its top stands 20 units below the grid's bottom edge.
        const Bounds caption = boundsOf(quads, quads.size() - 25, quads.size());
        EXPECT_NEAR(caption.top, c.grid.bottom + 20.0f, 1.0f);
    }
    else
    {
        // 128 cells of 8 from y -164: row 21 is the first one wholly on screen.
        const bool row21 =
            std::any_of(quads.begin(), quads.end(),
                        [](const RecordedQuad& q)
                        { return std::abs(q.top() - 4.0f) < 0.5f && std::abs(q.bottom() - 12.0f) < 0.5f; });
        EXPECT_TRUE(row21);
    }
    overview.harness.drawFrame();
    overview.harness.saveScreenshot("map_" + std::to_string(c.w) + "x" + std::to_string(c.h));
}

INSTANTIATE_TEST_SUITE_P(Map, MapGrid,
                         ::testing::Values(GridCase{10, 10, {352, 188, 672, 508}, true},
                                           GridCase{17, 10, {376, 268, 648, 428}, true},
                                           GridCase{40, 30, {352, 228, 672, 468}, true},
                                           GridCase{128, 128, {0, 0, 1024, 768}, false}),
                         [](const ::testing::TestParamInfo<MapGrid::ParamType>& info)
                         { return std::to_string(info.param.w) + "x" + std::to_string(info.param.h); });

TEST(Map, ThePlayerShowsInTheFirstTenFramesThenBlinksAndAnyKeyReturns)
{
    Overview overview(wallLevel(10, 10));
    ASSERT_EQ(overview.game->getState(), 3);
    std::vector<size_t> counts;
    for (int frame = 0; frame < 40; ++frame)
    {
        counts.push_back(recordQuads([&] { overview.game->getMap()->draw(); }).size());
        overview.harness.step();
    }
    for (int frame = 0; frame < 40; ++frame)
    {
        const bool shown = (frame / 10) % 2 == 0;
        EXPECT_EQ(counts[frame], counts[0] - (shown ? 0 : 1)) << "frame " << frame;
    }
    // Play stood still all the while.
    EXPECT_EQ(overview.game->getPlayer()->getCell().x, 1);

    overview.harness.press(SDLK_SPACE);
    overview.harness.step();
    EXPECT_EQ(overview.game->getState(), 2);
    overview.harness.press(SDLK_m);
    overview.harness.step();
    ASSERT_EQ(overview.game->getState(), 3);
    EXPECT_EQ(overview.game->getMap()->getFrames(), 0) << "every entry starts shown";
}

} // namespace
