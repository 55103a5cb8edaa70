#include "Game.h"
#include "AudioDriver.h"
#include "Config.h"
#include "Core.h"
#include "Entity_Player.h"
#include "Exception.h"
#include "Harness.h"
#include "Level.h"
#include "LevelStat.h"
#include "Menu.h"
#include "MenuItem.h"
#include "TestEnv.h"
#include "Tile.h"
#include "Tilemap.h"
#include "UserManager.h"

#include <SDL/SDL.h>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <typeinfo>

namespace
{

const char* const boxLevel = "3 3\ntileset1\nm.ogg\n###\n#p#\n###\n0\n";

std::map<std::string, std::string> oneLevel()
{
    return {{"levels.ini", "levels/easy/box_level.txt\n"}, {"levels/easy/box_level.txt", boxLevel}};
}

// Whatever initLevel raised, "" when nothing.
std::string initLevelError(int32_t n)
{
    try
    {
        Core::getGame()->initLevel(n);
    }
    catch (Exception* e)
    {
        const std::string message = e->getMessage();
        delete e;
        return message;
    }
    return "";
}

// A list past the reader's megabyte is no real one, but the game still starts with the levels
// read before it; the path cut at the limit is not taken for a level.
TEST(Game, ALevelListPastTheLimitKeepsTheWholePathsBeforeIt)
{
    const std::string path = "levels/" + std::string(200, 'a') + ".txt";
    const size_t whole = (1u << 20) / (path.size() + 1);
    std::string list;
    while (list.size() <= (1u << 20))
    {
        list += path + "\n";
    }
    Harness harness(makeWorkDir({{"levels.ini", list}, {path, boxLevel}}));
    ASSERT_EQ(harness.initResult(), 0) << harness.logText();
    EXPECT_EQ(Core::getGame()->getLevelFilenames(), std::vector<std::string>(whole, path));
    EXPECT_NE(
        harness.logText().find("Game: levels.ini is longer than 1048576 bytes, the levels after the first " +
                               std::to_string(whole) + " are not read\n"),
        std::string::npos)
        << harness.logText();
}

TEST(Game, LevelNameFromFile)
{
    const std::pair<const char*, const char*> cases[] = {{"first_steps.txt", ""},
                                                         {"levels/easy/first_steps.txt", "first steps"},
                                                         {"levels/my_level.lvl", "my level"},
                                                         {"levels/abc", "abc"},
                                                         {"levels/abcd", ""},
                                                         {"a_b/c_d_e.txt", "c d e"},
                                                         {"levels/", ""}};
    for (const auto& c : cases)
    {
        EXPECT_EQ(Game::levelNameFromFile(c.first), c.second) << c.first;
    }
}

struct LevelList
{
    const char* name;
    const char* text;
    std::vector<std::string> files;
};

// One process per case: Core keeps its state for the whole run.
class GameLevelList : public ::testing::TestWithParam<LevelList>
{
};

TEST_P(GameLevelList, ReadsWordsLongerThanTwoCharacters)
{
    Harness harness(makeWorkDir({{"levels.ini", GetParam().text},
                                 {"levels/a.txt", boxLevel},
                                 {"levels/b.txt", boxLevel},
                                 {"abc", boxLevel}}));
    ASSERT_EQ(harness.initResult(), 0);
    EXPECT_EQ(Core::getGame()->getLevelFilenames(), GetParam().files);
    EXPECT_EQ(Core::getGame()->getLevelCount(), static_cast<int32_t>(GetParam().files.size()));
}

// Names the case in test listings.
void PrintTo(const LevelList& list, std::ostream* out)
{
    *out << list.name;
}

INSTANTIATE_TEST_SUITE_P(
    Game, GameLevelList,
    ::testing::Values(
        LevelList{"TrailingLineEnd", "levels/a.txt\nlevels/b.txt\n", {"levels/a.txt", "levels/b.txt"}},
        LevelList{"NoLastLineEnd", "levels/a.txt\nlevels/b.txt", {"levels/a.txt", "levels/b.txt"}},
        LevelList{"CrLfAndShortWords",
                  "levels/a.txt\r\nab\r\nx\r\n\r\nlevels/b.txt\r\n",
                  {"levels/a.txt", "levels/b.txt"}},
        LevelList{"BlanksAndTabs",
                  "  levels/a.txt\tabc levels/b.txt  \n\n",
                  {"levels/a.txt", "abc", "levels/b.txt"}}));

TEST(Game, ALevelListWithoutLevelsStopsTheStartCleanly)
{
    Harness harness(makeWorkDir({{"levels.ini", "ab\nc\n\n"}}));
    EXPECT_EQ(harness.initResult(), -1);
    EXPECT_NE(harness.logText().find("Game: levels.ini lists no level file"), std::string::npos);
    EXPECT_NE(harness.logText().find("Init error: Game: no levels in levels.ini"), std::string::npos);
    EXPECT_EQ(Core::getGame(), nullptr);
}

TEST(Game, AMissingLevelListStopsTheStart)
{
    // A table that lists something else: the check of "levels.ini" fails and the reading goes on.
    Harness harness(makeWorkDir({{"hashes.ini", "0123\tother.txt\n"}}));
    EXPECT_EQ(harness.initResult(), -1);
    EXPECT_NE(harness.logText().find("Init error: Game: Can't load filenames (levels.ini)"),
              std::string::npos);
}

struct UnreadableList
{
    const char* name;
    bool folder;
    std::string text;
    std::string why;
};

void PrintTo(const UnreadableList& list, std::ostream* out)
{
    *out << list.name;
}

class GameUnreadableLevelList : public ::testing::TestWithParam<UnreadableList>
{
};

// A "levels.ini" that is there but cannot be read stops the start as a missing one does, and the
// log says why.
TEST_P(GameUnreadableLevelList, StopsTheStartAndSaysWhy)
{
    const UnreadableList& c = GetParam();
    // A table that does not list levels.ini: the check fails, the reading still runs.
    std::map<std::string, std::string> files = {{"hashes.ini", "0\tother.txt\n"}};
    if (!c.folder)
    {
        files["levels.ini"] = c.text;
    }
    const std::string work = makeWorkDir(files);
    if (c.folder)
    {
        ASSERT_EQ(mkdir((work + "/levels.ini").c_str(), 0755), 0);
    }
    Harness harness(work);
    EXPECT_EQ(harness.initResult(), -1);
    EXPECT_NE(harness.logText().find("Game: can't read levels.ini: " + c.why + "\n"), std::string::npos)
        << harness.logText();
    EXPECT_NE(harness.logText().find("Init error: Game: Can't load filenames (levels.ini)"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Game, GameUnreadableLevelList,
                         ::testing::Values(UnreadableList{"Folder", true, "", "is a folder"}),
                         [](const ::testing::TestParamInfo<UnreadableList>& info)
                         { return std::string(info.param.name); });

TEST(Game, InitLevelRejectsAnIndexOutsideTheListAfterResettingItsFlags)
{
    Harness harness(makeWorkDir({{"levels.ini", "levels/a.txt levels/b.txt\n"},
                                 {"levels/a.txt", boxLevel},
                                 {"levels/b.txt", boxLevel}}));
    ASSERT_EQ(harness.initResult(), 0);
    Game* game = Core::getGame();
    EXPECT_FALSE(game->isLevelStarted());

    EXPECT_EQ(initLevelError(2), "Game: initLevel(n), n is invalid: 2");
    EXPECT_EQ(initLevelError(-1), "Game: initLevel(n), n is invalid: -1");
    EXPECT_TRUE(game->isLevelStarted());

    EXPECT_EQ(initLevelError(1), "");
    EXPECT_EQ(game->getLevel()->getCurrentLevel(), 1u);
    EXPECT_TRUE(game->isStateChanged());
}

// No caller passes a bad index; should one arise (here: a level index outside the list), the
// step that meets it is logged and the game goes on.
TEST(Game, AnInvalidLevelIndexMetInAStepIsLoggedAndTheMenuGoesOn)
{
    Harness harness(makeWorkDir(oneLevel()));
    ASSERT_EQ(harness.initResult(), 0);
    Game* game = Core::getGame();
    game->initLevel(0);
    game->setState(2, true);
    harness.step();
    game->getLevel()->load(1, "levels/easy/box_level.txt", false);

    harness.press(SDLK_r); // "replay level?"
    harness.step();
    ASSERT_EQ(game->getState(), 1);
    harness.press(SDLK_RETURN); // "yes"
    harness.step();
    EXPECT_NE(harness.logText().find("Core: error: Game: initLevel(n), n is invalid: 1\n"),
              std::string::npos);
    EXPECT_EQ(game->getState(), 1);
    harness.step(3);
    EXPECT_TRUE(Core::isRunning());
}

// The statistics screen fades the music out to silence; the next level brings it back unless the
// player has switched music off.
TEST(Game, StartingALevelBringsSilencedMusicBackToItsConfiguredVolume)
{
    Harness harness(makeWorkDir(oneLevel()), {{"config.ini", "music_volume = 40\n"}});
    ASSERT_EQ(harness.initResult(), 0);
    Game* game = Core::getGame();
    AudioDriver* audio = Core::getAudioDriver();

    audio->setMusicVolume(0.0f);
    game->initLevel(0);
    EXPECT_FLOAT_EQ(audio->getMusicVolume(), 0.4f);

    audio->setMusicVolume(0.25f);
    game->initLevel(0);
    EXPECT_FLOAT_EQ(audio->getMusicVolume(), 0.25f);

    Core::getConfig()->set("music_volume", 0);
    audio->setMusicVolume(0.0f);
    game->initLevel(0);
    EXPECT_EQ(audio->getMusicVolume(), 0.0f);
}

// The loading screen is shown at once and stays up through the step that starts the level.
TEST(Game, StartingALevelShowsTheLoadingScreenUntilTheLevelDraws)
{
    Harness harness(makeWorkDir(oneLevel()));
    ASSERT_EQ(harness.initResult(), 0);
    Game* game = Core::getGame();
    game->initLevel(0);
    game->setState(2, true);
    harness.step(110); // past the fade-in
    // The red of the HUD's apple bar.
    const auto apples = [&] { return (harness.pixel(40, 600) >> 16) & 0xff; };
    const auto textPixels = [&]
    {
        int count = 0;
        for (int x = 400; x < 624; x += 2)
        {
            for (int y = 370; y < 400; y += 2)
            {
                count += (harness.pixel(x, y) & 0xff) > 0xc0 ? 1 : 0;
            }
        }
        return count;
    };
    ASSERT_GT(apples(), 0xc0u);

    game->initLevel(0);
    game->setState(2, true);
    harness.saveScreenshot("loading-screen");
    EXPECT_LT(apples(), 0x10u);
    EXPECT_GT(textPixels(), 20);
    harness.step();
    EXPECT_LT(apples(), 0x10u);
    harness.step();
    EXPECT_GT(apples(), 0xc0u);
}

// "exit opened" for 109 steps: shown while 99 to 80, 59 to 40 and 19 to 1 steps are left, in
// the middle of the level's part of the screen.
TEST(Game, TheMessageBlinksInTwentyStepPhases)
{
    Harness harness(
        makeWorkDir({{"levels.ini", "levels/easy/hall.txt\n"},
                     {"levels/easy/hall.txt", "14 12\ntileset1\nm.ogg\n##############\n#p...........#\n"
                                              "#............#\n#............#\n#............#\n"
                                              "#............#\n#............#\n#............#\n"
                                              "#............#\n#............#\n#............#\n"
                                              "##############\n0\n"}}));
    ASSERT_EQ(harness.initResult(), 0);
    Game* game = Core::getGame();
    game->initLevel(0);
    game->setState(2, true);
    harness.step(110);
    const auto shown = [&]
    {
        int bright = 0;
        for (int x = 450; x < 724; x += 2)
        {
            for (int y = 364; y < 404; y += 2)
            {
                const uint32_t rgb = harness.pixel(x, y);
                bright += ((rgb >> 16) & 0xff) > 0xc0 && ((rgb >> 8) & 0xff) > 0xc0 ? 1 : 0;
            }
        }
        return bright > 20;
    };
    ASSERT_FALSE(shown());

    game->showMessage("exit opened", 109);
    // Frames left when drawn after each run of steps, and whether the text shows.
    const struct
    {
        int steps;
        uint16_t left;
        bool visible;
    } phases[] = {{1, 108, false}, {8, 100, false}, {1, 99, true},  {19, 80, true}, {1, 79, false},
                  {20, 59, true},  {20, 39, false}, {20, 19, true}, {18, 1, true},  {1, 0, false}};
    for (const auto& phase : phases)
    {
        harness.step(phase.steps);
        ASSERT_EQ(game->getMessageFrames(), phase.left);
        EXPECT_EQ(shown(), phase.visible) << phase.left;
    }
}

TEST(Game, SetStateSwitchesKeyRepeatAndSkipsTheNextPicture)
{
    Harness harness(makeWorkDir(oneLevel()));
    ASSERT_EQ(harness.initResult(), 0);
    Game* game = Core::getGame();
    EXPECT_EQ(game->getState(), 1);
    EXPECT_FALSE(game->isStateChanged());
    int delay = -1;
    int interval = -1;
    SDL_GetKeyRepeat(&delay, &interval);
    EXPECT_EQ(delay, 250);
    EXPECT_EQ(interval, 50);

    game->initLevel(0);
    game->setState(2, true);
    EXPECT_EQ(game->getState(), 2);
    EXPECT_TRUE(game->isStateChanged());
    SDL_GetKeyRepeat(&delay, &interval);
    EXPECT_EQ(delay, 0);

    // The step of the change draws nothing and clears the flag for the next one.
    harness.step();
    EXPECT_FALSE(game->isStateChanged());
    EXPECT_EQ(game->getState(), 2);

    // Escape in play returns to the menu; that step's draw only clears the flag.
    harness.press(SDLK_ESCAPE);
    harness.step();
    EXPECT_EQ(game->getState(), 1);
    EXPECT_FALSE(game->isStateChanged());
    SDL_GetKeyRepeat(&delay, &interval);
    EXPECT_EQ(delay, 250);

    // Other states leave the key repeat alone.
    game->setState(6, false);
    SDL_GetKeyRepeat(&delay, &interval);
    EXPECT_EQ(delay, 250);
}

TEST(Game, ACompletedLevelTurnsPlayBackIntoStatisticsWithoutAStateChange)
{
    Harness harness(makeWorkDir(oneLevel()));
    ASSERT_EQ(harness.initResult(), 0);
    Game* game = Core::getGame();
    game->initLevel(0);
    game->setState(2, true);
    harness.step();

    game->levelCompleted();
    EXPECT_EQ(game->getState(), 4);
    EXPECT_TRUE(game->isLevelCompleted());
    harness.step();

    game->setState(2, false);
    harness.step();
    EXPECT_EQ(game->getState(), 4);
    EXPECT_FALSE(game->isStateChanged());
}

TEST(Game, GameOverStartsOnThe41stStepAfterTheDeath)
{
    Harness harness(makeWorkDir(oneLevel()));
    ASSERT_EQ(harness.initResult(), 0);
    Game* game = Core::getGame();
    game->initLevel(0);
    game->setState(2, true);
    harness.step();

    game->getPlayer()->die(true);
    harness.step(40);
    EXPECT_EQ(game->getState(), 2);
    EXPECT_EQ(game->getDeathDelay(), 40);
    harness.step();
    EXPECT_EQ(game->getState(), 8);

    // A new start of the level counts afresh.
    game->initLevel(0);
    EXPECT_EQ(game->getDeathDelay(), 0);
}

TEST(Game, FadesInOnceAndCountsTheMessageDown)
{
    Harness harness(makeWorkDir(oneLevel()));
    ASSERT_EQ(harness.initResult(), 0);
    Game* game = Core::getGame();
    EXPECT_EQ(game->getFade(), 0.0f);
    harness.step();
    EXPECT_FLOAT_EQ(game->getFade(), 0.01f);
    const auto panelBlue = [&] { return harness.pixel(5, 200) & 0xff; };
    EXPECT_LT(panelBlue(), 0x04u); // under the overlay at alpha 0.99
    harness.step(110);
    const float end = game->getFade();
    EXPECT_GT(end, 1.0f);
    EXPECT_LT(end, 1.02f);
    EXPECT_GT(panelBlue(), 0x20u); // the panel under the menu
    harness.step(5);
    EXPECT_EQ(game->getFade(), end);

    game->showMessage("exit opened", 109);
    harness.step(9);
    EXPECT_EQ(game->getMessageFrames(), 100);
    harness.step(200);
    EXPECT_EQ(game->getMessageFrames(), 0);
    EXPECT_EQ(game->getMessageText(), "exit opened");
}

} // namespace

namespace
{

TEST(Game, ALevelIsPlayedFromItsStartToItsExit)
{
    Harness harness(
        makeWorkDir({{"levels.ini", "levels/easy/walk.txt\n"},
                     {"levels/easy/walk.txt", "7 3\ntileset1\nm.ogg\n#######\n#p+b.x#\n#######\n0\n"}}));
    ASSERT_EQ(harness.initResult(), 0);
    Game* game = Core::getGame();
    game->initLevel(0);
    game->setState(2, true);
    EXPECT_EQ(game->getLevel()->getDiamondCount(), 1);

    harness.hold(SDLK_RIGHT);
    for (int i = 0; i < 200 && game->getState() == 2; ++i)
    {
        harness.step();
    }
    EXPECT_EQ(game->getState(), 4);
    EXPECT_TRUE(game->isLevelCompleted());
    EXPECT_EQ(game->getPlayer()->getDiamonds(), 1);
    EXPECT_EQ(game->getPlayer()->getCell().x, 5);
}

} // namespace

namespace
{

// Starts the game in dir, whose first level cannot be loaded: the error is a line on the standard
// output and the menu runs.
void expectFirstLevelReported(const std::string& dir, const std::string& line)
{
    ::testing::internal::CaptureStdout();
    Harness harness(dir);
    const std::string out = ::testing::internal::GetCapturedStdout();
    ASSERT_EQ(harness.initResult(), 0) << harness.logText();
    EXPECT_NE(out.find(line), std::string::npos) << out;
    EXPECT_FALSE(Core::getGame()->isLevelCompleted());
    harness.step(3);
    EXPECT_EQ(Core::getGame()->getState(), 1);
    EXPECT_TRUE(Core::isRunning());
}

TEST(Game, AFirstLevelThatCannotBeLoadedIsReportedOnTheStandardOutputAndTheMenuRuns)
{
    expectFirstLevelReported(
        makeWorkDir({{"levels.ini", "levels/gone.txt levels/b.txt\n"}, {"levels/b.txt", boxLevel}}),
        "Level: can't open the file levels/gone.txt\n");
}

TEST(Game, AFolderInPlaceOfTheFirstLevelIsReportedTheSameWay)
{
    // Once read as a stream, a folder threw the stream library's own error out of the load.
    const std::string dir =
        makeWorkDir({{"levels.ini", "levels/folder.txt levels/b.txt\n"}, {"levels/b.txt", boxLevel}});
    ASSERT_EQ(mkdir((dir + "/levels/folder.txt").c_str(), 0755), 0);
    expectFirstLevelReported(dir, "Level: can't open the file levels/folder.txt\n");
}

} // namespace

namespace
{

TEST(Game, CompletingALevelKeepsTheBetterScoreUnlocksTheNextLevelAndSaves)
{
    Harness harness(makeWorkDir({{"levels.ini", "levels/easy/one.txt levels/easy/two.txt\n"},
                                 {"levels/easy/one.txt", boxLevel},
                                 {"levels/easy/two.txt", boxLevel}}));
    ASSERT_EQ(harness.initResult(), 0);
    Game* game = Core::getGame();
    UserManager* users = game->getUserManager();
    users->createUser("ann");
    users->loadUser("ann");
    users->setScore(1, 30000);
    const std::string profile = harness.appData() + "user_ann.ini";

    game->initLevel(0);
    EXPECT_EQ(game->getOtherLevelsScore(), 30000u); // the HUD adds this level's score to it
    game->setState(2, true);
    harness.step();
    game->levelCompleted();
    const int32_t total = game->getLevelStat()->getLevelTotal();
    EXPECT_GT(total, 0);
    EXPECT_EQ(users->getScore(0), total);
    EXPECT_EQ(users->getReachedLevel(), 1);
    EXPECT_EQ(readFile(profile), "1\n" + std::to_string(total) + "\n30000\n");

    // The last level: the reached level stays, the higher stored score stays, the file is written.
    users->setScore(0, total + 1);
    game->initLevel(1);
    EXPECT_EQ(game->getOtherLevelsScore(), static_cast<uint32_t>(total + 1));
    game->setState(2, true);
    harness.step();
    game->levelCompleted();
    EXPECT_EQ(game->getState(), 4);
    EXPECT_EQ(users->getReachedLevel(), 1);
    EXPECT_EQ(users->getScore(1), 30000);
    EXPECT_EQ(readFile(profile), "1\n" + std::to_string(total + 1) + "\n30000\n");
}

} // namespace

namespace
{

// Each cell's tile class, row by row.
std::string tileClasses(const Tilemap* tilemap)
{
    std::string classes;
    for (uint16_t y = 0; y < tilemap->getHeight(); ++y)
    {
        for (uint16_t x = 0; x < tilemap->getWidth(); ++x)
        {
            classes += std::string(typeid(*tilemap->getTile(CellPos{x, y})).name()) + " ";
        }
    }
    return classes;
}

void press(Harness& harness, SDLKey key)
{
    harness.press(key);
    harness.step();
}

TEST(Game, ALevelThatFailsToLoadFromTheMenuKeepsTheLevelPlayedAndShowsItsError)
{
    Harness harness(
        makeWorkDir({{"levels.ini", "levels/tutorial/walk_on.txt levels/tutorial/broken.txt\n"},
                     {"levels/tutorial/walk_on.txt", "7 3\ntileset1\nm.ogg\n#######\n#p+b.x#\n#######\n0\n"},
                     {"levels/tutorial/broken.txt", "20x15\ntileset1\nm.ogg\n" + std::string(300, '.')}}));
    ASSERT_EQ(harness.initResult(), 0);
    Game* game = Core::getGame();
    Level* level = game->getLevel();
    Menu* menu = game->getMenu();

    // A new profile through the menu, then level 0 from its tutorial page.
    press(harness, SDLK_RETURN);
    press(harness, SDLK_a);
    press(harness, SDLK_RETURN);
    ASSERT_EQ(menu->getCurrentPage()->getId(), "levels");
    game->getUserManager()->setReachedLevel(1);
    menu->buildLevelMenus();
    press(harness, SDLK_RETURN);
    ASSERT_EQ(menu->getCurrentPage()->getSelectedChild()->getId(), "level_0");
    press(harness, SDLK_RETURN);
    ASSERT_EQ(game->getState(), 2);
    harness.step(5);

    const std::string grid = tileClasses(level->getTilemap());
    const Vec2 playerAt = game->getPlayer()->getPosition();
    press(harness, SDLK_ESCAPE);
    press(harness, SDLK_DOWN);
    ASSERT_EQ(menu->getCurrentPage()->getSelectedChild()->getId(), "select");
    press(harness, SDLK_RETURN);
    press(harness, SDLK_RETURN);
    press(harness, SDLK_DOWN);
    ASSERT_EQ(menu->getCurrentPage()->getSelectedChild()->getId(), "level_1");
    press(harness, SDLK_RETURN);

    const std::string error = "Level: levels/tutorial/broken.txt hasn't width or height";
    EXPECT_EQ(game->getState(), 1);
    EXPECT_EQ(menu->getNotice(), "Level: broken.txt hasn't width or height");
    EXPECT_NE(harness.logText().find("Core: error: " + error + "\n"), std::string::npos);
    EXPECT_EQ(level->getCurrentLevel(), 0u);
    EXPECT_EQ(level->getName(), "walk on");
    EXPECT_EQ(level->getDiamondCount(), 1);
    EXPECT_TRUE(game->isLevelStarted());
    EXPECT_EQ(tileClasses(level->getTilemap()), grid);
    EXPECT_EQ(game->getPlayer()->getPosition().x, playerAt.x);
    harness.step(25);
    harness.drawFrame();
    harness.saveScreenshot("menu-level-load-error");

    // Back up the pages to the main page, whose Escape resumes the level played: it goes on where
    // it was, and its score is kept under its own index.
    for (int i = 0; i < 3 && game->getState() == 1; ++i)
    {
        press(harness, SDLK_ESCAPE);
    }
    ASSERT_EQ(game->getState(), 2);
    harness.hold(SDLK_RIGHT);
    for (int i = 0; i < 200 && game->getState() == 2; ++i)
    {
        harness.step();
    }
    EXPECT_EQ(game->getState(), 4);
    EXPECT_GT(game->getUserManager()->getScore(0), 0);
    EXPECT_EQ(game->getUserManager()->getScore(1), 0);
}

TEST(Game, AProfileWhoseReachedLevelFailsToLoadStillOpensItsOtherLevels)
{
    Harness harness(
        makeWorkDir({{"levels.ini", "levels/tutorial/walk_on.txt levels/tutorial/broken.txt\n"},
                     {"levels/tutorial/walk_on.txt", "7 3\ntileset1\nm.ogg\n#######\n#p+b.x#\n#######\n0\n"},
                     {"levels/tutorial/broken.txt", "20x15\ntileset1\nm.ogg\n"}}));
    ASSERT_EQ(harness.initResult(), 0);
    Game* game = Core::getGame();
    Menu* menu = game->getMenu();
    UserManager* users = game->getUserManager();
    users->createUser("bob");
    users->loadUser("bob");
    users->setReachedLevel(1);
    users->saveUser();
    menu->buildLoadMenu();

    // "select level" is still disabled and skipped.
    press(harness, SDLK_DOWN);
    ASSERT_EQ(menu->getCurrentPage()->getSelectedChild()->getId(), "load");
    press(harness, SDLK_RETURN);
    ASSERT_EQ(menu->getCurrentPage()->getId(), "load");
    press(harness, SDLK_RETURN);

    EXPECT_EQ(game->getState(), 1);
    EXPECT_EQ(menu->getNotice(), "Level: broken.txt hasn't width or height");
    MenuItem* main = menu->getCurrentPage();
    while (main->getParent() != nullptr)
    {
        main = main->getParent();
    }
    ASSERT_EQ(main->getChild(1)->getId(), "select");
    EXPECT_FALSE(main->getChild(1)->isDisabled());
}

} // namespace
