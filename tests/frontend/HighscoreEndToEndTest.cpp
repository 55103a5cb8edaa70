// The real game under Xvfb, typed at through the X test extension, against a loopback high-score
// server: the menu's table and back, a score submitted from the game-over screen, and SIGTERM
// while a message shows.
#include "Crypt.h"
#include "GameSession.h"
#include "Harness.h"
#include "HttpFixture.h"
#include "TestEnv.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <csignal>
#include <thread>
#include <unistd.h>

namespace
{

// A rock falls on the player a second after the start: the game-over screen follows. Walls on
// either side keep the player under it whatever keys are pressed meanwhile.
const char* const FALLING_ROCK = "5 5\ntileset1\nTitle_Music.ogg\n#####\n##r##\n##.##\n##p##\n#####\n0\n";

} // namespace

TEST(HighscoreEndToEnd, TableFromTheMenuThenSubmitFromGameOverThenSigterm)
{
    HttpFixture server;
    server.answer("2\nann\t300\nbob\t250\n");
    const std::string work = makeWorkDir({{"levels.ini", "levels/tutorial/fall.txt\n"},
                                          {"levels/tutorial/fall.txt", FALLING_ROCK},
                                          {"credits.txt", "Q\n"}});
    const std::string xdg = makeTempDir("quarrow-highscore-xdg");
    const std::string appData = xdg + "/vormel/Quarrow/";
    GameSession game(work, xdg, {{"QUARROW_HIGHSCORE_HOST", server.host()}});
    ASSERT_TRUE(game.start()) << game.logText();

    // "options", "highscore" (load game and select level are disabled without a profile).
    game.keys("Down Down Return");
    ASSERT_TRUE(server.waitForRequests(1, 10000)) << game.logText();
    EXPECT_EQ(server.targets()[0], "/api/highscore/?app_id=1");
    game.keys("Return"); // closes the table
    // Back on the menu's main page: a new profile and its first level.
    game.keys("Up Up Return a n n 7 Return Return Return");
    ASSERT_TRUE(game.logHas("Menu: event [level_0, enter]")) << game.logText();
    EXPECT_EQ(server.targets().size(), 1u) << "the table was closed, not fetched again";

    // The rock, then 40 steps to game over: "submit score", asked for until the screen is there.
    server.answer("4");
    bool submitted = false;
    for (int attempt = 0; attempt < 30 && !submitted; ++attempt)
    {
        game.keys("Left Return");
        submitted = server.waitForRequests(2, 1000);
    }
    ASSERT_TRUE(submitted) << game.logText();
    EXPECT_EQ(server.targets()[1], "/api/highscore/?action=submit&app_id=1&name=ann7&score=0&hash=" +
                                       Crypt::md5("7Qm=)x!2(Lp+9Rw=Kd(Tz)4Nv+Hs!bY8ann70"));
    game.keys("Return"); // closes "score submitted"; game over stays

    // The next submission's refusal is on screen when the program is asked to end.
    server.answer("!try again later");
    game.keys("Return");
    ASSERT_TRUE(server.waitForRequests(3, 10000)) << game.logText();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(game.terminate(SIGTERM), 0) << game.logText();

    const std::string logText = game.logText();
    EXPECT_NE(logText.find("Core: quit signal"), std::string::npos) << logText;
    EXPECT_NE(logText.find("Game: done"), std::string::npos) << logText;
    EXPECT_EQ(readFile(appData + "users.ini"), "ann7\n");
    EXPECT_EQ(server.targets().size(), 3u);
}
