// The shipped level set: every entry of levels.ini is in one difficulty and loads cleanly, and a
// solution recorded by playing completes each level with the level total counted back then.
#include "Core.h"
#include "Entity_Player.h"
#include "Game.h"
#include "Harness.h"
#include "Level.h"
#include "LevelSetTestReplay.h"
#include "LevelStat.h"
#include "TestEnv.h"
#include "Tilemap.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{

const std::string dataDir = std::string(QUARROW_DATA_DIR) + "/";

std::vector<std::string> levelList()
{
    std::vector<std::string> files;
    std::ifstream list((dataDir + "levels.ini").c_str());
    std::string word;
    while (list >> word)
    {
        if (word.size() > 2)
        {
            files.push_back(word);
        }
    }
    return files;
}

// 0 tutorial, 1 easy, 2 normal, 3 hard, -1 none; the menu tests the folders in this order.
int difficultyOf(const std::string& file)
{
    const char* folders[] = {"/tutorial/", "/easy/", "/normal/", "/hard/"};
    for (int i = 0; i < 4; ++i)
    {
        if (file.find(folders[i]) != std::string::npos)
        {
            return i;
        }
    }
    return -1;
}

std::string baseName(const std::string& file)
{
    const size_t slash = file.rfind('/');
    const std::string name = file.substr(slash + 1);
    return name.substr(0, name.rfind('.'));
}

bool exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// The whole shipped set in a fresh working folder (with the build's pictures, sounds and music and
// a hashes.ini for the set), started at the menu.
std::map<std::string, std::string> shippedFiles()
{
    std::map<std::string, std::string> files = {{"levels.ini", readFile(dataDir + "levels.ini")}};
    for (const std::string& level : levelList())
    {
        files[level] = readFile(dataDir + level);
    }
    return files;
}

void startLevel(int index)
{
    Core::getGame()->initLevel(index);
    Core::getGame()->setState(2, true);
}

} // namespace

TEST(LevelSet, EveryEntryIsInOneDifficultyInPlayingOrder)
{
    const std::vector<std::string> files = levelList();
    int counts[4] = {0, 0, 0, 0};
    int previous = 0;
    for (const std::string& file : files)
    {
        const int difficulty = difficultyOf(file);
        ASSERT_GE(difficulty, 0) << file;
        EXPECT_GE(difficulty, previous) << file << " comes after a harder level";
        previous = difficulty;
        ++counts[difficulty];
        EXPECT_NE(Game::levelNameFromFile(file), "") << file;
    }
    EXPECT_GE(counts[0], 4);
    EXPECT_GE(counts[1], 6);
    EXPECT_GE(counts[2], 6);
    EXPECT_GE(counts[3], 6);
}

TEST(LevelSet, EveryLevelLoadsWithItsTilesetAndTuneAndNoErrorLine)
{
    Harness harness(makeWorkDir(shippedFiles()));
    ASSERT_EQ(harness.initResult(), 0);
    const std::vector<std::string> files = levelList();
    for (size_t i = 0; i < files.size(); ++i)
    {
        SCOPED_TRACE(files[i]);
        startLevel(static_cast<int>(i));
        harness.step(2);
        Level* level = Core::getGame()->getLevel();
        EXPECT_EQ(level->getCurrentLevel(), i);
        EXPECT_TRUE(exists(dataDir + "textures/" + level->getTileset() + "/tileset.png"))
            << level->getTileset();
        EXPECT_TRUE(exists(dataDir + "music/" + level->getMusic())) << level->getMusic();
        EXPECT_GT(level->getDiamondCount(), 0);
        EXPECT_LE(level->getTilemap()->getWidth(), 128);
        EXPECT_LE(level->getTilemap()->getHeight(), 128);
        EXPECT_TRUE(Core::isRunning());
    }
    const std::string log = harness.logText();
    for (const char* bad : {"error", "Error", "can't", "hasn't", "not loaded", "wrong", "missing"})
    {
        EXPECT_EQ(log.find(bad), std::string::npos) << bad << " in the log:\n" << log;
    }
}

class LevelSetReplay : public ::testing::TestWithParam<int>
{
};

// Plays the recorded keys from the start of the level; the exit must be reached in the last step.
TEST_P(LevelSetReplay, RecordedSolutionCompletesTheLevel)
{
    const int index = GetParam();
    const std::string file = levelList().at(index);
    const std::string solutionPath =
        std::string(QUARROW_TEST_DIR) + "/play/solutions/" + baseName(file) + ".txt";
    const levelset::Solution solution = levelset::parseSolution(readFile(solutionPath));
    ASSERT_EQ(solution.error, "") << solutionPath;
    ASSERT_FALSE(solution.runs.empty()) << solutionPath;
    ASSERT_GE(solution.total, 0) << solutionPath;

    Harness harness(makeWorkDir(shippedFiles()));
    ASSERT_EQ(harness.initResult(), 0);
    startLevel(index);
    Game* game = Core::getGame();
    Entity_Player* player = game->getPlayer();
    long step = 0;
    for (const levelset::Run& run : solution.runs)
    {
        for (int i = 0; i < run.steps; ++i)
        {
            ASSERT_FALSE(game->isLevelCompleted()) << "completed early, before step " << step;
            levelset::playStep(run.keys);
            ++step;
            ASSERT_TRUE(Core::isRunning()) << harness.logText();
            ASSERT_FALSE(player->isDead()) << "died in step " << step << " at cell " << player->getCell().x
                                           << "," << player->getCell().y;
        }
    }
    ASSERT_TRUE(game->isLevelCompleted()) << "not at the exit after " << step << " steps, player at cell "
                                          << player->getCell().x << "," << player->getCell().y;
    EXPECT_EQ(game->getState(), 4);
    EXPECT_EQ(player->getDiamonds(), game->getLevel()->getDiamondCount());
    EXPECT_EQ(game->getLevelStat()->getLevelTotal(), solution.total);
}

INSTANTIATE_TEST_SUITE_P(Shipped, LevelSetReplay, ::testing::Range(0, static_cast<int>(levelList().size())),
                         [](const ::testing::TestParamInfo<int>& info)
                         {
                             std::string name = baseName(levelList().at(info.param));
                             return std::to_string(info.param) + "_" + name;
                         });

class LevelSetPicture : public ::testing::TestWithParam<int>
{
};

// The start of each level and its overview, saved for review under the build's screenshots/.
TEST_P(LevelSetPicture, StartAndOverview)
{
    const int index = GetParam();
    const std::string name = std::to_string(index) + "_" + baseName(levelList().at(index));
    Harness harness(makeWorkDir(shippedFiles()));
    ASSERT_EQ(harness.initResult(), 0);
    startLevel(index);
    harness.step(1);
    // Close a text on the start cell, then let the start-up fade settle.
    if (Core::getGame()->getState() == 6)
    {
        harness.step(40);
        EXPECT_NE(harness.saveScreenshot("level_" + name + "_text"), "");
        harness.press(SDLK_RETURN);
        harness.step(1);
    }
    harness.step(40);
    EXPECT_EQ(Core::getGame()->getState(), 2);
    EXPECT_NE(harness.saveScreenshot("level_" + name + "_start"), "");

    harness.press(SDLK_m);
    harness.step(2);
    EXPECT_EQ(Core::getGame()->getState(), 3);
    EXPECT_NE(harness.saveScreenshot("level_" + name + "_overview"), "");
}

INSTANTIATE_TEST_SUITE_P(Shipped, LevelSetPicture, ::testing::Range(0, static_cast<int>(levelList().size())),
                         [](const ::testing::TestParamInfo<int>& info)
                         { return std::to_string(info.param) + "_" + baseName(levelList().at(info.param)); });
