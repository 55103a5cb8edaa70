#include "Config.h"
#include "Core.h"
#include "Exception.h"
#include "TestEnv.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

const char* const defaultFile = "dash_with_control = 1\r\nsound_volume = 50\r\nmusic_volume = 30\r\n"
                                "screen_bpp = 32\r\nscreen_full = 0\r\nscreen_vsync = 1\r\n"
                                "screen_width = 1024\r\nscreen_height = 768\r\n";

std::string configPath()
{
    return makeTempDir("quarrow-config") + "/config.ini";
}

// What a file reads as: the file saved back from it lists every key read, in key order.
std::string readAndSave(const std::string& bytes)
{
    const std::string path = configPath();
    writeFile(path, bytes);
    {
        Config config(path);
    }
    return readFile(path);
}

} // namespace

TEST(Config, WritesTheDefaultFileWhenMissing)
{
    const std::string path = configPath();
    {
        Config config(path);
        EXPECT_EQ(config.get("sound_volume", 70), 50);
        EXPECT_EQ(readFile(path), defaultFile);
    }
    EXPECT_EQ(readFile(path),
              "dash_with_control = 1\nmusic_volume = 30\nscreen_bpp = 32\nscreen_full = 0\n"
              "screen_height = 768\nscreen_vsync = 1\nscreen_width = 1024\nsound_volume = 50\n");
}

TEST(Config, ReadsLinesAsKeyAnyWordNumber)
{
    struct Case
    {
        const char* name;
        std::string file;
        std::string saved;
    };
    const std::vector<Case> cases = {
        {"first line wins", "sound_volume = 10\nsound_volume = 20\n", "sound_volume = 10\n"},
        // 99999999999999999999 = 0x56BC75E2D630FFFFF: its low 16 bits are all ones.
        {"low 16 bits", "a = 70000\nb = -1\nc = 65535\nd = 99999999999999999999\ne = -70000\n",
         "a = 4464\nb = -1\nc = -1\nd = -1\ne = -4464\n"},
        {"any second word", "x is 1\ny : 2\n", "x = 1\ny = 2\n"},
        {"a colon joins the key", "volume: = 5\n", "volume: = 5\n"},
        {"crlf line ends", "b = 2\r\na = 1\r\n", "a = 1\nb = 2\n"},
        {"blank and empty lines", "\n   \n\t\na = 1\n\n", "a = 1\n"},
        {"key without a number gets 0, never an earlier number", "a = 7\nb =\nc\nd = x\ne 5\n",
         "a = 7\nb = 0\nc = 0\nd = 0\ne = 0\n"},
        {"sign and trailing text", "a = +12\nb = 12abc\nc = -\n", "a = 12\nb = 12\nc = 0\n"},
        {"empty file", "", ""},
        {"no final line end", "a = 3", "a = 3\n"},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(readAndSave(c.file), c.saved) << c.name;
    }
}

TEST(Config, SurvivesHostileFiles)
{
    // A line of 300 characters is read as its first 255 and the rest skipped; reading goes on.
    const std::string longKey(300, 'k');
    EXPECT_EQ(readAndSave(longKey + " = 1\nafter = 2\n"), "after = 2\n" + std::string(255, 'k') + " = 0\n");
    EXPECT_EQ(readAndSave("k = " + std::string(100000, '9') + "\nafter = 2\n"), "after = 2\nk = -1\n");
    EXPECT_EQ(readAndSave(std::string(100000, ' ') + "\nafter = 2"), "after = 2\n");

    // Binary: zero bytes end a line's text, other bytes are just characters of a word.
    std::string binary;
    for (int i = 0; i < 4096; ++i)
    {
        binary += static_cast<char>((i * 37 + 11) & 0xFF);
    }
    const std::string path = configPath();
    writeFile(path, binary + "\nlast = 9\n");
    {
        Config config(path);
        EXPECT_EQ(config.get("last", 0), 9);
    }
    writeFile(path, std::string("a = 1\0 = 2\nb = 3\n", 17));
    {
        Config config(path);
        EXPECT_EQ(config.get("a", -5), 1);
        EXPECT_EQ(config.get("b", -5), 3);
    }
}

TEST(Config, GetNeverAddsAndSetAddsInKeyOrder)
{
    const std::string path = configPath();
    writeFile(path, "m = 1\n");
    {
        Config config(path);
        EXPECT_EQ(config.get("absent", 42), 42);
        EXPECT_EQ(config.get("absent", -3), -3);
        config.set("zz", 5);
        config.set("aa", -6);
        config.set("m", 2);
        EXPECT_EQ(config.get("m", 0), 2);
        // Nothing is written before save.
        EXPECT_EQ(readFile(path), "m = 1\n");
    }
    EXPECT_EQ(readFile(path), "aa = -6\nm = 2\nzz = 5\n");
}

TEST(Config, FailuresAreReportedWithThePath)
{
    // A folder that does not exist: the default file cannot be created.
    const std::string missing = makeTempDir("quarrow-config") + "/no/such/config.ini";
    try
    {
        Config config(missing);
        FAIL() << "no error";
    }
    catch (Exception* e)
    {
        EXPECT_EQ(e->getMessage(), "Config: Can't open " + missing + " to write");
        EXPECT_EQ(e->getCode(), -1);
        delete e;
    }

    // The file can be read but no longer written: the save says so, and the destructor ends.
    const std::string path = configPath();
    writeFile(path, "a = 1\n");
    Config* config = new Config(path);
    config->set("a", 2);
    const std::string folder = path.substr(0, path.rfind('/'));
    ASSERT_EQ(rename(folder.c_str(), (folder + "-moved").c_str()), 0);
    EXPECT_FALSE(config->save());
    EXPECT_NO_THROW(delete config);
    EXPECT_EQ(readFile(folder + "-moved/config.ini"), "a = 1\n");
    // Back where the end of the test program cleans up.
    EXPECT_EQ(rename((folder + "-moved").c_str(), folder.c_str()), 0);
}

TEST(Config, ASaveThatCannotBeWrittenWholeKeepsTheOldFile)
{
    const std::string path = configPath();
    const std::string own = "music_volume = 12\nscreen_full = 1\nsound_volume = 88\n";
    writeFile(path, own);
    // Every size the new file could be cut at, as on a disk that fills up during the save.
    for (rlim_t limit = 0; limit < own.size() + 20; limit += 7)
    {
        const pid_t child = fork();
        if (child == 0)
        {
            Config config(path);
            config.set("dash_with_control", 0);
            signal(SIGXFSZ, SIG_IGN);
            const rlimit size{limit, limit};
            setrlimit(RLIMIT_FSIZE, &size);
            _exit(config.save() ? 1 : 0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << limit;
        EXPECT_EQ(readFile(path), own) << limit;
    }
}

// A config.ini kept as a link into a folder of the player's own: the settings saved at the end
// land in the linked file, and the link stays.
TEST(Config, ASaveThroughALinkWritesTheLinkedFileAndKeepsTheLink)
{
    struct Case
    {
        const char* name;
        const char* link;   // config.ini's link text
        const char* middle; // a second link at home/middle.ini, or null
        bool targetThere;
        mode_t mode;         // the target's mode before and after, when it is there
        const char* ownTemp; // a file of the player's at <target>.tmp, or null
    };
    for (const Case& c :
         {Case{"absolute", nullptr, nullptr, true, 0644, nullptr},
          Case{"relative", "../home/settings.ini", nullptr, true, 0644, nullptr},
          Case{"a chain of two", "../home/middle.ini", "settings.ini", true, 0644, nullptr},
          Case{"dangling: the file is made", "../home/settings.ini", nullptr, false, 0644, nullptr},
          Case{"a private file keeps its mode", nullptr, nullptr, true, 0600, nullptr},
          Case{"the player's own <target>.tmp stays", nullptr, nullptr, true, 0644, "mine\r\n\x01\xff"}})
    {
        SCOPED_TRACE(c.name);
        const std::string root = makeTempDir("quarrow-config-link");
        ASSERT_EQ(mkdir((root + "/data").c_str(), 0755), 0);
        ASSERT_EQ(mkdir((root + "/home").c_str(), 0755), 0);
        const std::string target = root + "/home/settings.ini";
        const std::string link = c.link != nullptr ? c.link : target;
        const std::string path = root + "/data/config.ini";
        ASSERT_EQ(symlink(link.c_str(), path.c_str()), 0);
        if (c.middle != nullptr)
        {
            ASSERT_EQ(symlink(c.middle, (root + "/home/middle.ini").c_str()), 0);
        }
        if (c.targetThere)
        {
            writeFile(target, "music_volume = 80\r\nsound_volume = 15\r\n");
            ASSERT_EQ(chmod(target.c_str(), c.mode), 0);
        }
        if (c.ownTemp != nullptr)
        {
            writeFile(target + ".tmp", c.ownTemp);
        }
        {
            Config config(path);
            EXPECT_EQ(config.get("sound_volume", 0), c.targetThere ? 15 : 50);
            config.set("sound_volume", 33);
        }
        char text[4096] = {};
        ASSERT_EQ(readlink(path.c_str(), text, sizeof(text) - 1), static_cast<ssize_t>(link.size()));
        EXPECT_EQ(std::string(text), link);
        EXPECT_NE(readFile(target).find("sound_volume = 33\n"), std::string::npos) << readFile(target);
        EXPECT_EQ(readFile(target).find("music_volume = 80\n") != std::string::npos, c.targetThere);
        struct stat info;
        ASSERT_EQ(lstat(target.c_str(), &info), 0);
        EXPECT_TRUE(S_ISREG(info.st_mode));
        EXPECT_EQ(info.st_mode & 07777, c.mode);
        if (c.ownTemp != nullptr)
        {
            EXPECT_EQ(readFile(target + ".tmp"), c.ownTemp);
        }
        else
        {
            EXPECT_EQ(access((target + ".tmp").c_str(), F_OK), -1);
        }
        EXPECT_EQ(access((target + ".tmp1").c_str(), F_OK), -1);
        EXPECT_EQ(access((path + ".tmp").c_str(), F_OK), -1);
    }
}

// A link to something that is no plain file to replace: a null device that throws the settings
// away, a file its owner made read-only, a FIFO nobody reads, a folder. Each stays what it was,
// and the log says what became of the settings.
TEST(Config, ASaveThroughALinkLeavesWhatIsNoFileToReplaceAsItIs)
{
    const std::string appData = useFreshAppData();
    Core::init("no-such-folder/config.ini"); // only for the log
    const std::string logPath = appData + "log.txt";
    const std::string player = "music_volume = 80\r\nsound_volume = 15\r\n";
    struct Case
    {
        const char* name;
        mode_t type; // of the target, made at home/settings
        int read;    // sound_volume as the game read it, or -1 when it stopped at the start
        std::vector<std::string> logLines; // "@" stands for config.ini's path, "#" for the target's
    };
    const std::vector<Case> cases = {
        {"read-only", S_IFREG, 15, {"Config: Can't save #: is read-only, not saved"}},
        {"a FIFO without a reader",
         S_IFIFO,
         50,
         {"Config: @ is a FIFO, not a settings file: using the default settings",
          "Config: Can't save #: open failed (No such device or address)"}},
        {"a folder", S_IFDIR, -1, {}},
        // Last: a device node can only be made by root.
        {"a null device",
         S_IFCHR,
         50,
         {"Config: @ is a character device, not a settings file: using the default settings",
          "Config: @ is a character device, not a file: the settings went into it and are not kept"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string root = makeTempDir("quarrow-config-nofile");
        ASSERT_EQ(mkdir((root + "/home").c_str(), 0755), 0);
        const std::string target = root + "/home/settings";
        const std::string path = root + "/config.ini";
        ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
        if (c.type == S_IFCHR)
        {
            if (geteuid() != 0)
            {
                Core::shutdown();
                GTEST_SKIP() << "making a null device needs root";
            }
            ASSERT_EQ(mknod(target.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        }
        else if (c.type == S_IFIFO)
        {
            ASSERT_EQ(mkfifo(target.c_str(), 0644), 0);
        }
        else if (c.type == S_IFDIR)
        {
            ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
        }
        else
        {
            writeFile(target, player);
            ASSERT_EQ(chmod(target.c_str(), 0444), 0);
        }
        const size_t logStart = readFile(logPath).size();

        // In a child that a blocking open cannot hang for longer than the alarm.
        const pid_t child = fork();
        if (child == 0)
        {
            alarm(20);
            int read = 0;
            try
            {
                Config config(path);
                read = config.get("sound_volume", 0);
                config.set("sound_volume", 33);
            }
            catch (Exception* e)
            {
                delete e;
                _exit(200);
            }
            _exit(read);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), c.read < 0 ? 200 : c.read);

        struct stat info;
        ASSERT_EQ(lstat(target.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & S_IFMT, c.type);
        if (c.type == S_IFCHR)
        {
            EXPECT_EQ(info.st_rdev, makedev(1, 3));
        }
        if (c.type == S_IFREG && S_ISREG(info.st_mode))
        {
            EXPECT_EQ(info.st_mode & 07777, 0444u);
            EXPECT_EQ(readFile(target), player);
        }
        EXPECT_EQ(access((target + ".tmp").c_str(), F_OK), -1);
        const std::string log = readFile(logPath).substr(logStart);
        for (std::string line : c.logLines)
        {
            const size_t link = line.find('@');
            if (link != std::string::npos)
            {
                line.replace(link, 1, path);
            }
            const size_t end = line.find('#');
            if (end != std::string::npos)
            {
                line.replace(end, 1, target);
            }
            EXPECT_NE(log.find(line + "\n"), std::string::npos) << line << "\nin:\n" << log;
        }
        EXPECT_EQ(log.find("Config: saved"), std::string::npos) << log;
    }
    Core::shutdown();
}
