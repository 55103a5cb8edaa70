// Start-up and shut-down of the real game binary with and without an audio device, and with
// broken sound and music files.
#include "GameSession.h"
#include "Harness.h"
#include "TestEnv.h"
#include "WavFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{

struct BinaryCase
{
    const char* name;
    const char* audioDriver;
    bool hasDevice;
};

class AudioBinaryTest : public ::testing::TestWithParam<BinaryCase>
{
};

// Waits until the log shows text; false after the timeout or when the child has ended already.
bool waitForLog(const std::string& path, const std::string& text, pid_t child, int seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (readFile(path).find(text) == std::string::npos)
    {
        siginfo_t info{};
        const bool exited =
            waitid(P_PID, child, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == child;
        if (exited || std::chrono::steady_clock::now() > end)
        {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// Waits for the child to end; kills it after the timeout. True when it ended by itself.
bool waitForExit(pid_t child, int seconds, int& status)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (waitpid(child, &status, WNOHANG) == 0)
    {
        if (std::chrono::steady_clock::now() > end)
        {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// Starts the game binary in work; -1 when it could not be started.
pid_t spawnGame(const std::string& work)
{
    const pid_t child = fork();
    if (child == 0)
    {
        // SDL unloads the X library it opened itself before the leak check runs, so what that library
        // keeps for the process can no longer be told from our own leaks. Our code's leaks are checked
        // by the tests that run the engine in-process.
        const char* asan = std::getenv("ASAN_OPTIONS");
        const std::string options = std::string(asan != nullptr ? asan : "") + ":detect_leaks=0";
        setenv("ASAN_OPTIONS", options.c_str(), 1);
        if (chdir(work.c_str()) == 0)
        {
            execl(QUARROW_BINARY, QUARROW_BINARY, static_cast<char*>(nullptr));
        }
        _exit(127);
    }
    return child;
}

TEST_P(AudioBinaryTest, StartsAndStopsCleanly)
{
    const std::string appData = useFreshAppData();
    setenv("SDL_AUDIODRIVER", GetParam().audioDriver, 1);
    const std::string logPath = appData + "log.txt";

    // One small level of our own, with the build's pictures, sounds and music beside it.
    const std::string work =
        makeWorkDir({{"levels.ini", "levels/easy/box.txt\n"},
                     {"levels/easy/box.txt", "3 3\ntileset1\nTitle_Music.ogg\n###\n#p#\n###\n0\n"}});

    const pid_t child = spawnGame(work);
    ASSERT_GE(child, 0);

    const bool started = waitForLog(logPath, "Core: game started", child, 60);
    if (started)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        kill(child, SIGTERM);
    }
    int status = 0;
    const bool ended = waitForExit(child, 60, status);
    const std::string log = readFile(logPath);
    ASSERT_TRUE(started) << log;
    ASSERT_TRUE(ended) << "still running 60 s after SIGTERM\n" << log;
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status) << "\n" << log;
    EXPECT_EQ(0, WEXITSTATUS(status)) << log;

    const std::vector<std::string> order = {"Config: init\n",         "AudioDriver: init\n", "Device: init\n",
                                            "\nCore: game started\n", "Game: done\n",        "Device: done\n",
                                            "AudioDriver: done\n",    "Config: done\n"};
    size_t at = 0;
    for (const std::string& line : order)
    {
        const size_t found = log.find(line, at);
        ASSERT_NE(std::string::npos, found) << "missing or out of order: " << line << log;
        at = found + line.size();
    }

    const std::string noDevice =
        "AudioDriver: init\nAudioDriver: FMOD error! (5)No audio output could be opened.\n";
    EXPECT_EQ(!GetParam().hasDevice, log.find(noDevice) != std::string::npos) << log;
}

// The title music, fading in from the start, reaches what the audio output writes.
TEST(AudioBinaryDiskTest, TitleMusicIsMixed)
{
    const std::string appData = useFreshAppData();
    const std::string raw = makeTempDir("quarrow-disk") + "/out.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "20", 1);
    const std::string work =
        makeWorkDir({{"levels.ini", "levels/easy/box.txt\n"},
                     {"levels/easy/box.txt", "3 3\ntileset1\nTitle_Music.ogg\n###\n#p#\n###\n0\n"}});
    const pid_t child = spawnGame(work);
    ASSERT_GE(child, 0);

    // The loudest sample written so far.
    const auto peakOf = [](const std::string& bytes)
    {
        int peak = 0;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        {
            const int16_t s = static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) |
                                                   (static_cast<uint8_t>(bytes[i + 1]) << 8));
            peak = std::max(peak, std::abs(static_cast<int>(s)));
        }
        return peak;
    };
    const bool started = waitForLog(appData + "log.txt", "Core: game started", child, 60);
    if (started)
    {
        // The fade-in goes by steps: on a busy machine it takes longer than on an idle one.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < end &&
               (readFile(raw).size() <= 44100u * 4u || peakOf(readFile(raw)) <= 500))
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        kill(child, SIGTERM);
    }
    int status = 0;
    const bool ended = waitForExit(child, 60, status);
    const std::string log = readFile(appData + "log.txt");
    ASSERT_TRUE(started && ended) << log;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << log;
    ASSERT_NE(std::string::npos, log.find("AudioDriver: music/Title_Music.ogg is loaded")) << log;

    const std::string bytes = readFile(raw);
    EXPECT_GT(bytes.size(), 44100u * 4u) << "less than a second of output";
    EXPECT_GT(peakOf(bytes), 500);
}

// Links every file of the build's data folder into the same folder of work, except those named.
void linkDataFiles(const std::string& work, const std::string& folder, const std::vector<std::string>& except)
{
    const std::string from = std::string(QUARROW_DATA_DIR) + "/" + folder;
    ASSERT_EQ(0, mkdir((work + "/" + folder).c_str(), 0755));
    DIR* dir = opendir(from.c_str());
    ASSERT_NE(nullptr, dir) << from;
    while (const dirent* entry = readdir(dir))
    {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && std::find(except.begin(), except.end(), name) == except.end())
        {
            EXPECT_EQ(0, symlink((from + "/" + name).c_str(), (work + "/" + folder + "/" + name).c_str()));
        }
    }
    closedir(dir);
}

// A menu sound without channels, a folder in place of the other menu sound and a title music at
// 1 Hz: the game logs each, plays on without them and ends normally.
TEST(AudioBinaryBrokenFilesTest, StartsPlaysOnAndEndsCleanly)
{
    const std::string work =
        makeWorkDir({{"levels.ini", "levels/easy/box.txt\n"},
                     {"levels/easy/box.txt", "3 3\ntileset1\nTitle_Music.ogg\n###\n#p#\n###\n0\n"}},
                    false);
    ASSERT_EQ(0,
              symlink((std::string(QUARROW_DATA_DIR) + "/textures").c_str(), (work + "/textures").c_str()));
    linkDataFiles(work, "sounds", {"menu_step.wav", "menu_enter.wav"});
    linkDataFiles(work, "music", {"Title_Music.ogg"});

    // A PCM WAV header that gives 0 channels, over 8820 bytes of silence.
    writeFile(work + "/sounds/menu_step.wav", pcmWav(0, 44100, std::vector<int16_t>(4410)));
    ASSERT_EQ(0, mkdir((work + "/sounds/menu_enter.wav").c_str(), 0755));
    writeFile(work + "/raw.pcm", std::string(4000, '\x10'));
    ASSERT_EQ(0, std::system(("oggenc -Q -r --raw-rate=1 --raw-chan=1 " + work + "/raw.pcm -o " + work +
                              "/music/Title_Music.ogg >/dev/null 2>&1")
                                 .c_str()));

    const std::string xdg = makeTempDir("quarrow-broken-sound-xdg");
    GameSession game(work, xdg);
    ASSERT_TRUE(game.start()) << game.logText();
    // The menu plays both broken sounds; the title music is asked for again at every step.
    game.keys("Down Up Down");
    std::this_thread::sleep_for(std::chrono::seconds(3));
    ASSERT_TRUE(game.logHas("Menu: event [")) << game.logText();
    EXPECT_EQ(0, game.terminate()) << game.logText();

    const std::string log = game.logText();
    const std::string outOfRange = "AudioDriver: FMOD error! (13)";
    const size_t first = log.find(outOfRange);
    ASSERT_NE(std::string::npos, first) << log;
    EXPECT_NE(std::string::npos, log.find(outOfRange, first + 1)) << "one for the WAV, one for the music\n"
                                                                  << log;
    EXPECT_NE(std::string::npos, log.find("AudioDriver: FMOD error! (8)The file could not be read.\n"))
        << log;
    EXPECT_EQ(std::string::npos, log.find("AudioDriver: sounds/menu_step.wav is loaded")) << log;
    EXPECT_EQ(std::string::npos, log.find("AudioDriver: music/Title_Music.ogg is loaded")) << log;
    EXPECT_NE(std::string::npos, log.find("AudioDriver: sounds/message.wav is loaded")) << log;
    EXPECT_NE(std::string::npos, log.find("AudioDriver: done\n")) << log;
}

INSTANTIATE_TEST_SUITE_P(Audio, AudioBinaryTest,
                         ::testing::Values(BinaryCase{"DummyDevice", "dummy", true},
                                           BinaryCase{"NoDevice", "no-such-driver", false}),
                         [](const ::testing::TestParamInfo<BinaryCase>& info) { return info.param.name; });

} // namespace
