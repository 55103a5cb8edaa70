// Rocks and boxes: falling, rolling, crushing and landing, in a real stepped game.
#include "AudioDriver.h"
#include "Core.h"
#include "Entity.h"
#include "Entity_Player.h"
#include "Game.h"
#include "Harness.h"
#include "Level.h"
#include "SoundProbe.h"
#include "Sprite.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace
{
// A one-level game on the given grid rows, already in play.
class FallerLevel
{
  public:
    explicit FallerLevel(const std::vector<std::string>& rows) : harness(makeWorkDir(files(rows)))
    {
        Core::getGame()->initLevel(0);
        Core::getGame()->setState(2, true);
    }

    static std::map<std::string, std::string> files(const std::vector<std::string>& rows)
    {
        std::ostringstream level;
        level << rows[0].size() << " " << rows.size() << "\ntileset1\nnone.ogg\n";
        for (const std::string& row : rows)
            level << row << "\n";
        level << "0\n";
        return {{"levels.ini", "levels/test.txt\n"}, {"levels/test.txt", level.str()}};
    }

    Harness harness;
};

Level* level()
{
    return Core::getGame()->getLevel();
}

Entity_Player* player()
{
    return Core::getGame()->getPlayer();
}

// The thing whose centre lies in cell (column, row), or null.
Entity* thingAt(uint16_t column, uint16_t row)
{
    for (Entity* e = level()->firstEntity(); e; e = level()->nextEntity())
    {
        const CellPos cell = e->getCell();
        if (cell.x == column && cell.y == row)
            return e;
    }
    return nullptr;
}

float centre(uint16_t cell)
{
    return cell * 64.0f + 32.0f;
}
} // namespace

TEST(FallerTest, NothingFallsInTheFirstUpdateAfterALoad)
{
    FallerLevel play({"#####", "#.r.#", "#...#", "#...#", "##p##", "#####"});
    Entity* rock = thingAt(2, 1);
    ASSERT_NE(rock, nullptr);
    play.harness.step();
    EXPECT_FLOAT_EQ(rock->getPosition().y, centre(1));
    play.harness.step();
    EXPECT_GT(rock->getPosition().y, centre(1));
}

TEST(FallerTest, RockRestingOnThePlayerStays)
{
    FallerLevel play({"#####", "#.r.#", "#.p.#", "#####"});
    Entity* rock = thingAt(2, 1);
    ASSERT_NE(rock, nullptr);
    play.harness.step(60);
    EXPECT_FLOAT_EQ(rock->getPosition().y, centre(1));
    EXPECT_FALSE(player()->isDead());
}

TEST(FallerTest, RockThatHasFallenACellKeepsFallingAndKills)
{
    FallerLevel play({"#####", "#.r.#", "#...#", "#.p.#", "#####"});
    play.harness.step(40);
    EXPECT_TRUE(player()->isDead());
    // The blast at the player's cell takes the rock with it.
    EXPECT_EQ(level()->getEntityCount(), 0u);
}

TEST(FallerTest, RockFallingInTheNextColumnMissesThePlayer)
{
    FallerLevel play({"#####", "#r..#", "#...#", "#.p.#", "#...#", "#####"});
    play.harness.step(80);
    EXPECT_FALSE(player()->isDead());
    EXPECT_NE(thingAt(1, 4), nullptr);
}

TEST(FallerTest, PlayerSteppingUnderAFallingRockIsCrushed)
{
    FallerLevel play({"#####", "#..r#", "#...#", "#...#", "#.p.#", "#####"});
    Entity* rock = thingAt(3, 1);
    ASSERT_NE(rock, nullptr);
    for (int frame = 0; frame < 60 && rock->getPosition().y < 210.0f; ++frame)
        play.harness.step();
    // The rock is nearly down to the row above the player: the player steps right, into its column.
    play.harness.hold(SDLK_RIGHT);
    play.harness.step();
    EXPECT_FALSE(player()->isDead()); // 58.67 px to the side
    for (int frame = 0; frame < 12 && !player()->isDead(); ++frame)
        play.harness.step();
    EXPECT_TRUE(player()->isDead());
    // Crushed while still mostly in its own column, within 53.33 px of the rock's.
    EXPECT_LT(centre(3) - player()->getPosition().x, 64.0f / 1.2f);
    EXPECT_GT(centre(3) - player()->getPosition().x, 32.0f);
}

struct RollCase
{
    const char* name;
    std::vector<std::string> rows; // the rolling rock stands at (2, 2)
    int side;
};

void PrintTo(const RollCase& c, std::ostream* os)
{
    *os << c.name;
}

class FallerRollTest : public ::testing::TestWithParam<RollCase>
{
};

TEST_P(FallerRollTest, RollsToTheExpectedSide)
{
    FallerLevel play(GetParam().rows);
    Entity* rock = thingAt(2, 2);
    ASSERT_NE(rock, nullptr);
    play.harness.step(2);
    EXPECT_EQ(rock->getDirection().dx, GetParam().side);
    EXPECT_EQ(rock->getDirection().dy, 0);
    play.harness.step(13);
    EXPECT_EQ(rock->getCell().x, 2 + GetParam().side);
}

INSTANTIATE_TEST_SUITE_P(
    Sides, FallerRollTest,
    ::testing::Values(
        RollCase{"BothSidesOpenLeft", {"######", "#....#", "#.r..#", "#.O..#", "#....#", "####p#"}, -1},
        RollCase{"LeftBlockedRight", {"######", "#....#", "##r..#", "#.O..#", "#....#", "####p#"}, 1},
        RollCase{"BelowLeftBlockedRight", {"######", "#....#", "#.r..#", "##O..#", "#....#", "####p#"}, 1},
        RollCase{
            "LeftLeftToTheRockAboveRight", {"######", "#r...#", "#.r..#", "#.O..#", "#....#", "####p#"}, 1}),
    [](const ::testing::TestParamInfo<RollCase>& info) { return std::string(info.param.name); });

TEST(FallerTest, RockLandingOnARoundWallRollsOffTurningAndSounding)
{
    FallerLevel play(
        {"#######", "#..r..#", "#.....#", "#..O..#", "#.....#", "#######", "#p#####", "#######"});
    Entity* rock = thingAt(3, 1);
    ASSERT_NE(rock, nullptr);
    Mix_Chunk* dash = chunkOf("sounds/rock_dash.wav");
    ASSERT_NE(dash, nullptr);

    // It falls one cell onto the round wall and rolls left at once.
    int frame = 0;
    int dashes = 0;
    while (frame < 30 && rock->getDirection().dx == 0)
    {
        MixerHold still;
        Mix_HaltChannel(-1);
        play.harness.step();
        ++frame;
        dashes = playingCount(dash);
    }
    ASSERT_EQ(rock->getDirection().dx, -1);
    EXPECT_EQ(frame, 15); // the loaded frame, 13 frames of fall, then the roll
    EXPECT_TRUE(Core::getAudioDriver()->isSoundBlocked("sounds/rock_coll.wav"));
    EXPECT_EQ(dashes, 1);
    // A quarter turn a cell, counter-clockwise to the left.
    EXPECT_FLOAT_EQ(rock->getSprite()->getRotation(), 360.0f - 7.5f);
    play.harness.step(11);
    EXPECT_FLOAT_EQ(rock->getSprite()->getRotation(), 270.0f);
    EXPECT_NEAR(rock->getPosition().y, centre(2), 0.01f);
}

TEST(FallerTest, BoxNeverRollsAndNothingRollsOffIt)
{
    // A box on a round wall, a box on a rock, a rock on a box.
    FallerLevel play({"#########", "#.Z..Z.r#", "#.O..r.Z#", "#....#.##", "#p......#", "#########"});
    const CellPos cells[] = {{2, 1}, {5, 1}, {5, 2}, {7, 1}, {7, 2}};
    std::vector<Entity*> things;
    for (const CellPos& cell : cells)
    {
        things.push_back(thingAt(cell.x, cell.y));
        ASSERT_NE(things.back(), nullptr);
    }
    play.harness.step(40);
    for (size_t i = 0; i < things.size(); ++i)
    {
        EXPECT_FLOAT_EQ(things[i]->getPosition().x, centre(cells[i].x)) << i;
        EXPECT_FLOAT_EQ(things[i]->getPosition().y, centre(cells[i].y)) << i;
    }
}

struct LandingCase
{
    const char* name;
    char ground;
    const char* heard;
    const char* silent;
};

void PrintTo(const LandingCase& c, std::ostream* os)
{
    *os << c.name;
}

class FallerLandingTest : public ::testing::TestWithParam<LandingCase>
{
};

TEST_P(FallerLandingTest, LandingSoundFollowsTheGround)
{
    const std::string ground(1, GetParam().ground);
    FallerLevel play({"#####", "#.r.#", "#...#", "#." + ground + ".#", "#####", "##p##"});
    AudioDriver* audio = Core::getAudioDriver();
    bool heard = false;
    bool silentHeard = false;
    for (int frame = 0; frame < 40; ++frame)
    {
        play.harness.step();
        heard = heard || audio->isSoundBlocked(GetParam().heard);
        silentHeard = silentHeard || audio->isSoundBlocked(GetParam().silent);
    }
    EXPECT_TRUE(heard);
    EXPECT_FALSE(silentHeard);
}

INSTANTIATE_TEST_SUITE_P(
    Grounds, FallerLandingTest,
    ::testing::Values(LandingCase{"Sand", '+', "sounds/sand_coll.wav", "sounds/rock_coll.wav"},
                      LandingCase{"Wall", '#', "sounds/rock_coll.wav", "sounds/sand_coll.wav"}),
    [](const ::testing::TestParamInfo<LandingCase>& info) { return std::string(info.param.name); });

TEST(FallerTest, ColumnOfRocksFallsWithGaps)
{
    FallerLevel play({"###", "#r#", "#r#", "#r#", "#.#", "#.#", "#.#", "#.#", "#.#", "###", "#p#", "###"});
    Entity* top = thingAt(1, 1);
    Entity* middle = thingAt(1, 2);
    Entity* bottom = thingAt(1, 3);
    ASSERT_TRUE(top && middle && bottom);
    play.harness.step(10);
    // The upper rock starts only once the lower one has left its row.
    EXPECT_GT(bottom->getPosition().y - middle->getPosition().y, 64.0f + 10.0f);
    EXPECT_GT(middle->getPosition().y - top->getPosition().y, 64.0f + 10.0f);
    EXPECT_GT(top->getPosition().y, centre(1));
}
