// Red and green ants: turn order, wall following, what blocks them, killing and being crushed.
#include "Core.h"
#include "Entity_Enemy.h"
#include "Entity_Player.h"
#include "Game.h"
#include "Harness.h"
#include "Level.h"
#include "Sprite.h"
#include "Tile.h"
#include "Tile_Empty.h"
#include "Tilemap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace
{
// A one-level game on the given grid rows, already in play.
class AntLevel
{
  public:
    explicit AntLevel(const std::vector<std::string>& rows) : harness(makeWorkDir(files(rows)))
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

std::vector<Entity_Enemy*> ants()
{
    std::vector<Entity_Enemy*> found;
    for (Entity* e = level()->firstEnemy(); e; e = level()->nextEnemy())
        found.push_back(static_cast<Entity_Enemy*>(e));
    return found;
}

bool sameCell(const CellPos& a, const CellPos& b)
{
    return a.x == b.x && a.y == b.y;
}

float centre(uint16_t cell)
{
    return cell * 64.0f + 32.0f;
}
} // namespace

TEST(AntTest, RedAntTurnsBackAtTheEndOfACorridor)
{
    AntLevel play({"######", "#e...#", "######", "#p####", "######"});
    Entity_Enemy* ant = ants().at(0);
    float furthest = 0.0f;
    for (int frame = 0; frame < 130; ++frame)
    {
        play.harness.step();
        furthest = std::max(furthest, ant->getPosition().x);
        ASSERT_EQ(ant->getCell().y, 1);
    }
    EXPECT_NEAR(furthest, centre(4), 0.01f);
    EXPECT_LT(ant->getPosition().x, centre(4) - 32.0f);
    EXPECT_EQ(ant->getDirection().dx, -1);
}

TEST(AntTest, BoxedInRedAntWaitsAndRetriesFromItsFormerRight)
{
    AntLevel play({"#####", "##+##", "#+e+#", "##+##", "#####", "#p###", "#####"});
    Entity_Enemy* ant = ants().at(0);
    play.harness.step();
    // Up, left, back and right all blocked: it stands on frame 0 and will start from right next time.
    EXPECT_EQ(ant->getHeading(), (Direction{1, 0}));
    EXPECT_EQ(ant->getDirection(), (Direction{0, 0}));
    EXPECT_EQ(ant->getSprite()->getFrame(), 0);
    EXPECT_EQ(ant->getSprite()->getAnimMode(), 0);
    play.harness.step(24);
    EXPECT_EQ(ant->getHeading(), (Direction{1, 0}));
    play.harness.step();
    EXPECT_EQ(ant->getHeading(), (Direction{0, 1}));

    // Open below (its straight on) and to the left (its right turn): straight on wins.
    Tilemap* tilemap = level()->getTilemap();
    tilemap->setTile(CellPos{2, 3}, new Tile_Empty());
    tilemap->setTile(CellPos{1, 2}, new Tile_Empty());
    play.harness.step(25);
    EXPECT_EQ(ant->getDirection(), (Direction{0, 1}));
    play.harness.step(5);
    EXPECT_GT(ant->getPosition().y, centre(2));
}

struct WallCase
{
    const char* name;
    std::vector<std::string> rows;
    std::vector<CellPos> path; // the cells the green ant passes, from its start
};

void PrintTo(const WallCase& c, std::ostream* os)
{
    *os << c.name;
}

class AntWallTest : public ::testing::TestWithParam<WallCase>
{
};

TEST_P(AntWallTest, GreenAntKeepsTheWallOnItsLeft)
{
    AntLevel play(GetParam().rows);
    Entity_Enemy* ant = ants().at(0);
    std::vector<CellPos> path{ant->getCell()};
    for (int frame = 0; frame < 8 * 25 + 10; ++frame)
    {
        play.harness.step();
        if (!sameCell(ant->getCell(), path.back()))
            path.push_back(ant->getCell());
    }
    ASSERT_EQ(path.size(), GetParam().path.size());
    for (size_t i = 0; i < path.size(); ++i)
    {
        EXPECT_EQ(path[i].x, GetParam().path[i].x) << i;
        EXPECT_EQ(path[i].y, GetParam().path[i].y) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Corners, AntWallTest,
    ::testing::Values(
        // Round a pillar: left turns at every outside corner.
        WallCase{"OutsideCorners",
                 {"#######", "#.....#", "#.#E..#", "#.....#", "#######", "#p#####", "#######"},
                 {{3, 2}, {3, 1}, {2, 1}, {1, 1}, {1, 2}, {1, 3}, {2, 3}, {3, 3}, {3, 2}}},
        // Along the inside of a room: right turns in every corner.
        WallCase{"InsideCorners",
                 {"#####", "#...#", "#...#", "#E..#", "#####", "#p###", "#####"},
                 {{1, 3}, {1, 2}, {1, 1}, {2, 1}, {3, 1}, {3, 2}, {3, 3}, {2, 3}, {1, 3}}}),
    [](const ::testing::TestParamInfo<WallCase>& info) { return std::string(info.param.name); });

class AntBlockTest : public ::testing::TestWithParam<char>
{
};

TEST_P(AntBlockTest, NothingButFreeCellsLetAnAntIn)
{
    // One pocket per blocker, each with an ant whose only way out is the blocker's cell:
    // sand, wall, closed door, exit, rock, box, diamond, apple, bomb, both keys, both ants.
    const std::string blockers = "+#1xrZbB*\"'eE";
    std::string pockets = "#";
    for (char blocker : blockers)
        pockets += std::string(1, GetParam()) + blocker + "#";
    const std::string walls(pockets.size(), '#');
    AntLevel play({walls, pockets, walls, "#p" + walls.substr(2), walls});

    std::vector<Entity_Enemy*> all = ants();
    std::vector<Vec2> starts;
    for (Entity_Enemy* ant : all)
        starts.push_back(ant->getPosition());
    for (int frame = 0; frame < 120; ++frame)
    {
        play.harness.step();
        for (size_t i = 0; i < all.size(); ++i)
        {
            ASSERT_FLOAT_EQ(all[i]->getPosition().x, starts[i].x) << "ant " << i << " frame " << frame;
            ASSERT_FLOAT_EQ(all[i]->getPosition().y, starts[i].y) << "ant " << i << " frame " << frame;
        }
    }
    EXPECT_FALSE(player()->isDead());
}

INSTANTIATE_TEST_SUITE_P(Kinds, AntBlockTest, ::testing::Values('e', 'E'),
                         [](const ::testing::TestParamInfo<char>& info)
                         { return std::string(info.param == 'e' ? "Red" : "Green"); });

TEST(AntTest, AntTurningBackMidStepEndsOnItsStartCentre)
{
    // The two ants walk towards the same cell and both turn back early in their step.
    AntLevel play({"#####", "#e.e#", "#####", "#p###", "#####"});
    Entity_Enemy* left = ants().at(0);
    Entity_Enemy* right = ants().at(1);
    float furthest = 0.0f;
    float backLeft = 1000.0f;
    float backRight = 0.0f;
    bool turned = false;
    for (int frame = 0; frame < 40; ++frame)
    {
        play.harness.step();
        furthest = std::max(furthest, left->getPosition().x);
        turned = turned || left->getDirection().dx < 0;
        if (turned)
        {
            backLeft = std::min(backLeft, left->getPosition().x);
            backRight = std::max(backRight, right->getPosition().x);
        }
    }
    ASSERT_TRUE(turned);
    EXPECT_LT(furthest, centre(2) - 16.0f);
    EXPECT_NEAR(backLeft, centre(1), 0.01f);
    EXPECT_NEAR(backRight, centre(3), 0.01f);
}

struct ContactCase
{
    const char* name;
    std::vector<std::string> rows;
    bool dies;
};

void PrintTo(const ContactCase& c, std::ostream* os)
{
    *os << c.name;
}

class AntContactTest : public ::testing::TestWithParam<ContactCase>
{
};

TEST_P(AntContactTest, PlayerBesideAnAntDiesAtOnce)
{
    AntLevel play(GetParam().rows);
    play.harness.step();
    EXPECT_EQ(player()->isDead(), GetParam().dies);
    play.harness.step(30);
    EXPECT_EQ(player()->isDead(), GetParam().dies);
}

INSTANTIATE_TEST_SUITE_P(
    Neighbours, AntContactTest,
    ::testing::Values(ContactCase{"RedBeside", {"#####", "#pe##", "#####"}, true},
                      ContactCase{"GreenBelow", {"#####", "#p###", "#E###", "#####"}, true},
                      ContactCase{"RedDiagonal", {"#####", "#p###", "##e##", "#####"}, false},
                      ContactCase{"GreenDiagonal", {"#####", "#p###", "##E##", "#####"}, false}),
    [](const ::testing::TestParamInfo<ContactCase>& info) { return std::string(info.param.name); });

struct AnimationCase
{
    const char* name;
    std::vector<std::string> rows;
};

void PrintTo(const AnimationCase& c, std::ostream* os)
{
    *os << c.name;
}

class AntAnimationTest : public ::testing::TestWithParam<AnimationCase>
{
};

TEST_P(AntAnimationTest, TheWalkMatchesTheDirection)
{
    // Up and down there and back, or right and left: each way has its frames, left is mirrored.
    AntLevel play(GetParam().rows);
    Entity_Enemy* ant = ants().at(0);
    int ways = 0;
    Direction last{0, 0};
    for (int frame = 0; frame < 110; ++frame)
    {
        play.harness.step();
        const Direction d = ant->getDirection();
        const Sprite* sprite = ant->getSprite();
        const int first = d.dx != 0 ? 0 : (d.dy > 0 ? 24 : 12);
        ASSERT_NE(d, (Direction{0, 0}));
        ASSERT_GE(sprite->getFrame(), first) << "frame " << frame;
        ASSERT_LE(sprite->getFrame(), first + 11) << "frame " << frame;
        ASSERT_EQ(sprite->getFlip(), d.dx < 0 ? 1 : 0) << "frame " << frame;
        ASSERT_EQ(sprite->getAnimMode(), 2);
        ways += d != last;
        last = d;
    }
    EXPECT_GE(ways, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, AntAnimationTest,
    ::testing::Values(AnimationCase{"Across", {"######", "#e...#", "######", "#p####", "######"}},
                      AnimationCase{"UpAndDown", {"###", "#.#", "#.#", "#e#", "###", "#p#", "###"}}),
    [](const ::testing::TestParamInfo<AnimationCase>& info) { return std::string(info.param.name); });

TEST(AntTest, RockOnAnAntGivesAKillBonusAndABlast)
{
    // The ant sits between round walls; the rock drops onto it from two cells up.
    AntLevel play({"#####", "##r##", "##.##", "#OeO#", "##O##", "#####", "#p###", "#####"});
    for (int frame = 0; frame < 60 && !ants().empty(); ++frame)
        play.harness.step();
    ASSERT_TRUE(ants().empty());
    Game* game = Core::getGame();
    EXPECT_EQ(game->getMessageText(), "kill bonus!");
    EXPECT_GE(game->getMessageFrames(), 119);
    EXPECT_EQ(player()->getScore(), 100);
    EXPECT_EQ(player()->getEnemiesKilled(), 1u);
    EXPECT_FALSE(player()->isDead());
    Tilemap* tilemap = level()->getTilemap();
    for (const CellPos& cell : {CellPos{1, 3}, CellPos{3, 3}, CellPos{2, 4}})
        EXPECT_FALSE(tilemap->getTile(cell)->isSolid()) << cell.x << "," << cell.y;
    EXPECT_TRUE(tilemap->getTile(CellPos{0, 3})->isSolid());
    EXPECT_TRUE(tilemap->getTile(CellPos{2, 3})->isExploding());
}
