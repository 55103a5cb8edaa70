// The menu's pages and actions: level pages, Escape, options, and the rebuilt level pages.
#include "Config.h"
#include "Credits.h"
#include "Entity_Player.h"
#include "FileSizeLimit.h"
#include "HttpFixture.h"
#include "Level.h"
#include "MenuTestSupport.h"
#include "TestEnv.h"
#include "UserManager.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace
{

struct Row
{
    std::string id;
    bool disabled;
};

std::vector<Row> rowsOf(const MenuItem* node)
{
    std::vector<Row> rows;
    for (int i = 0; i < node->getChildCount(); ++i)
        rows.push_back({node->getChild(i)->getId(), node->getChild(i)->isDisabled()});
    return rows;
}

void expectRows(const MenuItem* node, const std::vector<Row>& expected)
{
    const std::vector<Row> rows = rowsOf(node);
    ASSERT_EQ(rows.size(), expected.size()) << node->getId();
    for (size_t i = 0; i < rows.size(); ++i)
    {
        EXPECT_EQ(rows[i].id, expected[i].id) << node->getId() << " row " << i;
        EXPECT_EQ(rows[i].disabled, expected[i].disabled) << node->getId() << " " << rows[i].id;
    }
}

} // namespace

TEST(MenuLevels, NewProfileSeesOnlyTheFirstLevel)
{
    Harness h(makeWorkDir(menuLevelFiles()));
    ASSERT_EQ(h.initResult(), 0);
    MenuItem* main = page();
    EXPECT_TRUE(main->getChild(1)->isDisabled()) << "select level";
    EXPECT_TRUE(main->getChild(2)->isDisabled()) << "load game without profiles";

    createProfile(h, "ann");
    ASSERT_EQ(pageId(), "levels");
    EXPECT_EQ(page()->getTitle(), "select difficulty");
    EXPECT_FALSE(main->getChild(1)->isDisabled());
    EXPECT_FALSE(main->getChild(2)->isDisabled());
    expectRows(main->getChild(2), {{"load_user_ann", false}, {"load_sep", true}, {"load_back", false}});

    MenuItem* levels = page();
    expectRows(levels, {{"levels_tutor", false},
                        {"levels_easy", true},
                        {"levels_normal", true},
                        {"levels_hard", true},
                        {"levels_sep", true},
                        {"levels_back", false}});
    // Index 2 lies in no difficulty folder: no entry, but the later ones keep their own index.
    expectRows(
        levels->getChild(0),
        {{"level_0", false}, {"level_3", true}, {"levels_tutor_sep", true}, {"levels_tutor_back", false}});
    expectRows(levels->getChild(1),
               {{"level_1", true}, {"levels_easy_sep", true}, {"levels_easy_back", false}});
    expectRows(levels->getChild(2), {{"levels_normal_sep", true}, {"levels_normal_back", false}});
    expectRows(levels->getChild(3),
               {{"level_4", true}, {"levels_hard_sep", true}, {"levels_hard_back", false}});
    EXPECT_EQ(levels->getChild(0)->getTitle(), "select level");
    EXPECT_EQ(levels->getChild(0)->getChild(0)->getText(), "first steps");
    EXPECT_EQ(levels->getChild(0)->getChild(1)->getText(), "mixed path");

    // The disabled difficulties are jumped over: Down goes straight to "back".
    key(h, SDLK_DOWN);
    EXPECT_EQ(selectedId(), "levels_back");
}

TEST(MenuLevels, StartingALevelAndEscapeBetweenPlayAndMenu)
{
    Harness h(makeWorkDir(menuLevelFiles()));
    ASSERT_EQ(h.initResult(), 0);
    Game* game = Core::getGame();
    key(h, SDLK_ESCAPE); // at program start the menu cannot be left
    EXPECT_EQ(game->getState(), 1);
    EXPECT_EQ(pageId(), "main");

    createProfile(h, "ann");
    key(h, SDLK_RETURN); // tutorial levels
    ASSERT_EQ(pageId(), "levels_tutor");
    key(h, SDLK_DOWN); // the locked level is jumped over
    EXPECT_EQ(selectedId(), "levels_tutor_back");
    key(h, SDLK_UP);
    key(h, SDLK_RETURN); // "first steps"
    EXPECT_EQ(game->getState(), 2);
    EXPECT_TRUE(game->isLevelStarted());
    EXPECT_EQ(game->getLevel()->getCurrentLevel(), 0);
    h.step(5);

    key(h, SDLK_ESCAPE); // the level opens the menu on its main page
    EXPECT_EQ(game->getState(), 1);
    EXPECT_EQ(pageId(), "main");
    key(h, SDLK_ESCAPE); // and Escape there returns to play
    EXPECT_EQ(game->getState(), 2);

    key(h, SDLK_r); // replay? asks first
    EXPECT_EQ(game->getState(), 1);
    EXPECT_EQ(pageId(), "dialog");
    EXPECT_EQ(page()->getTitle(), "replay level?");
    EXPECT_EQ(selectedId(), "dialog_yes");
    key(h, SDLK_DOWN);
    key(h, SDLK_RETURN); // "no": back to play, the menu is reset to its main page
    EXPECT_EQ(game->getState(), 2);
    EXPECT_EQ(pageId(), "main");
    EXPECT_EQ(selectedId(), "start");
    key(h, SDLK_r);
    key(h, SDLK_RETURN); // "yes" restarts the level
    EXPECT_EQ(game->getState(), 2);
    EXPECT_EQ(countOf(h.logText(), "Level: try to load levels/tutorial/first_steps.txt"), 3);
}

TEST(MenuLevels, EscapeOnPagesWithoutParentGoesToMain)
{
    Harness h(makeWorkDir(menuLevelFiles()));
    ASSERT_EQ(h.initResult(), 0);
    Core::getGame()->getUserManager()->createUser("bob");
    menu()->buildLoadMenu();

    createProfile(h, "bob");
    ASSERT_EQ(pageId(), "name_exists");
    key(h, SDLK_ESCAPE);
    EXPECT_EQ(pageId(), "main");

    createProfile(h, "ann"); // main page's selection is still "start new game"
    ASSERT_EQ(pageId(), "levels");
    key(h, SDLK_RETURN);
    ASSERT_EQ(pageId(), "levels_tutor");
    key(h, SDLK_ESCAPE);
    EXPECT_EQ(pageId(), "levels");
    key(h, SDLK_ESCAPE);
    EXPECT_EQ(pageId(), "main");
}

TEST(MenuLevels, EscapeAfterTheLastLevelReturnsToTheRunningCredits)
{
    Harness h(makeWorkDir(menuLevelFiles()));
    ASSERT_EQ(h.initResult(), 0);
    Game* game = Core::getGame();
    game->initLevel(4);
    game->nextLevel(); // past the last level
    ASSERT_TRUE(game->isGameFinished());
    game->setState(7, true);
    h.step(30);
    key(h, SDLK_ESCAPE); // the credits open the menu over themselves
    ASSERT_EQ(game->getState(), 1);
    const float scroll = game->getCredits()->getScrollY();
    EXPECT_LT(scroll, 600.0f);
    h.step(10);
    h.drawFrame();
    key(h, SDLK_ESCAPE);
    EXPECT_EQ(game->getState(), 7);
    // Resumed where they were, not started again from the bottom.
    EXPECT_FLOAT_EQ(game->getCredits()->getScrollY(), scroll);
    EXPECT_TRUE(game->isGameFinished());
}

namespace
{

// Walks right onto the open exit of the fixture level and through its statistics screen.
void completeAndGoOn(Harness& h)
{
    Game* game = Core::getGame();
    h.hold(SDLK_RIGHT);
    for (int i = 0; i < 200 && game->getState() != 4; ++i)
        h.step();
    h.releaseAll();
    ASSERT_EQ(game->getState(), 4);
    key(h, SDLK_RETURN); // skip the counting
    h.step(3);
    key(h, SDLK_RETURN); // "next level"
}

} // namespace

// A level started from a difficulty page is completed and unlocks the next: the rebuild deletes
// that page. Playing on to the end, the credits hand back to the menu without picking a page, so
// the menu must be on a live page then.
TEST(MenuLevels, CompletedLevelNeverLeavesTheMenuOnADeletedPage)
{
    Harness h(makeWorkDir(menuLevelFiles()));
    ASSERT_EQ(h.initResult(), 0);
    Game* game = Core::getGame();
    UserManager* users = game->getUserManager();
    users->createUser("ann");
    users->loadUser("ann");
    users->setReachedLevel(3);
    users->saveUser();
    menu()->buildLoadMenu();
    menu()->buildLevelMenus();

    key(h, SDLK_DOWN); // "load game"
    key(h, SDLK_RETURN);
    key(h, SDLK_RETURN); // "ann": starts level 3 and opens "select level"
    ASSERT_EQ(game->getState(), 2);
    key(h, SDLK_ESCAPE);
    key(h, SDLK_UP); // "select level"
    ASSERT_EQ(selectedId(), "select");
    key(h, SDLK_RETURN);
    key(h, SDLK_RETURN); // tutorial levels
    key(h, SDLK_DOWN);
    ASSERT_EQ(selectedId(), "level_3");
    key(h, SDLK_RETURN);
    ASSERT_EQ(game->getState(), 2);
    ASSERT_EQ(pageId(), "levels_tutor");

    completeAndGoOn(h); // level 3 done: level 4 unlocked, the level pages rebuilt
    EXPECT_EQ(users->getReachedLevel(), 4);
    EXPECT_EQ(pageId(), "levels");
    ASSERT_EQ(game->getLevel()->getCurrentLevel(), 4);
    completeAndGoOn(h); // the last level: on to the credits
    ASSERT_EQ(game->getState(), 7);
    h.step(10);

    key(h, SDLK_ESCAPE); // the credits open the menu where it was left
    ASSERT_EQ(game->getState(), 1);
    h.step(3);
    h.drawFrame();
    EXPECT_EQ(pageId(), "levels");
    EXPECT_FALSE(page()->getChild(3)->isDisabled()) << "hard is open now";
    key(h, SDLK_RETURN); // the tutorial page, rebuilt
    expectRows(
        page(),
        {{"level_0", false}, {"level_3", false}, {"levels_tutor_sep", true}, {"levels_tutor_back", false}});
}

TEST(MenuLevels, LoadingAProfileStartsItsHighestLevel)
{
    Harness h(makeWorkDir(menuLevelFiles()));
    ASSERT_EQ(h.initResult(), 0);
    UserManager* users = Core::getGame()->getUserManager();
    users->createUser("cid");
    users->loadUser("cid");
    users->setReachedLevel(3);
    users->saveUser();
    menu()->buildLoadMenu();

    key(h, SDLK_DOWN);
    ASSERT_EQ(selectedId(), "load");
    key(h, SDLK_RETURN);
    key(h, SDLK_RETURN); // "cid"
    EXPECT_EQ(Core::getGame()->getState(), 2);
    EXPECT_EQ(Core::getGame()->getLevel()->getCurrentLevel(), 3);
    EXPECT_EQ(pageId(), "load");
    EXPECT_FALSE(Core::getGame()->getMenu() == nullptr);
}

// A profile edited by hand fails its check and ends the program: choosing it starts no level.
TEST(MenuLevels, LoadingAHandEditedProfileStartsNothing)
{
    Harness h(makeWorkDir(menuLevelFiles()));
    ASSERT_EQ(h.initResult(), 0);
    UserManager* users = Core::getGame()->getUserManager();
    users->createUser("cid");
    menu()->buildLoadMenu();
    writeFile(h.appData() + "user_cid.ini", "4\n0\n0\n0\n0\n0\n");

    key(h, SDLK_DOWN);
    key(h, SDLK_RETURN);
    key(h, SDLK_RETURN); // "cid"
    EXPECT_FALSE(Core::isRunning());
    EXPECT_FALSE(Core::getGame()->isLevelStarted());
    EXPECT_EQ(Core::getGame()->getState(), 1);
    EXPECT_EQ(countOf(h.logText(), "Level: try to load"), 1) << "only the first level at start-up";
}

TEST(MenuOptions, DashAndFullscreenAndVideoModeAreSaved)
{
    auto harness = std::make_unique<Harness>(makeWorkDir(menuLevelFiles()));
    Harness& h = *harness;
    ASSERT_EQ(h.initResult(), 0);
    const std::string appData = h.appData();
    key(h, SDLK_DOWN);
    key(h, SDLK_RETURN);
    ASSERT_EQ(pageId(), "options");
    EXPECT_EQ(page()->getChild(1)->getText(), "fullscreen: no");
    EXPECT_EQ(page()->getChild(2)->getText(), "dash: ctrl key");

    key(h, SDLK_DOWN, 2);
    ASSERT_EQ(selectedId(), "options_dash");
    key(h, SDLK_RETURN);
    EXPECT_FALSE(Core::getGame()->getPlayer()->getDashWithControl()) << "at once";
    EXPECT_EQ(page()->getChild(2)->getText(), "dash: no key");

    key(h, SDLK_UP);
    key(h, SDLK_RETURN);
    EXPECT_EQ(page()->getChild(1)->getText(), "fullscreen: yes");
    EXPECT_EQ(menu()->getNotice(), "please restart game to change video settings");
    EXPECT_EQ(pageId(), "options");

    key(h, SDLK_UP);
    key(h, SDLK_RETURN);
    ASSERT_EQ(pageId(), "options_video");
    // The display offers at least its own size as a full-screen mode.
    ASSERT_GT(page()->getChildCount(), 2);
    const int count = page()->getChildCount();
    EXPECT_EQ(page()->getChild(0)->getId(), "video_res_0");
    EXPECT_EQ(page()->getChild(count - 2)->getId(), "options_video_sep");
    EXPECT_EQ(page()->getChild(count - 1)->getId(), "options_video_back");
    const std::string mode = page()->getChild(0)->getText();
    menu()->setNotice("");
    key(h, SDLK_RETURN);
    EXPECT_EQ(pageId(), "options");
    EXPECT_EQ(menu()->getNotice(), "please restart game to change video settings");

    harness.reset(); // shut-down saves the configuration
    const std::string saved = readFile(appData + "config.ini");
    EXPECT_NE(saved.find("dash_with_control = 0\n"), std::string::npos) << saved;
    ASSERT_NE(saved.find("screen_full = 1\n"), std::string::npos) << saved;
    const std::string width = mode.substr(0, mode.find(' '));
    const std::string height = mode.substr(mode.rfind(' ') + 1);
    EXPECT_NE(saved.find("screen_width = " + width + "\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("screen_height = " + height + "\n"), std::string::npos) << saved;

    // The next start opens the window in that mode (windowed here, to leave the shared display alone).
    std::string windowed = saved;
    windowed.replace(windowed.find("screen_full = 1"), 15, "screen_full = 0");
    Harness next(makeWorkDir(menuLevelFiles()), {{"config.ini", windowed}});
    ASSERT_EQ(next.initResult(), 0);
    ASSERT_NE(SDL_GetVideoSurface(), nullptr);
    EXPECT_EQ(std::to_string(SDL_GetVideoSurface()->w), width);
    EXPECT_EQ(std::to_string(SDL_GetVideoSurface()->h), height);
}

TEST(MenuScreens, MainOptionsAndLevelPages)
{
    Harness h(makeWorkDir(menuLevelFiles()));
    ASSERT_EQ(h.initResult(), 0);
    h.step(120); // past the start-up fade
    h.drawFrame();
    EXPECT_FALSE(h.saveScreenshot("menu-main").empty());
    // The panel is drawn over the dimmed level: its middle is not the dimmed black of a corner.
    EXPECT_NE(h.pixel(512, 404), h.pixel(1010, 10));

    key(h, SDLK_DOWN);
    key(h, SDLK_RETURN);
    key(h, SDLK_DOWN, 3);
    h.step(60);
    h.drawFrame();
    EXPECT_FALSE(h.saveScreenshot("menu-options").empty());

    key(h, SDLK_ESCAPE);
    key(h, SDLK_UP);
    createProfile(h, "ann");
    h.step(60);
    h.drawFrame();
    EXPECT_FALSE(h.saveScreenshot("menu-difficulty").empty());
    key(h, SDLK_RETURN);
    h.step(60);
    h.drawFrame();
    EXPECT_FALSE(h.saveScreenshot("menu-levels").empty());
}

// The tutorial page is always open, so its first row can be a locked level: Enter must not start it.
TEST(MenuLevels, EnterOnALockedLevelStartsNothing)
{
    std::map<std::string, std::string> files = menuLevelFiles();
    files["levels.ini"] = "levels/easy/rock_garden.txt\nlevels/tutorial/first_steps.txt\n";
    Harness h(makeWorkDir(files));
    ASSERT_EQ(h.initResult(), 0);
    createProfile(h, "ann");
    ASSERT_EQ(pageId(), "levels");
    key(h, SDLK_RETURN);
    ASSERT_EQ(pageId(), "levels_tutor");
    ASSERT_EQ(selectedId(), "level_1");
    ASSERT_TRUE(page()->getSelectedChild()->isDisabled());
    key(h, SDLK_RETURN);
    EXPECT_EQ(Core::getGame()->getState(), 1);
    EXPECT_FALSE(Core::getGame()->isLevelStarted());
}

namespace
{

// The strip above the panel where the notice line is printed.
long noticeStrip(Harness& h)
{
    return h.brightness(100, 36, 924, 64);
}

// Just outside the panel's left edge at rest, inside it while the panel pops.
long panelRim(Harness& h)
{
    return h.brightness(282, 380, 290, 430);
}

} // namespace

TEST(MenuDraw, TheNoticeBlinksAndThePanelPops)
{
    Harness h(makeWorkDir(menuLevelFiles()));
    ASSERT_EQ(h.initResult(), 0);
    h.step(105); // past the start-up fade
    const long noNotice = noticeStrip(h);
    key(h, SDLK_DOWN);
    key(h, SDLK_RETURN);
    key(h, SDLK_DOWN);
    ASSERT_EQ(selectedId(), "options_full");

    // Frame 1 of "please restart game to change video settings", drawn with the popped panel.
    key(h, SDLK_RETURN);
    const long rimPopped = panelRim(h);
    // The notice shows in frames 20-39 after it was set, not in 1-19; a new notice starts the
    // count again even while the old one shows.
    struct Look
    {
        int steps;
        bool shown;
    };
    for (int round = 0; round < 2; ++round)
    {
        for (const Look& look : {Look{9, false}, Look{9, false}, Look{1, true}, Look{15, true}})
        {
            h.step(look.steps);
            EXPECT_EQ(noticeStrip(h) > noNotice + 200000, look.shown) << "round " << round;
        }
        if (round == 0)
            key(h, SDLK_RETURN); // toggled back: the same notice, counted from 1 again
    }
    h.step(5);
    EXPECT_LT(noticeStrip(h), noNotice + 200000) << "frame 40";
    EXPECT_EQ(menu()->getNotice(), "please restart game to change video settings");
    EXPECT_GT(rimPopped, panelRim(h) + 20000) << "the pop is over";
}

namespace
{

struct FullDisk
{
    const char* name;
    rlim_t limit;      // bytes a file may grow to
    const char* users; // "users.ini" before the start
};

void PrintTo(const FullDisk& c, std::ostream* os)
{
    *os << c.name;
}

class MenuFullDisk : public ::testing::TestWithParam<FullDisk>
{
};

} // namespace

// A full disk while a profile is made: the page says so and stays, nothing is listed or made
// current, and once there is room again the same Enter makes the profile.
TEST_P(MenuFullDisk, AProfileThatCannotBeSavedIsANoticeOnThePage)
{
    const FullDisk& c = GetParam();
    Harness h(makeWorkDir(menuLevelFiles()), {{"users.ini", c.users}});
    ASSERT_EQ(h.initResult(), 0);
    UserManager* users = Core::getGame()->getUserManager();
    MenuItem* main = page();
    h.step(105);         // past the start-up fade
    key(h, SDLK_RETURN); // "start new game"
    typeText(h, "ann");
    const long noNotice = noticeStrip(h);
    {
        FileSizeLimit full(c.limit);
        key(h, SDLK_RETURN);
    }
    EXPECT_EQ(menu()->getNotice(), "can't save the profile");
    EXPECT_EQ(pageId(), "start");
    EXPECT_EQ(users->getUserName(), "");
    EXPECT_FALSE(users->userExists("ann"));
    EXPECT_TRUE(main->getChild(1)->isDisabled()) << "select level";
    for (int i = 0; i < main->getChild(2)->getChildCount(); ++i)
        EXPECT_NE(main->getChild(2)->getChild(i)->getId(), "load_user_ann");

    h.step(20); // the notice shows in frames 20-39
    EXPECT_GT(noticeStrip(h), noNotice + 200000);
    EXPECT_FALSE(h.saveScreenshot(std::string("menu_profile_not_saved_") + c.name).empty());

    key(h, SDLK_RETURN); // room again: the player tries once more
    EXPECT_EQ(pageId(), "levels");
    EXPECT_EQ(users->getUserName(), "ann");
    EXPECT_EQ(menu()->getNotice(), "");
    EXPECT_TRUE(Core::isRunning());
}

INSTANTIATE_TEST_SUITE_P(
    Menu, MenuFullDisk,
    ::testing::Values(FullDisk{"NothingFits", 0, ""},
                      // The six-line profile fits; the hash table and the name list do not.
                      FullDisk{"OnlyTheProfileFits", 30,
                               "alexander\nbenedikt\ncornelius\ndominique\nevangeline\n"}),
    [](const ::testing::TestParamInfo<FullDisk>& info) { return std::string(info.param.name); });

TEST(MenuHighscore, EntryShowsTheTableAndEscapeComesBack)
{
    HttpFixture server;
    server.answer("1\nann\t500\n");
    server.useForHighscores();
    Harness h(makeWorkDir(menuLevelFiles()));
    ASSERT_EQ(h.initResult(), 0);
    key(h, SDLK_DOWN, 2);
    ASSERT_EQ(selectedId(), "highscore");
    key(h, SDLK_RETURN);
    EXPECT_EQ(Core::getGame()->getState(), 5);
    EXPECT_EQ(server.targets(), std::vector<std::string>{"/api/highscore/?app_id=1"});
    h.step(5);
    key(h, SDLK_ESCAPE);
    EXPECT_EQ(Core::getGame()->getState(), 1);
    EXPECT_EQ(pageId(), "main");
    EXPECT_EQ(selectedId(), "highscore");
}
