#include "MinimalGame.h"
#include "TestEnv.h"

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{

// Under AddressSanitizer the game's leak check runs at exit, after the software GL driver was
// unloaded, and it then cannot name (or suppress) that driver's own leaks. Preloading the driver
// keeps it loaded; the sanitizer's runtime has to stay first in the preload list.
// The path of a library this process has loaded whose name contains `name`, or "".
std::string loadedLibrary(const std::string& name)
{
    std::istringstream maps(readFile("/proc/self/maps"));
    for (std::string line; std::getline(maps, line);)
    {
        const size_t slash = line.find('/');
        if (slash != std::string::npos && line.find(name) != std::string::npos)
        {
            return line.substr(slash);
        }
    }
    return std::string();
}

std::string preloadForLeakCheck()
{
    const std::string runtime = loadedLibrary("libasan.so");
    if (runtime.empty())
    {
        return std::string();
    }
    for (const char* driver :
         {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", "/usr/lib/aarch64-linux-gnu/dri/swrast_dri.so",
          "/usr/lib64/dri/swrast_dri.so", "/usr/lib/dri/swrast_dri.so"})
    {
        if (access(driver, R_OK) == 0)
        {
            return runtime + " " + driver;
        }
    }
    return runtime;
}

struct GameRun
{
    int status = -1;
    std::string log;
    std::string stderrText;
};

// Runs the real game in workDir with XDG_DATA_HOME = dataHome. With stopAfterStart it
// is sent SIGTERM once its log says the game started. Waits at most 60 s.
GameRun runGame(const std::string& workDir, const std::string& dataHome, bool stopAfterStart)
{
    GameRun run;
    const std::string errPath = makeTempDir("quarrow-stderr") + "/stderr.txt";
    const std::string preload = preloadForLeakCheck();
    const pid_t pid = fork();
    if (pid == 0)
    {
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, 2);
        if (chdir(workDir.c_str()) != 0)
        {
            _exit(120);
        }
        setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (!preload.empty())
        {
            setenv("LD_PRELOAD", preload.c_str(), 1);
        }
        execl(QUARROW_BINARY, QUARROW_BINARY, static_cast<char*>(nullptr));
        _exit(121);
    }
    const std::string logPath = dataHome + "/vormel/Quarrow/log.txt";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool signalled = false;
    while (std::chrono::steady_clock::now() < deadline)
    {
        const pid_t done = waitpid(pid, &run.status, WNOHANG);
        if (done == pid)
        {
            break;
        }
        if (stopAfterStart && !signalled &&
            readFile(logPath).find("Core: game started\n") != std::string::npos)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            kill(pid, SIGTERM);
            signalled = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (waitpid(pid, &run.status, WNOHANG) == 0)
    {
        kill(pid, SIGKILL);
        waitpid(pid, &run.status, 0);
        ADD_FAILURE() << "the game did not end";
    }
    run.log = readFile(logPath);
    run.stderrText = readFile(errPath);
    return run;
}

// The shared Xvfb now and then refuses a connection while many tests start at once.
GameRun runGameUntilItGetsADisplay(const std::string& workDir, bool stopAfterStart, std::string& dataHome)
{
    GameRun run;
    for (int attempt = 0; attempt < 10; ++attempt)
    {
        dataHome = makeTempDir("quarrow-xdg");
        run = runGame(workDir, dataHome, stopAfterStart);
        // SDL's x11 driver says "No available video device" when its first probe was refused.
        if (run.log.find("Init error: Couldn't open X11 display") == std::string::npos &&
            run.log.find("Init error: No available video device") == std::string::npos)
        {
            break;
        }
    }
    return run;
}

size_t at(const std::string& log, const std::string& line)
{
    const size_t found = log.find(line);
    EXPECT_NE(found, std::string::npos) << "missing: " << line;
    return found;
}

} // namespace

TEST(EndToEnd, StartsAndStopsCleanlyOnSigterm)
{
    std::string dataHome;
    const GameRun run = runGameUntilItGetsADisplay(makeMinimalGameDir(), true, dataHome);
    ASSERT_TRUE(WIFEXITED(run.status)) << run.stderrText;
    EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.log << run.stderrText;

    const std::string& log = run.log;
    const std::string config = dataHome + "/vormel/Quarrow/config.ini";
    const std::string created =
        "Config: init\nConfig: " + config + " not exists, trying to create\nConfig: " + config + " created\n";
    EXPECT_EQ(log.compare(0, created.size(), created), 0) << log;
    EXPECT_LT(at(log, "Config: init\n"), at(log, "AudioDriver: init\n"));
    EXPECT_LT(at(log, "AudioDriver: init\n"), at(log, "Device: init\n"));
    EXPECT_LT(at(log, "Device: init\n"), at(log, "VideoDriver: init\n"));
    EXPECT_LT(at(log, "Device: Checking available screen resolutions\n"),
              at(log, "\n\nCore: game started\n"));
    const size_t quit = at(log, "Core: quit signal\n\n");
    EXPECT_LT(at(log, "\n\nCore: game started\n"), quit);
    EXPECT_LT(quit, at(log, "Game: done\n"));
    EXPECT_LT(at(log, "Game: done\n"), at(log, "VideoDriver: done\n"));
    EXPECT_LT(quit, at(log, "VideoDriver: done\n"));
    EXPECT_LT(at(log, "VideoDriver: done\n"), at(log, "Device: done\n"));
    EXPECT_LT(at(log, "Device: done\n"), at(log, "AudioDriver: done\n"));
    EXPECT_LT(at(log, "AudioDriver: done\n"), at(log, "Config: saved\n"));
    const std::string end = "Config: saved\nConfig: done\n";
    ASSERT_GE(log.size(), end.size());
    EXPECT_EQ(log.substr(log.size() - end.size()), end);

    EXPECT_EQ(readFile(config),
              "dash_with_control = 1\nmusic_volume = 30\nscreen_bpp = 32\nscreen_full = 0\n"
              "screen_height = 768\nscreen_vsync = 1\nscreen_width = 1024\nsound_volume = 50\n");
}

TEST(EndToEnd, UnwritableAppDataEndsWithMinusOne)
{
    // The data home is a plain file: no folder can be made inside it.
    const std::string file = makeTempDir("quarrow-xdg") + "/not-a-folder";
    writeFile(file, "x");
    const GameRun run = runGame(makeMinimalGameDir(), file, false);
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(WEXITSTATUS(run.status), 255);
    EXPECT_EQ(run.stderrText, "Can't open log file " + file + "/vormel/Quarrow/log.txt (Not a directory)\n");
}

TEST(EndToEnd, AMissingNestedDataHomeIsMadeForThePlayerAlone)
{
    // As on a fresh account whose profile sets XDG_DATA_HOME to a folder nobody made yet.
    const std::string base = makeTempDir("quarrow-xdg-nested");
    std::string dataHome;
    GameRun run;
    for (int attempt = 0; attempt < 10; ++attempt)
    {
        dataHome = base + "/try" + std::to_string(attempt) + "/account/.data";
        run = runGame(makeMinimalGameDir(), dataHome, true);
        if (run.log.find("Init error: Couldn't open X11 display") == std::string::npos &&
            run.log.find("Init error: No available video device") == std::string::npos)
        {
            break;
        }
    }
    ASSERT_TRUE(WIFEXITED(run.status)) << run.stderrText;
    EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.log << run.stderrText;
    EXPECT_NE(run.log.find("Core: game started"), std::string::npos) << run.log;
    const std::string made[] = {"/account", "/account/.data", "/account/.data/vormel",
                                "/account/.data/vormel/Quarrow"};
    const std::string top = dataHome.substr(0, dataHome.size() - std::string("/account/.data").size());
    for (const std::string& folder : made)
    {
        struct stat info;
        ASSERT_EQ(stat((top + folder).c_str(), &info), 0) << folder;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
    }
    EXPECT_NE(readFile(dataHome + "/vormel/Quarrow/config.ini").find("sound_volume = 50"), std::string::npos);
}

// Started from a folder without the game's data (the repository root, say): the start stops with
// a message that names the folder, on standard error too, and leaves the data home so that the
// next start from the right folder runs as a first start would.
TEST(EndToEnd, StartFromAFolderWithoutGameDataStopsAndTheNextStartRuns)
{
    const std::string dataHome = makeTempDir("quarrow-xdg");
    const std::string copy = dataHome + "/vormel/Quarrow/hashes.ini";
    // The shared Xvfb now and then refuses a connection while many tests start at once.
    const auto runWithDisplay = [&](const std::string& workDir, bool stopAfterStart)
    {
        GameRun run;
        for (int attempt = 0; attempt < 10; ++attempt)
        {
            run = runGame(workDir, dataHome, stopAfterStart);
            if (run.log.find("Init error: Couldn't open X11 display") == std::string::npos &&
                run.log.find("Init error: No available video device") == std::string::npos)
            {
                break;
            }
        }
        return run;
    };

    const std::string wrong = makeTempDir("quarrow-wrong-folder");
    char real[PATH_MAX];
    ASSERT_NE(realpath(wrong.c_str(), real), nullptr);
    const GameRun stopped = runWithDisplay(wrong, false);
    ASSERT_TRUE(WIFEXITED(stopped.status)) << stopped.stderrText;
    EXPECT_EQ(WEXITSTATUS(stopped.status), 255) << stopped.log;
    const std::string message = "Init error: HashManager: no game data in " + std::string(real) +
                                " (hashes.ini: No such file or directory), start the game from the "
                                "folder that holds its data\n";
    EXPECT_NE(stopped.log.find(message), std::string::npos) << stopped.log;
    EXPECT_NE(stopped.stderrText.find(message), std::string::npos) << stopped.stderrText;
    EXPECT_EQ(access(copy.c_str(), F_OK), -1);

    const std::string right = makeMinimalGameDir();
    const GameRun started = runWithDisplay(right, true);
    ASSERT_TRUE(WIFEXITED(started.status)) << started.stderrText;
    EXPECT_EQ(WEXITSTATUS(started.status), 0) << started.log << started.stderrText;
    EXPECT_NE(started.log.find("\n\nCore: game started\n"), std::string::npos) << started.log;
    EXPECT_EQ(started.log.find("not found in hashes.ini"), std::string::npos) << started.log;
    EXPECT_EQ(readFile(copy), readFile(right + "/hashes.ini"));
}
