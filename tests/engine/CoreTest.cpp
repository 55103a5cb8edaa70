#include "Core.h"
#include "TestEnv.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

bool isFolder(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

TEST(Core, MakesTheAppDataFolderUnderTheXdgDataHome)
{
    const std::string expected = useFreshAppData();
    const std::string home = expected.substr(0, expected.size() - std::string("vormel/Quarrow/").size());
    EXPECT_FALSE(isFolder(home + "vormel"));
    EXPECT_EQ(Core::getAppDataDir(), expected);
    EXPECT_TRUE(isFolder(home + "vormel/Quarrow"));

    // Later calls return the kept string without looking at the disk again.
    ASSERT_EQ(rmdir((home + "vormel/Quarrow").c_str()), 0);
    EXPECT_EQ(Core::getAppDataDir(), expected);
    EXPECT_FALSE(isFolder(home + "vormel/Quarrow"));
}

TEST(Core, FallsBackToHomeThenToTheWorkingFolder)
{
    const std::string home = makeTempDir("quarrow-home");
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", home.c_str(), 1);
    EXPECT_EQ(Core::getAppDataDir(), home + "/.local/share/vormel/Quarrow/");
    EXPECT_TRUE(isFolder(home + "/.local/share/vormel/Quarrow"));
}

struct DataHomeCase
{
    const char* name;
    const char* xdg;  // nullptr: unset
    const char* home; // nullptr: unset
    std::string expected;
};

void PrintTo(const DataHomeCase& c, std::ostream* out)
{
    *out << c.name;
}

std::string accountHome()
{
    const passwd* account = getpwuid(getuid());
    return account != nullptr ? account->pw_dir : "";
}

class CoreDataHome : public ::testing::TestWithParam<DataHomeCase>
{
};

// One folder however its path is spelled, and a home even where the environment names none.
TEST_P(CoreDataHome, NamesOneFolderWithoutExtraSlashes)
{
    const DataHomeCase& c = GetParam();
    c.xdg != nullptr ? setenv("XDG_DATA_HOME", c.xdg, 1) : unsetenv("XDG_DATA_HOME");
    c.home != nullptr ? setenv("HOME", c.home, 1) : unsetenv("HOME");
    EXPECT_EQ(Core::getDataHome(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Core, CoreDataHome,
    ::testing::Values(DataHomeCase{"Xdg", "/data/home", "/h", "/data/home"},
                      DataHomeCase{"XdgTrailingSlash", "/data/home/", "/h", "/data/home"},
                      DataHomeCase{"XdgDoubledSlashes", "//data//home//", "/h", "/data/home"},
                      DataHomeCase{"EmptyXdgUsesHome", "", "/h/", "/h/.local/share"},
                      DataHomeCase{"RootHome", nullptr, "/", "/.local/share"},
                      DataHomeCase{"NoHomeUsesTheAccount", nullptr, nullptr, accountHome() + "/.local/share"},
                      DataHomeCase{"EmptyHomeUsesTheAccount", nullptr, "", accountHome() + "/.local/share"}),
    [](const ::testing::TestParamInfo<DataHomeCase>& info) { return std::string(info.param.name); });

TEST(Core, ATrailingSlashInTheDataHomeGivesTheSameFolder)
{
    const std::string expected = useFreshAppData();
    const std::string home = expected.substr(0, expected.size() - std::string("/vormel/Quarrow/").size());
    setenv("XDG_DATA_HOME", (home + "//").c_str(), 1);
    EXPECT_EQ(Core::getAppDataDir(), expected);
}

// The working folder is the last resort: an account without an entry in the password database (a
// bare container, a uid of a service) and no home in the environment.
TEST(Core, UsesTheWorkingFolderWithoutAnyHome)
{
    if (getuid() != 0)
    {
        GTEST_SKIP() << "needs root to take a uid that has no account";
    }
    const std::string work = makeTempDir("quarrow-work");
    ASSERT_EQ(chmod(work.c_str(), 0777), 0);
    const pid_t pid = fork();
    if (pid == 0)
    {
        uid_t stranger = 54321;
        while (getpwuid(stranger) != nullptr)
        {
            ++stranger;
        }
        if (chdir(work.c_str()) != 0 || setgid(stranger) != 0 || setuid(stranger) != 0)
        {
            _exit(2);
        }
        unsetenv("XDG_DATA_HOME");
        unsetenv("HOME");
        if (Core::getAppDataDir() != "./")
        {
            _exit(3);
        }
        // Start-up fails later (no window in this test), but the log says where the files went.
        Core::init("missing-folder/config.ini");
        Core::shutdown();
        _exit(0);
    }
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(readFile(work + "/log.txt").find("keeping files in the working folder"), std::string::npos);
}

TEST(Core, TakesAnyLengthOfPath)
{
    std::string home = makeTempDir("quarrow-long");
    for (int i = 0; i < 6; ++i)
    {
        home += "/" + std::string(200, static_cast<char>('a' + i));
        ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
    }
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    EXPECT_EQ(Core::getAppDataDir(), home + "/vormel/Quarrow/");
    EXPECT_TRUE(isFolder(home + "/vormel/Quarrow"));
}

TEST(Core, StartUpErrorIsLoggedAndReturned)
{
    const std::string appData = useFreshAppData();
    EXPECT_EQ(Core::init("no-such-folder/config.ini"), -1);
    EXPECT_EQ(Core::getConfig(), nullptr);
    Core::shutdown();
    EXPECT_EQ(readFile(appData + "log.txt"), "Config: init\nConfig: " + appData +
                                                 "no-such-folder/config.ini not exists, trying to create\n"
                                                 "Init error: Config: Can't open " +
                                                 appData + "no-such-folder/config.ini to write\n");
}

TEST(Core, QuitLogsAnEmptyLineAfterIt)
{
    const std::string appData = useFreshAppData();
    writeFile(appData + "log.txt", "an old run\n");
    Core::init("no-such-folder/config.ini");
    EXPECT_TRUE(Core::isRunning());
    Core::quit();
    EXPECT_FALSE(Core::isRunning());
    Core::log("after");
    Core::shutdown();
    const std::string log = readFile(appData + "log.txt");
    EXPECT_EQ(log.find("an old run"), std::string::npos);
    EXPECT_NE(log.find("\nCore: quit signal\n\nafter\n"), std::string::npos);
}

namespace
{

// Start-up that gets past the configuration and the sound driver and fails at the window: a video
// driver that does not exist makes the window library refuse to start.
std::string startUpFailingAtTheWindow(const std::string& configBytes)
{
    const std::string appData = useFreshAppData();
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    EXPECT_EQ(Core::getAppDataDir(), appData);
    writeFile(appData + "config.ini", configBytes);
    EXPECT_EQ(Core::init("config.ini"), -1);
    EXPECT_NE(Core::getConfig(), nullptr);
    EXPECT_EQ(Core::getDevice(), nullptr);
    return appData;
}

} // namespace

TEST(Core, AFailedStartUpStillSavesTheConfiguration)
{
    const std::string appData = startUpFailingAtTheWindow("zeta = 1\r\nsound_volume = 5\r\nalpha = 2\r\n");
    Core::shutdown();
    EXPECT_EQ(readFile(appData + "config.ini"), "alpha = 2\nsound_volume = 5\nzeta = 1\n");
    const std::string log = readFile(appData + "log.txt");
    const size_t error = log.find("Init error: ");
    const size_t audioDone = log.find("AudioDriver: done\n");
    ASSERT_NE(error, std::string::npos) << log;
    EXPECT_LT(error, audioDone) << log;
    EXPECT_EQ(log.find("Device: done"), std::string::npos) << log;
    EXPECT_EQ(log.substr(audioDone), "AudioDriver: done\nConfig: saved\nConfig: done\n");
}

TEST(Core, AConfigurationThatCannotBeSavedAtShutDownIsLoggedAndTheShutDownEnds)
{
    const std::string appData = startUpFailingAtTheWindow("sound_volume = 5\n");
    // A folder in the file's place: it can no longer be written.
    ASSERT_EQ(unlink((appData + "config.ini").c_str()), 0);
    ASSERT_EQ(mkdir((appData + "config.ini").c_str(), 0755), 0);
    Core::shutdown();
    const std::string log = readFile(appData + "log.txt");
    const size_t audioDone = log.find("AudioDriver: done\n");
    ASSERT_NE(audioDone, std::string::npos) << log;
    EXPECT_EQ(log.substr(audioDone), "AudioDriver: done\nConfig: Can't save " + appData +
                                         "config.ini: rename failed (Is a directory)\nConfig: done\n");
}
