// The real game under Xvfb, started twice on one application-data folder whose "config.ini" asks
// for a video mode the display refuses: the first start falls back to a window and saves it, the
// second opens that window straight away.
#include "GameSession.h"
#include "MinimalGame.h"
#include "TestEnv.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(VideoModeEndToEnd, ARefusedModeIsReplacedByTheFallbackForThisAndTheNextStart)
{
    const std::string work = makeMinimalGameDir();
    const std::string xdg = makeTempDir("quarrow-video-xdg");
    const std::string appData = xdg + "/vormel/Quarrow/";
    ASSERT_EQ(mkdir((xdg + "/vormel").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(appData.c_str(), 0755), 0);
    // The game's own display is 1024 x 768: no full-screen mode of 1600 x 1200 exists there.
    writeFile(appData + "config.ini", "screen_full = 1\nscreen_width = 1600\nscreen_height = 1200\n");
    const std::string fallback = "screen_full = 0\nscreen_height = 768\nscreen_width = 1024\n";
    {
        GameSession first(work, xdg);
        ASSERT_TRUE(first.start()) << first.logText();
        EXPECT_NE(first.logText().find("Device: video mode 1600 x 1200 x 32 full screen refused ("),
                  std::string::npos)
            << first.logText();
        EXPECT_EQ(first.terminate(SIGTERM), 0) << first.logText();
    }
    EXPECT_EQ(readFile(appData + "config.ini"), fallback);

    GameSession second(work, xdg);
    ASSERT_TRUE(second.start()) << second.logText();
    EXPECT_EQ(second.terminate(SIGTERM), 0) << second.logText();
    EXPECT_EQ(second.logText().find("refused"), std::string::npos) << second.logText();
    EXPECT_EQ(readFile(appData + "config.ini"), fallback);
}
