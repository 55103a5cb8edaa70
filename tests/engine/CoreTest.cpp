#include "Core.h"
#include "NonPlainFiles.h"
#include "TestEnv.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

namespace
{

// Core::init as a start of the game would run it, in this process: its result, then what it wrote
// to the standard error. The configuration is never found, so the start ends right after the log.
std::string startUpWritesToStandardError()
{
    // The few lines fit the pipe's buffer: nothing waits on a reader.
    int err[2];
    if (pipe(err) != 0)
    {
        return "no pipe";
    }
    const int saved = dup(2);
    dup2(err[1], 2);
    close(err[1]);
    const int result = Core::init("no-such-folder/config.ini");
    dup2(saved, 2);
    close(saved);
    std::string text = std::to_string(result) + "\n";
    char buffer[4096];
    for (ssize_t n = read(err[0], buffer, sizeof buffer); n > 0; n = read(err[0], buffer, sizeof buffer))
    {
        text.append(buffer, static_cast<size_t>(n));
    }
    close(err[0]);
    return text;
}

// An unused uid for the lock's tests when run as root, who opens any file for writing; else our own.
uid_t strangerUid()
{
    if (getuid() != 0)
    {
        return getuid();
    }
    uid_t stranger = 54321;
    while (getpwuid(stranger) != nullptr)
    {
        ++stranger;
    }
    return stranger;
}

mode_t typeOf(NonPlain kind)
{
    switch (kind)
    {
    case NonPlain::fifo:
        return S_IFIFO;
    case NonPlain::device:
        return S_IFCHR;
    case NonPlain::socket:
        return S_IFSOCK;
    case NonPlain::folder:
        return S_IFDIR;
    }
    return 0;
}

void becomeStranger(uid_t stranger)
{
    if (getuid() == 0 && (setgid(stranger) != 0 || setuid(stranger) != 0))
    {
        _exit(2);
    }
}

} // namespace

// The log is a plain file (emptied) or a device such as a null device; anything else stops the
// start at once with its name and what it is, instead of waiting for a reader.
TEST(Core, ALogThatIsNotAPlainFileStopsTheStartUnlessItIsADevice)
{
    struct Case
    {
        std::string name;
        NonPlain kind;
        bool linked; // log.txt is a link to it
        bool reader; // someone reads the FIFO
    };
    const std::vector<Case> cases = {
        {"fifo", NonPlain::fifo, false, false},     {"fifo with a reader", NonPlain::fifo, false, true},
        {"socket", NonPlain::socket, false, false}, {"folder", NonPlain::folder, false, false},
        {"device", NonPlain::device, false, false}, {"link to a device", NonPlain::device, true, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Core::shutdown(); // forgets the last case's folder
        const std::string appData = useFreshAppData();
        ASSERT_EQ(Core::getAppDataDir(), appData);
        const std::string log = appData + "log.txt";
        const std::string target = c.linked ? makeTempDir("quarrow-log-target") + "/null" : log;
        if (!makeNonPlain(target, c.kind))
        {
            continue; // a device node needs root
        }
        if (c.linked)
        {
            ASSERT_EQ(symlink(target.c_str(), log.c_str()), 0);
        }
        const int reader = c.reader ? open(log.c_str(), O_RDONLY | O_NONBLOCK) : -1;
        const std::string seen = withinSeconds(30,
                                               []()
                                               {
                                                   const std::string text = startUpWritesToStandardError();
                                                   Core::shutdown();
                                                   return text;
                                               });
        if (c.kind == NonPlain::device)
        {
            // Started and stopped at the configuration, logging into the device.
            EXPECT_EQ(seen, "-1\nInit error: Config: Can't open " + appData +
                                "no-such-folder/config.ini to write\n");
        }
        else
        {
            EXPECT_EQ(seen, "-1\nCan't open log file " + log + " (" + refusalOf(c.kind) + ")\n");
        }
        struct stat info;
        ASSERT_EQ(stat(log.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & S_IFMT, typeOf(c.kind)) << "log.txt was replaced";
        if (reader >= 0)
        {
            close(reader);
        }
    }
}

// Whatever stands in place of the lock file, a second start on the folder is turned away while the
// first runs, and nothing is made through a link. A player who may not write the lock file (one
// restored read-only from a backup) still holds the lock: it holds on a file open for reading.
TEST(Core, TheDataFolderIsLockedWhateverStandsInPlaceOfTheLockFile)
{
    const uid_t stranger = strangerUid();
    struct Case
    {
        std::string name;
        std::function<void(const std::string&, const std::string&)> make; // (lock file, elsewhere)
        std::string logLine; // the first start's line about the lock, "" for none
    };
    const std::vector<Case> cases = {
        {"read-only lock file",
         [&](const std::string& lock, const std::string&)
         {
             writeFile(lock, "");
             ASSERT_EQ(chown(lock.c_str(), stranger, static_cast<gid_t>(-1)), 0);
             ASSERT_EQ(chmod(lock.c_str(), 0444), 0);
         },
         ""},
        {"dangling link",
         [](const std::string& lock, const std::string& elsewhere)
         { ASSERT_EQ(symlink((elsewhere + "/target").c_str(), lock.c_str()), 0); },
         "is a link"},
        {"fifo",
         [](const std::string& lock, const std::string&) { ASSERT_TRUE(makeNonPlain(lock, NonPlain::fifo)); },
         "is a FIFO"},
        {"folder",
         [](const std::string& lock, const std::string&)
         { ASSERT_TRUE(makeNonPlain(lock, NonPlain::folder)); },
         "is a folder"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Core::shutdown(); // forgets the last case's folder
        const std::string appData = useFreshAppData();
        ASSERT_EQ(Core::getAppDataDir(), appData);
        const std::string home = appData.substr(0, appData.size() - std::string("/vormel/Quarrow/").size());
        const std::string elsewhere = makeTempDir("quarrow-lock-elsewhere");
        for (const std::string& folder : {home, home + "/vormel", appData, elsewhere})
        {
            ASSERT_EQ(chown(folder.c_str(), stranger, static_cast<gid_t>(-1)), 0);
        }
        const std::string lock = appData + Core::lockFileName;
        c.make(lock, elsewhere);

        // The first start holds the folder until it is killed.
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t first = fork();
        if (first == 0)
        {
            becomeStranger(stranger);
            startUpWritesToStandardError();
            (void)!write(ready[1], "r", 1);
            pause();
            _exit(0);
        }
        close(ready[1]);
        char started = 0;
        pollfd waiting{ready[0], POLLIN, 0};
        const bool holding = poll(&waiting, 1, 30000) == 1 && read(ready[0], &started, 1) == 1;
        close(ready[0]);
        const std::string second = holding ? withinSeconds(30,
                                                           [&]()
                                                           {
                                                               becomeStranger(stranger);
                                                               return startUpWritesToStandardError();
                                                           })
                                           : std::string("the first start did not get going");
        kill(first, SIGKILL);
        waitpid(first, nullptr, 0);

        EXPECT_EQ(second, "-1\nQuarrow is already running with " + appData + ", close it first\n");
        const std::string log = readFile(appData + "log.txt");
        if (c.logLine.empty())
        {
            EXPECT_EQ(log.find(Core::lockFileName), std::string::npos) << log;
        }
        else
        {
            EXPECT_NE(log.find("Core: " + lock + " " + c.logLine + ", the lock is held on " + appData +
                               " instead\n"),
                      std::string::npos)
                << log;
        }
        EXPECT_NE(access((elsewhere + "/target").c_str(), F_OK), 0) << "made through the link";
    }
}
