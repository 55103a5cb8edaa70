// The real game under Xvfb, typed at through the X test extension from a fresh application-data
// folder.
#include "GameSession.h"
#include "Harness.h"
#include "MenuTestSupport.h"
#include "TestEnv.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{

std::string workingFolder()
{
    const std::string shipped = QUARROW_DATA_DIR;
    if (access((shipped + "/levels.ini").c_str(), F_OK) == 0 &&
        access((shipped + "/hashes.ini").c_str(), F_OK) == 0)
        return shipped;
    return makeWorkDir(menuLevelFiles());
}

} // namespace

TEST(MenuEndToEnd, NewProfileFirstLevelThenExitToSystem)
{
    const std::string work = workingFolder();
    const std::string xdg = makeTempDir("quarrow-e2e-xdg");
    const std::string appData = xdg + "/vormel/Quarrow/";
    GameSession game(work, xdg);
    ASSERT_TRUE(game.start()) << game.logText();

    game.keys("Return t e s t e r 1 Return");
    ASSERT_TRUE(game.logHas("Menu: event [start_name, enter]")) << game.logText();
    game.keys("Return Return"); // tutorial levels, then the first level
    ASSERT_TRUE(game.logHas("Menu: event [level_0, enter]")) << game.logText();
    ASSERT_TRUE(game.logHas(".txt loaded", 2)) << game.logText();
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    // A shipped level may greet the player with a text box at the start; Enter closes it and does
    // nothing in play.
    game.keys("Return");
    game.keys("Escape");
    game.keys("Down Down Down Down Down Return Return"); // "exit game", "exit to system"
    EXPECT_EQ(game.waitForExit(), 0) << game.logText();

    const std::string logText = game.logText();
    EXPECT_NE(logText.find("Menu: event [exit_yes, enter]"), std::string::npos) << logText;
    EXPECT_EQ(countOf(logText, "Menu: init\n"), 1) << logText;
    // The menu is the first object the game deletes.
    EXPECT_LT(logText.find("Menu: event [exit_yes, enter]"), logText.find("Menu: done\n")) << logText;
    EXPECT_LT(logText.find("Menu: done\n"), logText.find("Player: done")) << logText;
    EXPECT_EQ(readFile(appData + "users.ini"), "tester1\n");
    const std::string profile = readFile(appData + "user_tester1.ini");
    EXPECT_FALSE(profile.empty());
    EXPECT_EQ(profile.substr(0, 2), "0\n");
    const int levels = countOf(profile, "\n") - 1;
    EXPECT_GE(levels, 1);
    EXPECT_EQ(profile.find_first_not_of("0\n"), std::string::npos) << profile;
    const std::string hashes = readFile(appData + "hashes.ini");
    EXPECT_NE(hashes.find("\tuser_tester1.ini\n"), std::string::npos) << hashes;
    EXPECT_NE(hashes.find("\tlevels.ini"), std::string::npos) << hashes;
}
