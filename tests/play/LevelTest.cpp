#include "Level.h"
#include "Core.h"
#include "Device.h"
#include "Entity.h"
#include "Entity_Player.h"
#include "Game.h"
#include "Harness.h"

#include <gtest/gtest.h>

namespace
{

const char* const roomLevel = "6 4\ntileset1\nm.ogg\n######\n#p.BB#\n#....#\n######\n0\n";

class LevelStep : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        harness.reset(new Harness(
            makeWorkDir({{"levels.ini", "levels/easy/room.txt\n"}, {"levels/easy/room.txt", roomLevel}})));
        ASSERT_EQ(harness->initResult(), 0);
        game = Core::getGame();
        game->initLevel(0);
        game->setState(2, true);
        harness->step();
        level = game->getLevel();
    }

    std::unique_ptr<Harness> harness;
    Game* game = nullptr;
    Level* level = nullptr;
};

TEST_F(LevelStep, AThingScheduledTwiceIsDeletedOnceAtTheEndOfTheStepAndThePlayerNever)
{
    ASSERT_EQ(level->getEntityCount(), 2u);
    Entity* apple = level->firstEntity();
    level->scheduleRemoval(apple);
    level->scheduleRemoval(apple);
    level->scheduleRemoval(game->getPlayer());
    EXPECT_EQ(level->getEntityCount(), 2u);
    harness->step();
    EXPECT_EQ(level->getEntityCount(), 1u);
    EXPECT_NE(level->firstEntity(), apple);
    EXPECT_FALSE(game->getPlayer()->isDead());
    harness->step(2);
    EXPECT_EQ(level->getEntityCount(), 1u);
}

TEST_F(LevelStep, TheOverviewKeyOpensTheOverviewOnlyWhileThePlayerLives)
{
    game->getPlayer()->die(false);
    harness->press(SDLK_m);
    harness->step();
    EXPECT_EQ(game->getState(), 2);
    // The press was left for another reader.
    EXPECT_TRUE(Core::getDevice()->wasKeyPressed(SDLK_m));

    game->initLevel(0);
    game->setState(2, true);
    harness->step();
    harness->press(SDLK_m);
    harness->step();
    EXPECT_EQ(game->getState(), 3);
}

TEST_F(LevelStep, TheLoadedFlagHoldsOnlyForTheFirstUpdateAfterALoad)
{
    EXPECT_FALSE(level->isLoaded());
    level->load(0, "levels/easy/room.txt", false);
    EXPECT_TRUE(level->isLoaded());
    harness->step();
    EXPECT_FALSE(level->isLoaded());
}

} // namespace
