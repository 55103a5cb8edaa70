// The real game under Xvfb, on a copy of its working folder, with a FIFO or a device node in place
// of one file it reads: it never waits on it, SIGTERM ends it, the log names the file, and the
// player's files that were not in the way stay as they were.
#include "Crypt.h"
#include "GameSession.h"
#include "NonPlainFiles.h"
#include "TestEnv.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{

enum class Outcome
{
    stops, // ends by itself with status 255
    quits, // ends by itself with status 0 once the player loads the profile
    runs   // plays on until SIGTERM
};

struct Refused
{
    const char* name;
    const char* file; // in the data folder when it starts with '~', else in the working folder
    NonPlain kind;
    Outcome outcome;
    // A line of the log names the file (<path> for its full path) and says this; "" for none.
    const char* names;
    const char* says;
    bool playerLoads; // with the game running, the player's profile still loads
};

void PrintTo(const Refused& r, std::ostream* out)
{
    *out << r.name;
}

const char* const firstLevel = "levels/tutorial/first_steps.txt";
const std::string profile = "0\n";

bool inAppData(const Refused& r)
{
    return r.file[0] == '~';
}

bool hasLineWith(const std::string& log, const std::string& one, const std::string& other)
{
    for (size_t start = 0; start < log.size();)
    {
        const size_t end = std::min(log.find('\n', start), log.size());
        const std::string line = log.substr(start, end - start);
        if (line.find(one) != std::string::npos && line.find(other) != std::string::npos)
        {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// The step count the preloaded probe keeps, 0 before the first step.
unsigned long long stepsIn(const std::string& probe)
{
    const std::string bytes = readFile(probe);
    unsigned long long count = 0;
    if (bytes.size() >= sizeof count)
    {
        std::memcpy(&count, bytes.data(), sizeof count);
    }
    return count;
}

class NonPlainFilesEndToEnd : public ::testing::TestWithParam<Refused>
{
};

TEST_P(NonPlainFilesEndToEnd, NeverWaitsOnItAndLosesNothing)
{
    const Refused& r = GetParam();
    const std::string work = makeTempDir("quarrow-nonplain-work");
    std::filesystem::copy(QUARROW_DATA_DIR, work, std::filesystem::copy_options::recursive);
    const std::string xdg = makeTempDir("quarrow-nonplain-xdg");
    const std::string appData = xdg + "/vormel/Quarrow/";
    std::filesystem::create_directories(appData);

    // A player "ann" whose profile passes its check; the profile that is refused is listed with the
    // hash of an empty file, which is what a FIFO or null device once read as.
    const std::string profilePath = appData + "user_ann.ini";
    writeFile(appData + "users.ini", "ann\n");
    writeFile(profilePath, std::string(r.file) == "~user_ann.ini" ? "" : profile);
    writeFile(appData + "hashes.ini",
              readFile(work + "/hashes.ini") + Crypt::md5File(profilePath) + "\tuser_ann.ini\n");

    const std::string path = inAppData(r) ? appData + (r.file + 1) : work + "/" + r.file;
    ASSERT_TRUE(unlink(path.c_str()) == 0 || errno == ENOENT) << path;
    if (!makeNonPlain(path, r.kind))
    {
        GTEST_SKIP() << "a device node needs root";
    }
    std::map<std::string, std::string> before;
    for (const char* name : {"users.ini", "user_ann.ini", "hashes.ini"})
    {
        if (appData + name != path)
        {
            before[name] = readFile(appData + name);
        }
    }

    // A log that is not a file cannot be watched: the session keeps its probe apart and the game
    // is pointed at the data home through its environment.
    const bool logRefused = std::string(r.file) == "~log.txt";
    const std::string sessionHome = logRefused ? makeTempDir("quarrow-nonplain-session") : xdg;
    std::map<std::string, std::string> environment;
    if (logRefused)
    {
        environment["XDG_DATA_HOME"] = xdg;
    }
    GameSession game(work, sessionHome, environment);
    bool started = false;
    if (logRefused)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(90);
        while (!game.ended() && stepsIn(sessionHome + "/steps") < 10 &&
               std::chrono::steady_clock::now() < end)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        started = !game.ended() && stepsIn(sessionHome + "/steps") >= 10;
    }
    else
    {
        started = game.start();
    }
    const std::string log = logRefused ? std::string() : game.logText();

    switch (r.outcome)
    {
    case Outcome::stops:
        EXPECT_FALSE(started) << log;
        EXPECT_EQ(game.waitForExit(60), 255) << log;
        break;
    case Outcome::quits:
        ASSERT_TRUE(started) << log;
        game.keys("Down");          // "load game"
        game.keys("Return Return"); // "ann"
        EXPECT_EQ(game.waitForExit(60), 0) << game.logText();
        break;
    case Outcome::runs:
        ASSERT_TRUE(started) << log;
        if (r.playerLoads)
        {
            game.keys("Down");
            game.keys("Return Return");
            EXPECT_TRUE(game.logHas(std::string("Level: ") + firstLevel + " loaded", 2)) << game.logText();
        }
        EXPECT_EQ(game.terminate(SIGTERM, 30), 0) << game.logText();
        break;
    }
    if (r.names[0] != '\0')
    {
        const std::string names = std::string(r.names) == "<path>" ? path : r.names;
        EXPECT_TRUE(hasLineWith(game.logText(), names, r.says)) << game.logText();
    }
    for (const auto& file : before)
    {
        EXPECT_EQ(readFile(appData + file.first), file.second) << file.first;
    }
    // Never replaced by a plain file; only the game's own journal name may be cleared away.
    struct stat after;
    if (lstat(path.c_str(), &after) == 0)
    {
        EXPECT_TRUE(r.kind == NonPlain::fifo ? S_ISFIFO(after.st_mode) : S_ISCHR(after.st_mode)) << path;
    }
    else
    {
        EXPECT_EQ(std::string(r.file), "~save.journal") << path << " is gone";
    }
}

constexpr NonPlain fifo = NonPlain::fifo;
constexpr NonPlain device = NonPlain::device;

INSTANTIATE_TEST_SUITE_P(
    StartUp, NonPlainFilesEndToEnd,
    ::testing::Values(
        Refused{"UsersFifo", "~users.ini", fifo, Outcome::stops, "<path>", "UserManager: can't read", false},
        Refused{"UsersDevice", "~users.ini", device, Outcome::stops, "<path>", "UserManager: can't read",
                false},
        Refused{"ProfileFifo", "~user_ann.ini", fifo, Outcome::quits, "<path>", "is corrupted", false},
        Refused{"ProfileDevice", "~user_ann.ini", device, Outcome::quits, "<path>", "is corrupted", false},
        Refused{"HashesFifo", "~hashes.ini", fifo, Outcome::stops, "<path>", "Init error: ", false},
        Refused{"HashesDevice", "~hashes.ini", device, Outcome::stops, "<path>", "Init error: ", false},
        Refused{"JournalFifo", "~save.journal", fifo, Outcome::runs, "<path>", "is a FIFO", true},
        Refused{"JournalDevice", "~save.journal", device, Outcome::runs, "<path>", "is a character device",
                true},
        // Nothing can be logged: the game stops with its message on the standard error.
        Refused{"LogFifo", "~log.txt", fifo, Outcome::stops, "", "", false},
        // The null device takes the log, and the game plays.
        Refused{"LogDevice", "~log.txt", device, Outcome::runs, "", "", false},
        Refused{"LevelListFifo", "levels.ini", fifo, Outcome::stops, "levels.ini", "is a FIFO", false},
        Refused{"LevelListDevice", "levels.ini", device, Outcome::stops, "levels.ini", "is a device", false},
        // The menu runs without its background level; the profile would load that very level.
        Refused{"FirstLevelFifo", firstLevel, fifo, Outcome::runs, firstLevel, "is a FIFO", false},
        Refused{"FirstLevelDevice", firstLevel, device, Outcome::runs, firstLevel, "is a device", false},
        // Read only when the credits roll, after the last level.
        Refused{"CreditsFifo", "credits.txt", fifo, Outcome::runs, "", "", true},
        Refused{"CreditsDevice", "credits.txt", device, Outcome::runs, "", "", true},
        // The driver's line says the file could not be read; this one names it.
        Refused{"SoundFifo", "sounds/explosion.wav", fifo, Outcome::runs, "sounds/explosion.wav",
                "could not be loaded", true},
        Refused{"SoundDevice", "sounds/explosion.wav", device, Outcome::runs, "sounds/explosion.wav",
                "could not be loaded", true},
        // Settings linked to a device or FIFO: the defaults are played with, and the save at the
        // end goes into it (or fails at once on a FIFO nobody reads).
        Refused{"ConfigFifo", "~config.ini", fifo, Outcome::runs, "<path>", "is a FIFO, not a settings file",
                true},
        Refused{"ConfigDevice", "~config.ini", device, Outcome::runs, "<path>",
                "is a character device, not a settings file", true}),
    [](const ::testing::TestParamInfo<Refused>& info) { return std::string(info.param.name); });

// SIGTERM ends the game at any moment of its start-up as it does later: through its shut-down.
TEST(NonPlainFilesEndToEnd, SigtermDuringStartUpEndsTheGame)
{
    const std::string work = makeTempDir("quarrow-sigterm-work");
    std::filesystem::copy(QUARROW_DATA_DIR, work, std::filesystem::copy_options::recursive);
    for (const int delay : {0, 100, 300, 1000, 2000, 4000})
    {
        SCOPED_TRACE(std::to_string(delay) + " ms after the log appeared");
        const std::string xdg = makeTempDir("quarrow-sigterm-xdg");
        GameSession game(work, xdg);
        // The log is the first thing the game makes: its start-up is under way.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (access(game.log.c_str(), F_OK) != 0 && !game.ended() && std::chrono::steady_clock::now() < end)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        // The start-up runs to its end before the loop sees the request: under the sanitizers, with
        // eight tests at once, that alone can take several seconds.
        const auto sent = std::chrono::steady_clock::now();
        EXPECT_EQ(game.terminate(SIGTERM, 40), 0) << game.logText();
        EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(40));
        EXPECT_NE(game.logText().find("Core: quit signal\n"), std::string::npos) << game.logText();
    }
}

} // namespace
