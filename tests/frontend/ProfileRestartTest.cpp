// The real game under Xvfb, run twice on one application-data folder: what the first run saved
// in the profile is what the second run loads.
#include "GameSession.h"
#include "Harness.h"
#include "TestEnv.h"

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

namespace
{

struct Refusal
{
    int status = -1;
    std::string stderrText;
};

// Starts the real game on the data home as a second double click would, and waits at most 60 s
// for it to end by itself.
Refusal startAgain(const std::string& work, const std::string& xdg,
                   const std::string& binary = QUARROW_BINARY)
{
    Refusal run;
    const std::string errPath = makeTempDir("quarrow-second-stderr") + "/stderr.txt";
    const pid_t pid = fork();
    if (pid == 0)
    {
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, 2);
        if (chdir(work.c_str()) != 0)
        {
            _exit(120);
        }
        setenv("XDG_DATA_HOME", xdg.c_str(), 1);
        execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
        _exit(121);
    }
    for (int i = 0; i < 3000 && waitpid(pid, &run.status, WNOHANG) == 0; ++i)
    {
        usleep(20000);
    }
    if (waitpid(pid, &run.status, WNOHANG) == 0)
    {
        kill(pid, SIGKILL);
        waitpid(pid, &run.status, 0);
        ADD_FAILURE() << "the second game did not end";
    }
    run.stderrText = readFile(errPath);
    return run;
}

} // namespace

// Two games on one data folder would each rewrite the players and hashes they read at their start.
// The second start is turned away before it writes anything; a game killed outright leaves no lock.
TEST(ProfileRestart, ASecondStartIsRefusedAndLosesNothing)
{
    const std::string level = "5 3\ntileset1\nlevel1.ogg\n#####\n#p.x#\n#####\n0\n";
    const std::string work =
        makeWorkDir({{"levels.ini", "levels/tutorial/one.txt\n"}, {"levels/tutorial/one.txt", level}});
    const std::string xdg = makeTempDir("quarrow-twice-xdg");
    const std::string appData = xdg + "/vormel/Quarrow/";
    const char* const files[] = {"log.txt", "config.ini", "users.ini", "hashes.ini", "user_ann.ini"};
    std::map<std::string, std::string> before;
    {
        GameSession first(work, xdg);
        ASSERT_TRUE(first.start()) << first.logText();
        first.keys("Return a n n Return"); // new game "ann": the profile is saved
        ASSERT_TRUE(first.logHas("Menu: event [start_name, enter]")) << first.logText();
        for (int i = 0; i < 500 && readFile(appData + "users.ini") != "ann\n"; ++i)
        {
            usleep(20000);
        }
        ASSERT_EQ(readFile(appData + "users.ini"), "ann\n");
        for (const char* name : files)
        {
            before[name] = readFile(appData + name);
        }

        const Refusal second = startAgain(work, xdg);
        ASSERT_TRUE(WIFEXITED(second.status)) << second.status;
        EXPECT_EQ(WEXITSTATUS(second.status), 255);
        EXPECT_EQ(second.stderrText, "Quarrow is already running with " + appData + ", close it first\n");
        for (const char* name : files)
        {
            EXPECT_EQ(readFile(appData + name), before[name]) << name;
        }
        EXPECT_FALSE(first.ended()) << "the running game goes on";
        first.terminate(SIGKILL);
    }

    GameSession third(work, xdg);
    ASSERT_TRUE(third.start()) << third.logText();
    third.keys("Down"); // "load game"
    ASSERT_TRUE(third.logHas("Menu: event [main, step]")) << third.logText();
    third.keys("Return Return"); // "ann": her reached level
    EXPECT_TRUE(third.logHas("Level: levels/tutorial/one.txt loaded", 2)) << third.logText();
    EXPECT_EQ(third.terminate(SIGTERM), 0) << third.logText();
    EXPECT_EQ(third.logText().find("not found in hashes.ini"), std::string::npos) << third.logText();
}

namespace
{

// The game as a player who is not root runs it: root may write any file. "" when this cannot be
// arranged; the game itself when the tests do not run as root.
std::string gameOfAPlayer(uid_t& player)
{
    player = getuid();
    if (player != 0)
    {
        return QUARROW_BINARY;
    }
    player = 54321;
    while (getpwuid(player) != nullptr)
    {
        ++player;
    }
    const std::string id = std::to_string(player);
    const std::string folder = makeTempDir("quarrow-player");
    const std::string script = folder + "/quarrow";
    writeFile(script, "#!/bin/sh\nexec setpriv --reuid=" + id + " --regid=" + id + " --clear-groups " +
                          QUARROW_BINARY + "\n");
    if (chmod(folder.c_str(), 0755) != 0 || chmod(script.c_str(), 0755) != 0 ||
        access("/usr/bin/setpriv", X_OK) != 0)
    {
        return "";
    }
    return script;
}

} // namespace

// Whatever the lock file has become, a second start is refused while the first runs: one restored
// read-only from a backup still takes the lock of a player who may not write it, and through a
// link to a missing file nothing is made.
TEST(ProfileRestart, ASecondStartIsRefusedWhateverTheLockFileHasBecome)
{
    uid_t player = 0;
    const std::string game = gameOfAPlayer(player);
    if (game.empty())
    {
        GTEST_SKIP() << "no setpriv to start the game as a player who is not root";
    }
    const std::string level = "5 3\ntileset1\nlevel1.ogg\n#####\n#p.x#\n#####\n0\n";
    const std::string work =
        makeWorkDir({{"levels.ini", "levels/tutorial/one.txt\n"}, {"levels/tutorial/one.txt", level}});
    ASSERT_EQ(chmod(work.c_str(), 0755), 0);
    struct Case
    {
        const char* name;
        std::function<void(const std::string&, const std::string&)> make; // (lock file, elsewhere)
    };
    const std::vector<Case> cases = {
        {"read-only",
         [](const std::string& lock, const std::string&)
         {
             writeFile(lock, "");
             ASSERT_EQ(chmod(lock.c_str(), 0444), 0);
         }},
        {"dangling link", [](const std::string& lock, const std::string& elsewhere)
         { ASSERT_EQ(symlink((elsewhere + "/target").c_str(), lock.c_str()), 0); }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string xdg = makeTempDir("quarrow-lock-xdg");
        const std::string appData = xdg + "/vormel/Quarrow/";
        const std::string elsewhere = makeTempDir("quarrow-lock-elsewhere");
        ASSERT_EQ(mkdir((xdg + "/vormel").c_str(), 0755), 0);
        ASSERT_EQ(mkdir(appData.c_str(), 0755), 0);
        const std::string lock = appData + "quarrow.lock";
        c.make(lock, elsewhere);
        for (const std::string& path : {xdg, xdg + "/vormel", appData, lock, elsewhere})
        {
            ASSERT_EQ(lchown(path.c_str(), player, static_cast<gid_t>(-1)), 0) << path;
        }

        GameSession first(work, xdg, {}, game);
        ASSERT_TRUE(first.start()) << first.logText();
        std::map<std::string, std::string> before;
        for (const char* name : {"log.txt", "config.ini", "users.ini", "hashes.ini"})
        {
            before[name] = readFile(appData + name);
        }
        const Refusal second = startAgain(work, xdg, game);
        ASSERT_TRUE(WIFEXITED(second.status)) << second.status;
        EXPECT_EQ(WEXITSTATUS(second.status), 255);
        EXPECT_EQ(second.stderrText, "Quarrow is already running with " + appData + ", close it first\n");
        for (const auto& file : before)
        {
            // The running game may still be logging: its log only grows.
            const std::string now = readFile(appData + file.first);
            EXPECT_EQ(file.first == "log.txt" ? now.substr(0, file.second.size()) : now, file.second)
                << file.first;
        }
        EXPECT_NE(access((elsewhere + "/target").c_str(), F_OK), 0) << "made through the link";
        EXPECT_FALSE(first.ended()) << "the running game goes on";
        EXPECT_EQ(first.terminate(SIGTERM), 0) << first.logText();
    }
}
