// The real game under Xvfb, run twice on one application-data folder: what the first run saved
// in the profile is what the second run loads.
#include "GameSession.h"
#include "Harness.h"
#include "TestEnv.h"

#include <csignal>
#include <gtest/gtest.h>

TEST(ProfileRestart, ReachedLevelSurvivesARestart)
{
    // The exit is two cells to the right of the start and there is no diamond to collect.
    const std::string level = "5 3\ntileset1\nlevel1.ogg\n#####\n#p.x#\n#####\n0\n";
    const std::string work =
        makeWorkDir({{"levels.ini", "levels/tutorial/one.txt\nlevels/tutorial/two.txt\n"},
                     {"levels/tutorial/one.txt", level},
                     {"levels/tutorial/two.txt", level}});
    const std::string xdg = makeTempDir("quarrow-restart-xdg");
    const std::string appData = xdg + "/vormel/Quarrow/";
    const std::string profile = appData + "user_kim.ini";
    {
        GameSession first(work, xdg);
        ASSERT_TRUE(first.start()) << first.logText();
        first.keys("Return k i m Return"); // start new game "kim": the levels page
        first.keys("Return Return");       // tutorial, its first level
        ASSERT_TRUE(first.logHas("Menu: event [level_0, enter]")) << first.logText();
        // The first load is the menu's background level at start-up.
        ASSERT_TRUE(first.logHas("Level: levels/tutorial/one.txt loaded", 2)) << first.logText();
        // Two cells to the exit; the finished level is saved in the profile.
        ASSERT_TRUE(first.holdUntil("Right", profile, "1\n")) << first.logText();
        EXPECT_EQ(first.terminate(SIGTERM), 0) << first.logText();
    }
    EXPECT_EQ(readFile(appData + "users.ini"), "kim\n");
    EXPECT_EQ(readFile(profile).substr(0, 2), "1\n");

    GameSession second(work, xdg);
    ASSERT_TRUE(second.start()) << second.logText();
    second.keys("Down"); // "load game"
    ASSERT_TRUE(second.logHas("Menu: event [main, step]")) << second.logText();
    second.keys("Return Return"); // "kim": starts the reached level
    EXPECT_TRUE(second.logHas("Level: levels/tutorial/two.txt loaded")) << second.logText();
    EXPECT_EQ(second.terminate(SIGTERM), 0) << second.logText();
    const std::string log = second.logText();
    EXPECT_EQ(log.find("is corrupted"), std::string::npos) << log;
    EXPECT_EQ(log.find("not found in hashes.ini"), std::string::npos) << log;
}
