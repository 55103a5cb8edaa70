// The real game under Xvfb, driven by xdotool, against a loopback high-score server: the menu's
// table and back, a score submitted from the game-over screen, and SIGTERM while a message shows.
#include "Crypt.h"
#include "GameWindow.h"
#include "Harness.h"
#include "HttpFixture.h"
#include "TestEnv.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{

// A rock falls on the player a second after the start: the game-over screen follows.
const char* const FALLING_ROCK = "5 5\ntileset1\nTitle_Music.ogg\n#####\n#.r.#\n#...#\n#.p.#\n#####\n0\n";

bool logHas(const std::string& log, const std::string& text, int seconds = 60)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end)
    {
        if (readFile(log).find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// Keys sent to our window only, with a pause after each so every press lands in a step of its own.
void keys(const std::string& window, const std::string& names)
{
    size_t at = 0;
    while (at < names.size())
    {
        size_t space = names.find(' ', at);
        if (space == std::string::npos)
            space = names.size();
        const std::string command =
            "xdotool " + keyArguments(window, names.substr(at, space - at)) + " >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        at = space + 1;
    }
}

// The exit status, or -1 after killing a game that did not end within the time.
int waitForExit(pid_t game, int seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    while (std::chrono::steady_clock::now() < end)
    {
        if (waitpid(game, &status, WNOHANG) == game)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(game, SIGKILL);
    waitpid(game, &status, 0);
    return -1;
}

} // namespace

TEST(HighscoreEndToEnd, TableFromTheMenuThenSubmitFromGameOverThenSigterm)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "needs an X display (xvfb-run)";
    HttpFixture server;
    server.answer("2\nann\t300\nbob\t250\n");
    const std::string work = makeWorkDir({{"levels.ini", "levels/tutorial/fall.txt\n"},
                                          {"levels/tutorial/fall.txt", FALLING_ROCK},
                                          {"credits.txt", "Q\n"}});
    const std::string xdg = makeTempDir("quarrow-highscore-xdg");
    const std::string appData = xdg + "/vormel/Quarrow/";
    const std::string log = appData + "log.txt";

    const pid_t game = fork();
    ASSERT_GE(game, 0);
    if (game == 0)
    {
        setenv("XDG_DATA_HOME", xdg.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("QUARROW_HIGHSCORE_HOST", server.host().c_str(), 1);
        // Leaks are checked in process; a driver unloaded at exit would make the status 1 here.
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        if (chdir(work.c_str()) != 0)
            _exit(100);
        execl(QUARROW_BINARY, QUARROW_BINARY, static_cast<char*>(nullptr));
        _exit(101);
    }
    const GameProcessGuard guard(game);
    ASSERT_TRUE(logHas(log, "Core: game started")) << readFile(log);
    const std::string window = findGameWindow(game);
    ASSERT_FALSE(window.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    // "options", "highscore" (load game and select level are disabled without a profile).
    keys(window, "Down Down Return");
    ASSERT_TRUE(server.waitForRequests(1, 10000));
    EXPECT_EQ(server.targets()[0], "/api/highscore/?app_id=1");
    keys(window, "Return"); // closes the table
    // Back on the menu's main page: a new profile and its first level.
    keys(window, "Up Up Return a n n 7 Return Return Return");
    ASSERT_TRUE(logHas(log, "Menu: event [level_0, enter]")) << readFile(log);
    std::this_thread::sleep_for(std::chrono::seconds(3)); // the rock, then 40 steps to game over
    EXPECT_EQ(server.targets().size(), 1u) << "the table was closed, not fetched again";

    server.answer("4");
    keys(window, "Left Return"); // "submit score"
    ASSERT_TRUE(server.waitForRequests(2, 10000)) << readFile(log);
    EXPECT_EQ(server.targets()[1], "/api/highscore/?action=submit&app_id=1&name=ann7&score=0&hash=" +
                                       Crypt::md5("7Qm=)x!2(Lp+9Rw=Kd(Tz)4Nv+Hs!bY8ann70"));
    keys(window, "Return"); // closes "score submitted"; game over stays

    // The next submission's refusal is on screen when the program is asked to end.
    server.answer("!try again later");
    keys(window, "Return");
    ASSERT_TRUE(server.waitForRequests(3, 10000)) << readFile(log);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(game, SIGTERM);
    EXPECT_EQ(waitForExit(game, 60), 0) << readFile(log);

    const std::string logText = readFile(log);
    EXPECT_NE(logText.find("Core: quit signal"), std::string::npos) << logText;
    EXPECT_NE(logText.find("Game: done"), std::string::npos) << logText;
    EXPECT_EQ(readFile(appData + "users.ini"), "ann7\n");
    EXPECT_EQ(server.targets().size(), 3u);
}
