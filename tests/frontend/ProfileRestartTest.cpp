// The real game under Xvfb, run twice on one application-data folder: what the first run saved
// in the profile is what the second run loads.
#include "GameWindow.h"
#include "Harness.h"
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

int occurrences(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
    {
        ++count;
    }
    return count;
}

// Waits until the file holds the text at least `times` times.
bool waitForText(const std::string& path, const std::string& text, int seconds = 60, int times = 1)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end)
    {
        if (occurrences(readFile(path), text) >= times)
        {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

void pause(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// One run of build/quarrow in work with the application data under xdg.
class GameProcess
{
  public:
    GameProcess(const std::string& work, const std::string& xdg) : log(xdg + "/vormel/Quarrow/log.txt")
    {
        // The game starts its log afresh, but only once it runs: the last run's "game started" must
        // not be taken for this one's.
        unlink(log.c_str());
        pid = fork();
        if (pid == 0)
        {
            setenv("XDG_DATA_HOME", xdg.c_str(), 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            // The unloaded GL driver's allocations are reported without a module to suppress them
            // by; leaks of our own code are checked by the in-process tests.
            setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
            if (chdir(work.c_str()) != 0)
            {
                _exit(100);
            }
            execl(QUARROW_BINARY, QUARROW_BINARY, static_cast<char*>(nullptr));
            _exit(101);
        }
    }
    ~GameProcess()
    {
        if (pid > 0)
        {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    // Waits for the window; false when it does not appear. Keys are sent to it, so it needs no focus
    // (focus on a display shared with other tests' windows would only be taken away again).
    bool findWindow()
    {
        if (pid < 0 || !waitForText(log, "Core: game started"))
        {
            return false;
        }
        window = findGameWindow(pid);
        pause(500);
        return !window.empty();
    }

    void keys(const std::string& names)
    {
        for (size_t at = 0; at < names.size();)
        {
            const size_t space = names.find(' ', at);
            const std::string name =
                names.substr(at, space == std::string::npos ? std::string::npos : space - at);
            run(keyArguments(window, name));
            pause(250);
            at = space == std::string::npos ? names.size() : space + 1;
        }
    }

    // Holds the key until the file holds the text (at most `seconds`). The key-down is sent again
    // and again: a window of another test mapped or unmapped over ours makes the X server send a
    // keymap notify, and SDL then takes the key state from the server's keyboard, where the sent
    // key is up.
    bool holdUntil(const std::string& name, const std::string& path, const std::string& text,
                   int seconds = 60)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        bool found = false;
        while (!found && std::chrono::steady_clock::now() < end)
        {
            run("keydown --window " + window + " " + name);
            pause(100);
            found = readFile(path).find(text) != std::string::npos;
        }
        run("keyup --window " + window + " " + name);
        return found;
    }

    // SIGTERM (the window's close) and the exit status; -1 when it does not end in time.
    int terminate()
    {
        kill(pid, SIGTERM);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        int status = 0;
        while (std::chrono::steady_clock::now() < end)
        {
            if (waitpid(pid, &status, WNOHANG) == pid)
            {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            pause(50);
        }
        return -1;
    }

    std::string logText() const { return readFile(log); }
    const std::string log;

  private:
    static void run(const std::string& arguments)
    {
        const std::string command = "xdotool " + arguments + " >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
        {
            // A missed key shows up in what the test checks next.
        }
    }

    pid_t pid;
    std::string window;
};

} // namespace

TEST(ProfileRestart, ReachedLevelSurvivesARestart)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "needs an X display (xvfb-run)";
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
        GameProcess first(work, xdg);
        ASSERT_TRUE(first.findWindow()) << first.logText();
        // Keys are sent a while apart, never back to back: SDL takes a sent key-up followed at once by
        // a key-down of the same key (both stamped with time 0) for a held key's repeat and drops both.
        first.keys("Return k i m Return"); // start new game "kim": the levels page
        first.keys("Return Return");       // tutorial, its first level
        ASSERT_TRUE(waitForText(first.log, "Menu: event [level_0, enter]")) << first.logText();
        // The first load is the menu's background level at start-up.
        ASSERT_TRUE(waitForText(first.log, "Level: levels/tutorial/one.txt loaded", 60, 2))
            << first.logText();
        pause(300);
        // Two cells to the exit; the finished level is saved in the profile.
        ASSERT_TRUE(first.holdUntil("Right", profile, "1\n")) << first.logText();
        EXPECT_EQ(first.terminate(), 0);
    }
    EXPECT_EQ(readFile(appData + "users.ini"), "kim\n");
    EXPECT_EQ(readFile(profile).substr(0, 2), "1\n");

    GameProcess second(work, xdg);
    ASSERT_TRUE(second.findWindow()) << second.logText();
    second.keys("Down"); // "load game"
    ASSERT_TRUE(waitForText(second.log, "Menu: event [main, step]")) << second.logText();
    second.keys("Return Return"); // "kim": starts the reached level
    EXPECT_TRUE(waitForText(second.log, "Level: levels/tutorial/two.txt loaded")) << second.logText();
    EXPECT_EQ(second.terminate(), 0);
    const std::string log = second.logText();
    EXPECT_EQ(log.find("is corrupted"), std::string::npos) << log;
    EXPECT_EQ(log.find("not found in hashes.ini"), std::string::npos) << log;
}
