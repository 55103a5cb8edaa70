// Lit bombs: fuse, countdown, blast and chain reactions.
#include "Core.h"
#include "Entity_Bomb.h"
#include "Entity_Player.h"
#include "Game.h"
#include "GlRecorder.h"
#include "Harness.h"
#include "Level.h"
#include "ParticleManager.h"
#include "SoundProbe.h"
#include "TestPictures.h"
#include "Tile.h"
#include "Tilemap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{
// A one-level game on the given grid rows, already in play and past its first update.
class BombLevel
{
  public:
    explicit BombLevel(const std::vector<std::string>& rows) : BombLevel(makeWorkDir(files(rows))) {}
    explicit BombLevel(const std::string& workDir) : harness(workDir)
    {
        Core::getGame()->initLevel(0);
        Core::getGame()->setState(2, true);
        harness.step();
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

// A bomb placed on a cell as the player drops one, not yet lit.
Entity_Bomb* addBomb(uint16_t column, uint16_t row)
{
    Entity_Bomb* bomb = new Entity_Bomb();
    bomb->setPosition(Vec2{column * 64.0f + 32.0f, row * 64.0f + 32.0f});
    level()->addEntity(bomb);
    return bomb;
}

bool isSand(uint16_t column, uint16_t row)
{
    return level()->getTilemap()->getTile(CellPos{column, row})->isSand();
}

bool inLevel(const Entity* thing)
{
    for (Entity* e = level()->firstEntity(); e; e = level()->nextEntity())
        if (e == thing)
            return true;
    return false;
}

// Bombs on the middle row, sand beside them; the player is walled off below.
const std::vector<std::string> bombRow = {"#########", "#+++++++#", "#+.....+#", "#+++++++#",
                                          "#########", "#p#######", "#########"};
} // namespace

TEST(BombTest, LitBombExplodesOnItsHundredAndEightiethUpdate)
{
    BombLevel play(bombRow);
    Entity_Bomb* bomb = addBomb(4, 2);
    bomb->arm();
    Mix_Chunk* tick = chunkOf("sounds/bomb_tick.wav");
    ASSERT_NE(tick, nullptr);
    std::vector<int> ticks;
    for (int update = 1; update < 180; ++update)
    {
        MixerHold still;
        Mix_HaltChannel(-1);
        play.harness.step();
        if (playingCount(tick) > 0)
            ticks.push_back(update);
    }
    // A tick at each full second left on the fuse.
    EXPECT_EQ(ticks, (std::vector<int>{1, 61, 121}));
    EXPECT_EQ(bomb->getFuse(), 1);
    ASSERT_TRUE(inLevel(bomb));
    EXPECT_TRUE(isSand(4, 1));

    play.harness.step();
    EXPECT_FALSE(inLevel(bomb));
    for (uint16_t row = 1; row <= 3; ++row)
        for (uint16_t column = 3; column <= 5; ++column)
            EXPECT_FALSE(isSand(column, row)) << column << "," << row;
    EXPECT_TRUE(isSand(2, 1));
    EXPECT_TRUE(isSand(6, 3));
}

// The digit printed over a lit bomb as its fuse burns, read from the glyphs GL received.
TEST(BombTest, CountdownShowsThreeTwoOneAsTheFuseBurns)
{
    // Our own font picture: no game data, so the glyphs are the only textured quads.
    const std::string dir = makeWorkDir(BombLevel::files(bombRow), false);
    mkdir((dir + "/textures").c_str(), 0755);
    writeGridPicture(dir + "/textures/font1.png", 512, 512, 16, 16);
    BombLevel play(dir);
    Entity_Bomb* bomb = addBomb(4, 2);
    auto printed = [bomb]()
    {
        std::string text;
        for (const RecordedQuad& quad : recordQuads([bomb] { bomb->draw(); }))
        {
            float s = 1.0f, t = 1.0f;
            for (const RecordedVertex& corner : quad.corners)
            {
                s = std::min(s, corner.s);
                t = std::min(t, corner.t);
            }
            if (quad.right() - quad.left() > 1.0f)
                text += static_cast<char>(std::lround(t * 16) * 16 + std::lround(s * 16));
        }
        return text;
    };
    EXPECT_EQ(printed(), "");

    bomb->arm();
    // Read on both sides of every change of digit (fuse 132/131 and 66/65) and at the ends; reading
    // the glyphs back is the slow part, so not on every update.
    const std::map<int, std::string> expected = {{1, "3"},   {48, "3"},  {49, "2"},
                                                 {114, "2"}, {115, "1"}, {179, "1"}};
    std::map<int, std::string> digits;
    for (int update = 1; update < 180; ++update)
    {
        play.harness.step();
        if (expected.count(update) != 0)
            digits[update] = printed();
    }
    EXPECT_EQ(digits, expected);
    ASSERT_TRUE(inLevel(bomb));
    play.harness.step();
    EXPECT_FALSE(inLevel(bomb));
}

class BombChainTest : public ::testing::TestWithParam<bool>
{
};

TEST_P(BombChainTest, BombInABlastExplodesOneFrameLater)
{
    const bool secondLit = GetParam();
    BombLevel play(bombRow);
    // The second bomb comes first in the level's list, so the blast reaches it after its update.
    Entity_Bomb* second = addBomb(4, 2);
    Entity_Bomb* first = addBomb(3, 2);
    first->arm();
    play.harness.step(100);
    if (secondLit)
        second->arm();
    play.harness.step(80);
    ASSERT_FALSE(inLevel(first));
    ASSERT_TRUE(inLevel(second));
    EXPECT_TRUE(isSand(5, 2 - 1));

    play.harness.step();
    EXPECT_FALSE(inLevel(second));
    EXPECT_FALSE(isSand(5, 1));
    EXPECT_TRUE(isSand(6, 1));
}

INSTANTIATE_TEST_SUITE_P(SecondBomb, BombChainTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info)
                         { return std::string(info.param ? "Lit" : "Lying"); });

TEST(BombTest, BusyLevelScreenshot)
{
    // A blast frees three rocks, the player grabs a diamond, two ants walk: all on one frame.
    BombLevel play({"##############", "#...rrr..'\"..#", "#..+++++..++.#", "#..+.*.+..O..#", "#..+.#.+.....#",
                    "#.......pb.B.#", "#.e......###.#", "#+++++...#E..#", "#.r..O.......#",
                    "##############"});
    Entity_Bomb* bomb = nullptr;
    for (Entity* e = level()->firstEntity(); e; e = level()->nextEntity())
        if (e->isBomb())
            bomb = static_cast<Entity_Bomb*>(e);
    ASSERT_NE(bomb, nullptr);
    bomb->arm();
    play.harness.step(184);
    play.harness.hold(SDLK_RIGHT);
    play.harness.step(4);
    play.harness.releaseAll();
    play.harness.step(2);

    EXPECT_TRUE(level()->getTilemap()->getTile(CellPos{5, 3})->isExploding());
    EXPECT_EQ(Core::getGame()->getPlayer()->getDiamonds(), 1);
    EXPECT_EQ(level()->getParticles()->getParticles().size(), 4u);
    int falling = 0;
    for (Entity* e = level()->firstEntity(); e; e = level()->nextEntity())
        falling += e->isRock() && e->isMoving() && e->getDirection().dy == 1;
    EXPECT_EQ(falling, 3);
    EXPECT_FALSE(play.harness.saveScreenshot("busy-level").empty());
    // Once the blast has died down the freed rocks show on their way down.
    play.harness.step(22);
    EXPECT_FALSE(play.harness.saveScreenshot("busy-level-after-blast").empty());
}
