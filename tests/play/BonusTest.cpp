// Collecting diamonds, apples, keys and bombs, and the burst of particles a pickup leaves.
#include "Core.h"
#include "Entity.h"
#include "Entity_Player.h"
#include "Game.h"
#include "Harness.h"
#include "Level.h"
#include "ParticleManager.h"
#include "Particle_Apple.h"
#include "Particle_BonusStar.h"
#include "Sprite.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace
{
// A one-level game on the given grid rows, already in play.
class BonusLevel
{
  public:
    explicit BonusLevel(const std::vector<std::string>& rows) : harness(makeWorkDir(files(rows)))
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

// Moves a resting thing along the row without leaving stale tile entries behind.
void moveTo(Entity* thing, float x)
{
    thing->removeFromCells();
    thing->setPosition(Vec2{x, thing->getPosition().y});
    thing->addToCells();
}
} // namespace

struct ReachCase
{
    const char* name;
    float distance;
    bool playerDead;
    bool collected;
};

void PrintTo(const ReachCase& c, std::ostream* os)
{
    *os << c.name;
}

class BonusReachTest : public ::testing::TestWithParam<ReachCase>
{
};

TEST_P(BonusReachTest, CollectedOnlyWithin60PxOfTheLivePlayer)
{
    // The player stands at x 96; the diamond rests on the wall row.
    BonusLevel play({"#####", "#p.b#", "#####"});
    Entity* diamond = level()->firstEntity();
    ASSERT_NE(diamond, nullptr);
    moveTo(diamond, 96.0f + GetParam().distance);
    if (GetParam().playerDead)
        player()->die(false);
    play.harness.step();
    EXPECT_EQ(player()->getDiamonds(), GetParam().collected ? 1 : 0);
    EXPECT_EQ(level()->getEntityCount(), GetParam().collected ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Distances, BonusReachTest,
                         ::testing::Values(ReachCase{"At60", 60.0f, false, true},
                                           ReachCase{"At60Point5", 60.5f, false, false},
                                           ReachCase{"DeadPlayerAt40", 40.0f, true, false}),
                         [](const ::testing::TestParamInfo<ReachCase>& info)
                         { return std::string(info.param.name); });

struct BurstCase
{
    const char* name;
    char thing;
    int appleGlows;
};

void PrintTo(const BurstCase& c, std::ostream* os)
{
    *os << c.name;
}

class BonusBurstTest : public ::testing::TestWithParam<BurstCase>
{
};

TEST_P(BonusBurstTest, PickupLeavesOneGlowAndThreeStars)
{
    // The player walks right into the bonus's cell.
    BonusLevel play({"#####", std::string("#p") + GetParam().thing + ".#", "#####"});
    play.harness.hold(SDLK_RIGHT);
    for (int frame = 0; frame < 20 && level()->getEntityCount() > 0; ++frame)
        play.harness.step();
    ASSERT_EQ(level()->getEntityCount(), 0u);

    int glows = 0, appleGlows = 0, stars = 0;
    for (Particle* particle : level()->getParticles()->getParticles())
    {
        glows += dynamic_cast<Particle_Bonus*>(particle) != nullptr;
        appleGlows += dynamic_cast<Particle_Apple*>(particle) != nullptr;
        stars += dynamic_cast<Particle_BonusStar*>(particle) != nullptr;
    }
    EXPECT_EQ(glows, 1);
    EXPECT_EQ(appleGlows, GetParam().appleGlows);
    EXPECT_EQ(stars, 3);
    EXPECT_EQ(level()->getParticles()->getParticles().size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, BonusBurstTest,
                         ::testing::Values(BurstCase{"Diamond", 'b', 0}, BurstCase{"Apple", 'B', 1},
                                           BurstCase{"Key", '"', 0}, BurstCase{"Bomb", '*', 0}),
                         [](const ::testing::TestParamInfo<BurstCase>& info)
                         { return std::string(info.param.name); });

TEST(BonusTest, EachKindCountsForThePlayer)
{
    BonusLevel play({"########", "#pb\"'*B#", "########"});
    play.harness.hold(SDLK_RIGHT);
    play.harness.step(90);
    EXPECT_EQ(level()->getEntityCount(), 0u);
    EXPECT_EQ(player()->getDiamonds(), 1);
    EXPECT_EQ(player()->getKeys(0), 1);
    EXPECT_EQ(player()->getKeys(1), 1);
    EXPECT_EQ(player()->getBombs(), 1);
    EXPECT_EQ(player()->getApplesCollected(), 1u);
    EXPECT_EQ(player()->getScore(), 25 + 20 + 20 + 20 + 20);
}

TEST(BonusTest, FallingDiamondCrushesThePlayerInsteadOfBeingCollected)
{
    // It crushes like a rock: the player is dead before the diamond comes within 60 px.
    BonusLevel play({"###", "#b#", "#.#", "#p#", "###"});
    Entity* diamond = level()->firstEntity();
    ASSERT_NE(diamond, nullptr);
    play.harness.step(30);
    EXPECT_TRUE(player()->isDead());
    EXPECT_EQ(player()->getDiamonds(), 0);
    // Bonuses outlast the blast.
    EXPECT_EQ(level()->getEntityCount(), 1u);
}

TEST(BonusTest, DiamondsStartTheirSparkleOnDifferentFrames)
{
    BonusLevel play({"##########", "#bbbbbbbb#", "#p.......#", "##########"});
    std::set<uint16_t> frames;
    for (Entity* e = level()->firstEntity(); e; e = level()->nextEntity())
    {
        EXPECT_LE(e->getSprite()->getFrame(), 7);
        frames.insert(e->getSprite()->getFrame());
    }
    EXPECT_GT(frames.size(), 1u);
}
