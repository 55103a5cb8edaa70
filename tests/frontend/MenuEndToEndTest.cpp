// The real game under Xvfb, driven by xdotool key events from a fresh application-data folder.
#include "GameWindow.h"
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

// Waits until the file holds the text at least `times` times.
bool waitFor(const std::string& path, const std::string& text, int times = 1, int seconds = 60)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end)
    {
        if (countOf(readFile(path), text) >= times)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

int xdotool(const std::string& window, const std::string& arguments)
{
    const std::string command = "xdotool " + arguments + " >/dev/null 2>&1";
    (void)window;
    return std::system(command.c_str());
}

// Keys with a pause after each, so every press lands in a step of its own.
void keys(const std::string& window, const std::string& names)
{
    for (size_t at = 0; at < names.size();)
    {
        const size_t space = names.find(' ', at);
        const std::string name =
            names.substr(at, space == std::string::npos ? std::string::npos : space - at);
        xdotool(window, keyArguments(window, name));
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        at = space == std::string::npos ? names.size() : space + 1;
    }
}

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
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "needs an X display (xvfb-run)";
    const std::string work = workingFolder();
    const std::string xdg = makeTempDir("quarrow-e2e-xdg");
    const std::string appData = xdg + "/vormel/Quarrow/";
    const std::string log = appData + "log.txt";

    const pid_t game = fork();
    ASSERT_GE(game, 0);
    if (game == 0)
    {
        setenv("XDG_DATA_HOME", xdg.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        // Leaks are checked by the in-process menu tests; here a driver unloaded at exit would
        // leave an unattributable report that turns the exit status into 1.
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        if (chdir(work.c_str()) != 0)
            _exit(100);
        execl(QUARROW_BINARY, QUARROW_BINARY, static_cast<char*>(nullptr));
        _exit(101);
    }
    const GameProcessGuard guard(game);

    ASSERT_TRUE(waitFor(log, "Core: game started")) << readFile(log);
    // Other tests may have windows of the same caption on this display: ours is found by its process.
    const std::string id = findGameWindow(game);
    ASSERT_FALSE(id.empty());
    // Keys go to our window only (sent events), never to whatever window has the focus.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    keys(id, "Return t e s t e r 1 Return");
    ASSERT_TRUE(waitFor(log, "Menu: event [start_name, enter]")) << readFile(log);
    keys(id, "Return Return"); // tutorial levels, then the first level
    ASSERT_TRUE(waitFor(log, "Menu: event [level_0, enter]")) << readFile(log);
    ASSERT_TRUE(waitFor(log, ".txt loaded", 2)) << readFile(log);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    // A shipped level may greet the player with a text box at the start; Enter closes it and does
    // nothing in play.
    keys(id, "Return");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    keys(id, "Escape");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    keys(id, "Down Down Down Down Down Return Return"); // "exit game", "exit to system"

    int status = -1;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    pid_t done = 0;
    while (done == 0 && std::chrono::steady_clock::now() < end)
    {
        done = waitpid(game, &status, WNOHANG);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (done == 0)
    {
        kill(game, SIGKILL);
        waitpid(game, &status, 0);
        FAIL() << "the game did not end\n" << readFile(log);
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << readFile(log);

    const std::string logText = readFile(log);
    EXPECT_NE(logText.find("Menu: event [exit_yes, enter]"), std::string::npos) << logText;
    EXPECT_EQ(readFile(appData + "users.ini"), "tester1\n");
    const std::string profile = readFile(appData + "user_tester1.ini");
    EXPECT_FALSE(profile.empty());
    EXPECT_EQ(profile.substr(0, 2), "0\n");
    const int levels = countOf(profile, "\n") - 1;
    EXPECT_GE(levels, 1);
    EXPECT_EQ(profile.find_first_not_of("0\n"), std::string::npos) << profile;
    const std::string hashes = readFile(appData + "hashes.ini");
    EXPECT_NE(hashes.find("\t" + appData + "user_tester1.ini"), std::string::npos) << hashes;
    EXPECT_NE(hashes.find("\tlevels.ini"), std::string::npos) << hashes;
}
