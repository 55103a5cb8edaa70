// The level statistics: the chain of lines, counting in tens with its sounds and pauses, the
// apple meter drained, the skip with Enter, the buttons, and the credits after the last level.
#include "LevelStat.h"
#include "AudioDriver.h"
#include "Core.h"
#include "Credits.h"
#include "Entity_Apple.h"
#include "Entity_Diamond.h"
#include "Entity_Player.h"
#include "FileSizeLimit.h"
#include "Game.h"
#include "Harness.h"
#include "Level.h"
#include "Sound.h"
#include "SoundProbe.h"
#include "UserManager.h"

#include <SDL/SDL_mixer.h>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace
{

const char* const LEVEL = "7 3\ntileset1\nm.ogg\n#######\n#p...x#\n#######\n0\n";

// What one step of the screen showed and sounded.
struct Frame
{
    int stepSounds;
    int enterSounds;
    int32_t counts[4]; // diamond, apple, thing, kill
    uint16_t meter;
};

struct Statistics
{
    Harness harness;
    Game* game;
    LevelStat* stat;
    Entity_Player* player;
    Mix_Chunk* stepChunk;
    Mix_Chunk* enterChunk;

    explicit Statistics(int firstLevel = 0, const std::string& level = LEVEL)
        : harness(makeWorkDir({{"levels.ini", "levels/easy/one.txt\nlevels/easy/two.txt\n"},
                               {"levels/easy/one.txt", level},
                               {"levels/easy/two.txt", level},
                               {"credits.txt", "QUARROW\n\nmade by\nthe quarrow team\n"}})),
          game(Core::getGame()), stat(game->getLevelStat()), player(game->getPlayer()), stepChunk(nullptr),
          enterChunk(nullptr)
    {
        game->initLevel(firstLevel);
        game->setState(2, true);
        harness.step(100); // past the start-up fade, so the pictures show the screen itself
        stepChunk = chunkOf("sounds/menu_step.wav");
        enterChunk = chunkOf("sounds/menu_enter.wav");
    }

    // The player's counters as a finished level leaves them.
    void collect(int diamonds, int apples, int meter)
    {
        for (int i = 0; i < diamonds; ++i)
        {
            Entity_Diamond diamond;
            player->collect(&diamond);
        }
        for (int i = 0; i < apples; ++i)
        {
            Entity_Apple apple;
            player->collect(&apple);
        }
        while (player->getApples() > meter)
        {
            player->drainApples();
        }
        ASSERT_EQ(player->getApples(), meter);
    }

    Frame step()
    {
        MixerHold still;
        harness.step();
        Frame frame{
            playingCount(stepChunk),
            playingCount(enterChunk),
            {stat->getDiamondCount(), stat->getAppleCount(), stat->getThingCount(), stat->getKillCount()},
            player->getApples()};
        Mix_HaltChannel(-1);
        return frame;
    }

    std::vector<Frame> run(int frames)
    {
        std::vector<Frame> out;
        for (int i = 0; i < frames; ++i)
        {
            out.push_back(step());
        }
        return out;
    }

    bool finished() const { return stat->getKillCount() == stat->getKillTarget() && stat->getPause() == 0; }
};

std::vector<int> framesWith(const std::vector<Frame>& frames, int Frame::*sounds)
{
    std::vector<int> at;
    for (size_t i = 0; i < frames.size(); ++i)
    {
        for (int n = 0; n < frames[i].*sounds; ++n)
        {
            at.push_back(static_cast<int>(i));
        }
    }
    return at;
}

TEST(LevelStat, AnEmptyLevelEndsThreeZeroLinesWithTheEnterSoundAndAPauseEach)
{
    Statistics s;
    s.collect(0, 0, 0);
    s.game->levelCompleted();
    EXPECT_EQ(s.game->getState(), 4);
    EXPECT_EQ(s.stat->getLevelTotal(), 0);
    EXPECT_EQ(s.stat->getDiamondCount(), 0) << "the diamond line is complete at once";
    EXPECT_EQ(s.stat->getAppleCount(), -1);

    const std::vector<Frame> frames = s.run(260);
    // Heading in after 33 frames; each line starts when the one above is at 0.76 (its 19th step)
    // and is in after 25: the kill line is in at frame 33 + 3 * 18 + 25 = 112 (index 111).
    const std::vector<int> enters = framesWith(frames, &Frame::enterSounds);
    EXPECT_EQ(enters, (std::vector<int>{111, 141, 171, 200}));
    EXPECT_TRUE(framesWith(frames, &Frame::stepSounds).empty());
    EXPECT_EQ(frames[110].counts[1], -1);
    EXPECT_EQ(frames[111].counts[1], 0);
    EXPECT_EQ(frames[140].counts[2], -1);
    EXPECT_EQ(frames[141].counts[2], 0);
    EXPECT_EQ(frames[171].counts[3], 0);
    EXPECT_TRUE(s.finished());
    EXPECT_EQ(s.stat->getTotal(), 0);
    EXPECT_EQ(s.stat->getSelection(), 1);
    EXPECT_EQ(s.game->getState(), 4);
    s.harness.drawFrame();
    s.harness.saveScreenshot("levelstat_empty_level_end");
}

TEST(LevelStat, ThreeDiamondsCountInTensToSeventyFiveWithTheStepSoundAtFifty)
{
    Statistics s;
    s.collect(3, 0, 0);
    s.game->levelCompleted();
    EXPECT_EQ(s.stat->getDiamondTarget(), 75);
    EXPECT_EQ(s.stat->getLevelTotal(), 75);

    const std::vector<Frame> frames = s.run(130);
    std::vector<int32_t> shown;
    for (const Frame& f : frames)
    {
        if (shown.empty() || shown.back() != f.counts[0])
        {
            shown.push_back(f.counts[0]);
        }
    }
    EXPECT_EQ(shown, (std::vector<int32_t>{0, 10, 20, 30, 40, 50, 60, 70, 75}));
    const std::vector<int> steps = framesWith(frames, &Frame::stepSounds);
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(frames[steps[0]].counts[0], 50);
    const std::vector<int> enters = framesWith(frames, &Frame::enterSounds);
    ASSERT_FALSE(enters.empty());
    EXPECT_EQ(frames[enters[0]].counts[0], 75);
    EXPECT_EQ(enters[0], 111 + 7);

    s.harness.drawFrame();
    s.harness.saveScreenshot("levelstat_diamonds_counted");
}

TEST(LevelStat, ApplesPastTheCollectedOnesDrainTheMeterToNothing)
{
    Statistics s;
    s.collect(0, 2, 30);
    s.game->levelCompleted();
    EXPECT_EQ(s.stat->getAppleTarget(), 100);

    const std::vector<Frame> frames = s.run(140);
    int32_t lastCount = -1;
    for (const Frame& f : frames)
    {
        const int32_t count = f.counts[1];
        if (count != lastCount && count > 0)
        {
            // 40 points come from the two apples; each 10 beyond takes 5 units of the meter.
            const int expected = count <= 40 ? 30 : 30 - (count - 40) / 2;
            EXPECT_EQ(f.meter, expected) << "at " << count;
        }
        lastCount = count;
    }
    EXPECT_EQ(lastCount, 100);
    EXPECT_EQ(frames.back().meter, 0);
}

TEST(LevelStat, EnterWhileTheHeadingFadesSkipsToTheEndWithoutChoosingAButton)
{
    Statistics s;
    s.collect(3, 2, 30);
    s.game->levelCompleted();
    s.run(5);
    ASSERT_LT(s.stat->getFade(), 1.0f);

    s.harness.press(SDLK_RETURN);
    const Frame skipped = s.step();
    EXPECT_EQ(skipped.enterSounds, 1);
    EXPECT_EQ(skipped.stepSounds, 0);
    EXPECT_EQ(skipped.counts[0], 75);
    EXPECT_EQ(skipped.counts[1], 100);
    EXPECT_EQ(skipped.counts[2], 0);
    EXPECT_EQ(skipped.counts[3], 0);
    EXPECT_EQ(skipped.meter, 0);
    EXPECT_TRUE(s.finished());
    EXPECT_EQ(s.game->getState(), 4) << "the skipping Enter chose no button";
    EXPECT_EQ(s.stat->getLevelTotal(), 175);
    s.harness.drawFrame();
    s.harness.saveScreenshot("levelstat_skipped_during_fade");

    // The buttons answer from now on; both arrows in one frame end on "next level".
    s.harness.press(SDLK_LEFT);
    EXPECT_EQ(s.step().stepSounds, 1);
    EXPECT_EQ(s.stat->getSelection(), 0);
    s.harness.press(SDLK_LEFT);
    EXPECT_EQ(s.step().stepSounds, 0) << "already on submit score";
    s.harness.press(SDLK_LEFT);
    s.harness.press(SDLK_RIGHT);
    EXPECT_EQ(s.step().stepSounds, 1);
    EXPECT_EQ(s.stat->getSelection(), 1);

    s.run(40);
    s.harness.drawFrame();
    s.harness.saveScreenshot("levelstat_end");
    s.harness.press(SDLK_RETURN);
    s.step();
    EXPECT_EQ(s.game->getState(), 2);
    EXPECT_EQ(s.game->getLevel()->getCurrentLevel(), 1u);
    EXPECT_FALSE(s.game->isLevelCompleted());
}

// The mixer volume (0 to 128) of a channel.
int volumeOf(int channel)
{
    return Mix_Volume(channel, -1);
}

// The channel that plays chunk, or -1.
int channelOf(Mix_Chunk* chunk)
{
    for (int i = 0; i < AudioDriver::CHANNEL_COUNT; ++i)
    {
        if (Mix_Playing(i) && Mix_GetChunk(i) == chunk)
        {
            return i;
        }
    }
    return -1;
}

TEST(LevelStat, TheJingleStandsInForTheLevelMusicUntilTheEnd)
{
    Statistics s(0, "7 3\ntileset1\nlevel1.ogg\n#######\n#p...x#\n#######\n0\n");
    Mix_Chunk* jingle = chunkOf("music/Completed.mp3");
    s.harness.step(); // the music, halted while the chunks were read, starts again
    int music = -1;
    {
        MixerHold still;
        for (int i = 0; i < AudioDriver::CHANNEL_COUNT && music < 0; ++i)
        {
            music = Mix_Playing(i) ? i : -1;
        }
    }
    ASSERT_GE(music, 0) << "the level's music";
    const float musicVolume = Core::getAudioDriver()->getMusicVolume();
    const int full = static_cast<int>(std::lround(musicVolume * 128));
    ASSERT_GT(full, 0);
    EXPECT_EQ(volumeOf(music), full);

    s.collect(3, 0, 0);
    s.game->levelCompleted();
    s.harness.step();
    const int jingleChannel = channelOf(jingle);
    ASSERT_GE(jingleChannel, 0);
    EXPECT_NE(jingleChannel, music);
    EXPECT_EQ(volumeOf(jingleChannel), full) << "at the music volume, not the sound volume";
    s.harness.step(10);
    EXPECT_LT(volumeOf(music), full) << "the level music fades out";

    // The skip silences the jingle and brings the music back from nothing.
    s.harness.press(SDLK_RETURN);
    s.harness.step();
    EXPECT_EQ(volumeOf(jingleChannel), 0);
    EXPECT_LE(volumeOf(music), 1);
    s.harness.step(50);
    EXPECT_GT(volumeOf(music), 0);
    EXPECT_LT(volumeOf(music), full);
    s.harness.step(60);
    EXPECT_EQ(volumeOf(music), full);
    EXPECT_EQ(Core::getAudioDriver()->getMusicVolume(), musicVolume);
}

TEST(LevelStat, NextLevelAfterTheLastLevelShowsTheCredits)
{
    Statistics s(1);
    s.collect(0, 0, 0);
    s.game->levelCompleted();
    s.harness.press(SDLK_RETURN);
    s.step();
    ASSERT_TRUE(s.finished());
    s.harness.press(SDLK_RETURN);
    s.step();
    EXPECT_EQ(s.game->getState(), 7);
    EXPECT_TRUE(s.game->isGameFinished());
    EXPECT_EQ(s.game->getCredits()->getLines().size(), 5u);
    s.run(3);
    s.harness.saveScreenshot("credits_after_last_level");
}

// A full disk at the end of a level: the screen says under its buttons that the profile was not
// saved, while the new best score and the opened level still count for the rest of the run. The
// next save that works clears it.
TEST(LevelStat, AProfileThatCannotBeSavedIsSaidUnderTheButtons)
{
    Statistics s;
    UserManager* users = s.game->getUserManager();
    const std::string profile = s.harness.appData() + "user_.ini";
    long underButtons[2] = {0, 0};
    for (const bool full : {true, false})
    {
        SCOPED_TRACE(full ? "disk full" : "room again");
        s.collect(2, 0, 0);
        {
            const std::unique_ptr<FileSizeLimit> limit(full ? new FileSizeLimit(0) : nullptr);
            s.game->levelCompleted();
        }
        EXPECT_EQ(s.stat->isSaveFailed(), full);
        EXPECT_EQ(access(profile.c_str(), F_OK) == 0, !full);
        EXPECT_EQ(users->getScore(0), s.stat->getLevelTotal());
        EXPECT_EQ(users->getReachedLevel(), 1);

        s.harness.press(SDLK_RETURN); // to the end at once
        s.step();
        ASSERT_TRUE(s.finished());
        s.run(40); // the heading, and with it the lines, all in
        s.harness.drawFrame();
        underButtons[full ? 1 : 0] = s.harness.brightness(296, 652, 888, 724);
        EXPECT_FALSE(s.harness.saveScreenshot(full ? "levelstat_not_saved" : "levelstat_saved").empty());
    }
    EXPECT_GT(underButtons[1], underButtons[0] + 100000);
}

} // namespace
