// The game-over screen: its entry selection, the arrows and their sounds, replaying the level
// from its file, and the level's own keys behind it.
#include "AudioDriver.h"
#include "Core.h"
#include "Entity_Player.h"
#include "Game.h"
#include "GameOver.h"
#include "Harness.h"
#include "Level.h"
#include "Sound.h"
#include "SoundProbe.h"

#include <SDL/SDL_mixer.h>
#include <gtest/gtest.h>

namespace
{

// A diamond right of the player, to see whether a replay puts it back.
const char* const LEVEL = "7 3\ntileset1\nm.ogg\n#######\n#pb...#\n#######\n0\n";

// A level in which the player has taken the diamond and died: the game-over screen is up.
struct Lost
{
    Harness harness;
    Game* game;
    GameOver* screen;
    Entity_Player* player;
    Mix_Chunk* stepChunk;

    Lost()
        : harness(makeWorkDir({{"levels.ini", "levels/easy/lost.txt\n"}, {"levels/easy/lost.txt", LEVEL}})),
          game(Core::getGame()), screen(game->getGameOver()), player(game->getPlayer()), stepChunk(nullptr)
    {
        game->initLevel(0);
        game->setState(2, true);
        harness.step(100); // past the start-up fade, so the pictures show the screen itself
        harness.hold(SDLK_RIGHT);
        for (int i = 0; i < 40 && player->getDiamonds() == 0; ++i)
        {
            harness.step();
        }
        harness.releaseAll();
        player->die(true);
        for (int i = 0; i < 60 && game->getState() == 2; ++i)
        {
            harness.step();
        }
        stepChunk = chunkOf("sounds/menu_step.wav");
    }

    int pressAndCountSteps(std::initializer_list<SDLKey> keys)
    {
        MixerHold still;
        for (SDLKey key : keys)
        {
            harness.press(key);
        }
        harness.step();
        const int count = playingCount(stepChunk);
        Mix_HaltChannel(-1);
        return count;
    }
};

TEST(GameOver, EveryEntrySelectsReplayLevel)
{
    Lost lost;
    ASSERT_EQ(lost.game->getState(), 8);
    ASSERT_EQ(lost.player->getDiamonds(), 1);
    EXPECT_EQ(lost.screen->getSelection(), 1);
    EXPECT_EQ(lost.pressAndCountSteps({SDLK_LEFT}), 1);
    EXPECT_EQ(lost.screen->getSelection(), 0);
    lost.harness.step(20);
    lost.harness.drawFrame();
    lost.harness.saveScreenshot("gameover_submit_selected");

    lost.game->setState(8, true);
    EXPECT_EQ(lost.screen->getSelection(), 1);
    lost.game->setState(8, false);
    EXPECT_EQ(lost.screen->getSelection(), 1);
}

TEST(GameOver, LeftAndRightInOneFrameEndOnReplayWithTwoStepSounds)
{
    Lost lost;
    ASSERT_EQ(lost.game->getState(), 8);
    EXPECT_EQ(lost.pressAndCountSteps({SDLK_RIGHT}), 0) << "already on replay level";
    EXPECT_EQ(lost.pressAndCountSteps({SDLK_LEFT, SDLK_RIGHT}), 2);
    EXPECT_EQ(lost.screen->getSelection(), 1);
}

TEST(GameOver, ReplayLevelStartsTheLevelAgainFromItsFile)
{
    Lost lost;
    ASSERT_EQ(lost.game->getState(), 8);
    ASSERT_EQ(lost.game->getLevel()->getEntityCount(), 0u) << "the diamond was taken";
    lost.harness.step(30); // the dying animation goes on behind the screen
    lost.harness.drawFrame();
    lost.harness.saveScreenshot("gameover");

    lost.harness.press(SDLK_RETURN);
    lost.harness.step();
    EXPECT_EQ(lost.game->getState(), 2);
    EXPECT_FALSE(lost.player->isDead());
    EXPECT_EQ(lost.player->getDiamonds(), 0);
    EXPECT_EQ(lost.game->getLevel()->getEntityCount(), 1u);
    EXPECT_EQ(lost.game->getDeathDelay(), 0);
    EXPECT_EQ(lost.player->getCell().x, 1);
}

TEST(GameOver, TheLevelsEscapeStaysLiveBehindTheScreen)
{
    Lost lost;
    ASSERT_EQ(lost.game->getState(), 8);
    lost.harness.press(SDLK_ESCAPE);
    lost.harness.step();
    EXPECT_EQ(lost.game->getState(), 1);
}

} // namespace
