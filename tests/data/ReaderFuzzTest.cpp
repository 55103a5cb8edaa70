// Every reader of the game against a few hundred damaged copies of what it normally reads: the
// shipped files, a player list and a profile, and the high-score server's answers. Each input must
// come back, or fail with the game's own Exception*, within a few seconds and without taking a lot
// of memory; the sanitizers of the test build catch overruns, undefined behaviour and leaks. The
// damage comes from a fixed seed per reader, so every run meets the same inputs.
//
// A failing input is kept as <build>/reader-fuzz/<reader>-<index>.bin; the input a crash or a hang
// stopped at is <build>/reader-fuzz/<reader>-current.bin. To run one input again:
//   QUARROW_FUZZ_REPLAY=$PWD/build-test/reader-fuzz/Level-17.bin ./test.sh -R 'ReaderFuzz.*/Level$'
// A longer search for new faults: QUARROW_FUZZ_INPUTS=5000 QUARROW_FUZZ_SEED=1 ./test.sh -R ReaderFuzz
// (the number of inputs per reader, and another series of them).
#include "AudioDriver.h"
#include "Config.h"
#include "Core.h"
#include "Credits.h"
#include "Device.h"
#include "Exception.h"
#include "Game.h"
#include "Harness.h"
#include "HashManager.h"
#include "Highscore.h"
#include "HttpFixture.h"
#include "Level.h"
#include "PngLoader.h"
#include "Sound.h"
#include "SoundSystem.h"
#include "TestEnv.h"
#include "UserManager.h"

#include <GL/gl.h>
#include <SDL/SDL.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <iostream>
#include <mutex>
#include <random>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <typeinfo>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

namespace
{

const std::string dataDir = QUARROW_DATA_DIR;
// Beside the data folder, in the build folder.
const std::string keptDir = dataDir.substr(0, dataDir.rfind('/')) + "/reader-fuzz/";

// Limits for one input: far above what any of them needs, even on a machine busy with other work.
const double inputSeconds = 10.0;
const std::chrono::seconds hangLimit(60);
const long memoryKb = 512 * 1024;

// ---------------------------------------------------------------------------------------------
// Damage

// Numbers past every width the readers parse into, and the edges of the common ones.
const char* const hugeNumbers[] = {
    "99999999999999999999", "-2147483649", "2147483648", "4294967296", "65536", "-32769", "-1", "1e999"};
// Bytes the readers treat specially: line ends, blanks, signs, digits, the end of a C string, the
// server's refusal.
const char specialBytes[] = {'\0', '\r', '\n', '\t', ' ', '-', '0', '7', '9', '\xff', '!'};
const size_t repeatTimes[] = {2, 10, 100, 1000, 10000, 100000};
const size_t overlongLines[] = {100, 256, 400, 1000, 70000};
// A range repeated many times grows the input up to here: past the 1 MB caps of the text readers.
const size_t mostRepeated = 2 * 1024 * 1024;

class Mutator
{
  public:
    explicit Mutator(uint32_t seed) : random(seed) {}

    // 0 to n - 1; 0 when n is 0. mt19937's output is the same everywhere, and so is this.
    size_t below(size_t n) { return n == 0 ? 0 : random() % n; }

    // One to three changes of a copy of seed.
    std::string mutate(const std::string& seed)
    {
        std::string bytes = seed;
        for (size_t changes = 1 + below(3); changes > 0; --changes)
        {
            change(bytes);
        }
        return bytes;
    }

  private:
    // Headers lie at the front of a file: half the places fall within its first 256 bytes.
    size_t place(const std::string& bytes)
    {
        return below(2) == 0 ? below(std::min<size_t>(bytes.size(), 256) + 1) : below(bytes.size() + 1);
    }
    // A range of 1 to `most` bytes starting at `at`, within bytes (at < bytes.size()).
    size_t span(const std::string& bytes, size_t at, size_t most)
    {
        return 1 + below(std::min(most, bytes.size() - at));
    }
    char specialByte() { return specialBytes[below(sizeof specialBytes)]; }
    char anyByte() { return static_cast<char>(below(256)); }

    void change(std::string& bytes)
    {
        const size_t at = place(bytes);
        const bool inside = at < bytes.size();
        switch (below(11))
        {
        case 0: // flip one bit
            if (inside)
            {
                bytes[at] = static_cast<char>(bytes[at] ^ (1 << below(8)));
            }
            break;
        case 1: // set one byte
            if (inside)
            {
                bytes[at] = below(2) == 0 ? specialByte() : anyByte();
            }
            break;
        case 2: // insert special bytes
            for (size_t n = 1 + below(4); n > 0; --n)
            {
                bytes.insert(bytes.begin() + at, specialByte());
            }
            break;
        case 3: // insert random bytes
            for (size_t n = 1 + below(16); n > 0; --n)
            {
                bytes.insert(bytes.begin() + at, anyByte());
            }
            break;
        case 4: // delete a range
            if (inside)
            {
                bytes.erase(at, span(bytes, at, 64));
            }
            break;
        case 5: // copy a range somewhere else
            if (inside)
            {
                const std::string range = bytes.substr(at, span(bytes, at, 256));
                bytes.insert(below(bytes.size() + 1), range);
            }
            break;
        case 6: // repeat a range many times where it is
            if (inside)
            {
                const std::string range = bytes.substr(at, span(bytes, at, 32));
                const size_t times = std::min(repeatTimes[below(6)], mostRepeated / range.size());
                std::string repeated;
                repeated.reserve(range.size() * times);
                for (size_t n = 0; n < times; ++n)
                {
                    repeated += range;
                }
                bytes.insert(at, repeated);
            }
            break;
        case 7: // cut the end off
            bytes.resize(below(bytes.size()));
            break;
        case 8: // a huge number in place of the next one, or inserted
        {
            const std::string number = hugeNumbers[below(sizeof hugeNumbers / sizeof hugeNumbers[0])];
            const size_t digit = bytes.find_first_of("0123456789", at);
            if (digit != std::string::npos && digit - at < 64)
            {
                const size_t end = bytes.find_first_not_of("0123456789", digit);
                bytes.replace(digit, (end == std::string::npos ? bytes.size() : end) - digit, number);
            }
            else
            {
                bytes.insert(at, number);
            }
            break;
        }
        case 9: // an overlong line before the line `at` is in
        {
            const size_t lineStart = at == 0 ? 0 : bytes.rfind('\n', at - 1) + 1; // npos + 1 is 0
            const char filler = "a9.# \xff"[below(6)];
            bytes.insert(lineStart, std::string(overlongLines[below(5)], filler) + "\n");
            break;
        }
        default: // swap two lines
        {
            std::vector<std::string> lines;
            std::istringstream in(bytes);
            for (std::string line; std::getline(in, line);)
            {
                lines.push_back(line);
            }
            if (lines.size() >= 2)
            {
                std::swap(lines[below(lines.size())], lines[below(lines.size())]);
                const bool lastEnded = bytes.back() == '\n';
                bytes.clear();
                for (size_t i = 0; i < lines.size(); ++i)
                {
                    bytes += lines[i];
                    if (i + 1 < lines.size() || lastEnded)
                    {
                        bytes += '\n';
                    }
                }
            }
            break;
        }
        }
    }

    std::mt19937 random;
};

// ---------------------------------------------------------------------------------------------
// Checksums: a changed PNG chunk or Ogg page would only meet its checksum test. With the sums made
// right again the change reaches the decoder behind it.

uint32_t bigEndian(const std::string& bytes, size_t at)
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
    {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

void repairPng(std::string& bytes)
{
    for (size_t at = 8; at + 12 <= bytes.size();)
    {
        const uint32_t length = bigEndian(bytes, at);
        if (length > bytes.size() - at - 12)
        {
            return;
        }
        const uint32_t crc =
            crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + at + 4), static_cast<uInt>(length + 4));
        for (size_t i = 0; i < 4; ++i)
        {
            bytes[at + 8 + length + i] = static_cast<char>(crc >> (24 - 8 * i));
        }
        at += 12 + length;
    }
}

// Ogg's CRC: polynomial 0x04C11DB7, most significant bit first, over the page with its CRC zero.
uint32_t oggCrc(const std::string& bytes, size_t at, size_t length)
{
    static uint32_t table[256];
    if (table[1] == 0)
    {
        for (uint32_t i = 0; i < 256; ++i)
        {
            uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit)
            {
                r = (r & 0x80000000u) != 0 ? (r << 1) ^ 0x04C11DB7u : r << 1;
            }
            table[i] = r;
        }
    }
    uint32_t crc = 0;
    for (size_t i = at; i < at + length; ++i)
    {
        crc = (crc << 8) ^ table[((crc >> 24) ^ static_cast<unsigned char>(bytes[i])) & 0xFF];
    }
    return crc;
}

void repairOgg(std::string& bytes)
{
    for (size_t at = bytes.find("OggS"); at != std::string::npos && at + 27 <= bytes.size();)
    {
        const size_t segments = static_cast<unsigned char>(bytes[at + 26]);
        if (at + 27 + segments > bytes.size())
        {
            return;
        }
        size_t length = 27 + segments;
        for (size_t s = 0; s < segments; ++s)
        {
            length += static_cast<unsigned char>(bytes[at + 27 + s]);
        }
        if (length > bytes.size() - at)
        {
            return;
        }
        bytes.replace(at + 22, 4, 4, '\0');
        const uint32_t crc = oggCrc(bytes, at, length);
        for (size_t i = 0; i < 4; ++i)
        {
            bytes[at + 22 + i] = static_cast<char>(crc >> (8 * i));
        }
        at = bytes.find("OggS", at + length);
    }
}

void repairChecksums(std::string& bytes)
{
    if (bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0)
    {
        repairPng(bytes);
    }
    else if (bytes.compare(0, 4, "OggS") == 0)
    {
        repairOgg(bytes);
    }
}

// ---------------------------------------------------------------------------------------------
// The game the readers run in

std::string shipped(const std::string& file)
{
    return readFile(dataDir + "/" + file);
}

// The shipped level list, its levels and the credits, in a working folder of their own.
std::map<std::string, std::string> shippedGame()
{
    std::map<std::string, std::string> files = {{"levels.ini", shipped("levels.ini")},
                                                {"credits.txt", shipped("credits.txt")}};
    std::istringstream list(files["levels.ini"]);
    for (std::string word; list >> word;)
    {
        if (word.size() > 2)
        {
            files[word] = shipped(word);
        }
    }
    return files;
}

// The shipped game, started, and a high-score server on loopback that it talks to.
struct Session
{
    HttpFixture server;
    Harness harness;
    Game* game;
    std::string appData;

    Session()
        : harness((server.useForHighscores(), setenv("QUARROW_HIGHSCORE_TIMEOUT_MS", "3000", 1),
                   makeWorkDir(shippedGame()))),
          game(Core::getGame()), appData(harness.appData())
    {
    }
};

// The message screen an exchange with the server may end on waits for Enter. One is queued before
// every exchange; what is left of it afterwards is drained, so it cannot close the next one early.
void drainKeys()
{
    Core::getDevice()->processEvents();
    Core::getDevice()->processEvents(); // forgets what the first one found
}

// ---------------------------------------------------------------------------------------------
// The readers: each puts the input where the game reads it and reads it the way the game does.
// True when the reader took the input as good, as far as it shows (most always do).

bool readConfig(Session& session, const std::string& bytes, size_t)
{
    const std::string path = session.appData + "fuzz-config.ini";
    writeFile(path, bytes);
    delete new Config(path);
    return true;
}

// A game reads its level list while it is made. The list is hashed into the table first, as
// the build does, so the game's integrity check lets it through to the reader.
bool readLevelList(Session& session, const std::string& bytes, size_t)
{
    writeFile("levels.ini", bytes);
    session.game->getHashManager()->updateHash("levels.ini");
    delete new Game();
    return true;
}

bool readLevel(Session& session, const std::string& bytes, size_t)
{
    writeFile("fuzz-level.txt", bytes);
    session.game->getLevel()->load(0, "fuzz-level.txt", false);
    session.harness.step(); // what was read, drawn behind the menu
    return true;
}

bool readHashTable(Session& session, const std::string& bytes, size_t)
{
    writeFile(session.appData + "hashes.ini", bytes);
    delete new HashManager();
    return true;
}

bool readUserList(Session& session, const std::string& bytes, size_t)
{
    writeFile(session.appData + "users.ini", bytes);
    UserManager* users = new UserManager();
    const bool any = users->getUserCount() > 0;
    delete users;
    return any;
}

// Hashed into the table the way a save of the profile does it, so the check before the reading
// passes.
bool readProfile(Session& session, const std::string& bytes, size_t)
{
    const std::string path = session.appData + "user_fuzz.ini";
    writeFile(path, bytes);
    session.game->getHashManager()->updateHash(path);
    session.game->getUserManager()->loadUser("fuzz");
    return true;
}

bool readCredits(Session& session, const std::string& bytes, size_t)
{
    writeFile("credits.txt", bytes);
    Credits* credits = session.game->getCredits();
    credits->start();
    credits->draw(); // what was read, drawn
    return credits->getLines().size() > 1;
}

bool readPicture(Session&, const std::string& bytes, size_t)
{
    writeFile("fuzz.png", bytes);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    pngInfo info;
    const bool loaded = pngLoad("fuzz.png", PNG_BUILDMIPMAPS, PNG_ALPHA, &info) == 1;
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &texture);
    return loaded;
}

bool readSound(Session&, const std::string& bytes, size_t index)
{
    const bool playable = SoundSystem::checkFormat(bytes) == SoundSystem::OK;
    // Every fourth goes the whole way through the driver too, under a name of its own: the driver
    // keeps every sound it was asked for.
    if (index % 4 == 0)
    {
        const std::string file = "fuzz-sound-" + std::to_string(index);
        writeFile(file, bytes);
        return Core::getAudioDriver()->getSound(file)->isLoaded() && playable;
    }
    return playable;
}

bool readTable(Session& session, const std::string& bytes, size_t)
{
    session.server.answer(bytes);
    session.harness.press(SDLK_RETURN);
    Highscore* highscore = session.game->getHighscore();
    highscore->start();
    drainKeys();
    highscore->draw(); // what was read, drawn
    return !highscore->getEntries().empty();
}

bool readPlace(Session& session, const std::string& bytes, size_t)
{
    session.server.answer(bytes);
    session.harness.press(SDLK_RETURN);
    session.game->getHighscore()->submit();
    drainKeys();
    return true;
}

struct Seed
{
    enum From
    {
        shippedFile, // a file of the build's game data
        appDataFile, // a file the started game wrote into its application-data folder
        text,
    };
    From from;
    std::string what;
};

struct Reader
{
    const char* name;
    std::vector<Seed> seeds;
    bool (*read)(Session& session, const std::string& bytes, size_t index);
    uint32_t seed;
    size_t inputs;
};

void PrintTo(const Reader& reader, std::ostream* out)
{
    *out << reader.name;
}

// The order the game writes a profile in: the reached level, then the best score of every level.
std::string profile(int reached, int levels)
{
    std::string text = std::to_string(reached) + "\n";
    for (int i = 0; i < levels; ++i)
    {
        text += std::to_string(i * 137 % 2000) + "\n";
    }
    return text;
}

const Reader readers[] = {
    {"Config",
     {{Seed::appDataFile, "config.ini"},
      {Seed::text, "dash_with_control = 0\nmusic_volume = 30\nscreen_width = 1280\nsound_volume = 50\n"}},
     readConfig,
     101,
     300},
    {"LevelList", {{Seed::shippedFile, "levels.ini"}}, readLevelList, 102, 300},
    {"Level",
     {{Seed::shippedFile, "levels/tutorial/first_steps.txt"},
      {Seed::shippedFile, "levels/tutorial/keys_and_doors.txt"},
      {Seed::shippedFile, "levels/normal/powder_keg.txt"},
      {Seed::shippedFile, "levels/hard/the_great_mine.txt"}},
     readLevel,
     103,
     300},
    {"HashTable", {{Seed::shippedFile, "hashes.ini"}}, readHashTable, 104, 300},
    {"UserList", {{Seed::text, "Ann7\nbob\nCid42\n"}, {Seed::text, "x\r\ny\r\n"}}, readUserList, 105, 300},
    {"Profile",
     {{Seed::text, profile(7, 25)}, {Seed::text, profile(0, 3)}, {Seed::text, profile(24, 25)}},
     readProfile,
     106,
     300},
    {"Credits", {{Seed::shippedFile, "credits.txt"}}, readCredits, 107, 300},
    {"Picture",
     {{Seed::shippedFile, "textures/black.png"},
      {Seed::shippedFile, "textures/menu-more-up.png"},
      {Seed::shippedFile, "textures/part1.png"},
      {Seed::shippedFile, "textures/box.png"},
      {Seed::shippedFile, "textures/door-blue.png"}},
     readPicture,
     108,
     300},
    {"Sound",
     {{Seed::shippedFile, "sounds/menu_step.wav"},
      {Seed::shippedFile, "sounds/bomb_tick.wav"},
      {Seed::shippedFile, "sounds/step1.wav"}},
     readSound,
     109,
     300},
    {"Music",
     {{Seed::shippedFile, "music/Title_Music.ogg"}, {Seed::shippedFile, "music/Completed.mp3"}},
     readSound,
     110,
     200},
    {"HighscoreTable",
     {{Seed::text, "3\nann\t120\nbob\t95\nCid42\t17\n"}, {Seed::text, "2\r\nann\t300\r\nbob\t-250\r\n"}},
     readTable,
     111,
     200},
    {"HighscorePlace", {{Seed::text, "7"}, {Seed::text, "!wrong hash"}}, readPlace, 112, 200},
};

// ---------------------------------------------------------------------------------------------
// Running the inputs

size_t fromEnvironment(const char* name, size_t otherwise)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::strtoul(value, nullptr, 10) : otherwise;
}

// The inputs of one reader, made one at a time: the seeds as they are, the empty input, then
// damaged copies of the seeds, three in four with their checksums made right again. With
// QUARROW_FUZZ_REPLAY set, only the file it names.
class Inputs
{
  public:
    Inputs(const Reader& reader, const std::vector<std::string>& seeds)
        : seeds(seeds),
          mutator(reader.seed + static_cast<uint32_t>(fromEnvironment("QUARROW_FUZZ_SEED", 0)) * 1000),
          count(fromEnvironment("QUARROW_FUZZ_INPUTS", reader.inputs)), replaying(false)
    {
        const char* replay = std::getenv("QUARROW_FUZZ_REPLAY");
        if (replay != nullptr && *replay != '\0')
        {
            this->seeds = {readFile(replay)};
            count = 1;
            replaying = true;
        }
    }

    size_t size() const { return count; }
    // The first inputs are the seeds as they are; none when replaying a kept input.
    size_t seedCount() const { return replaying ? 0 : seeds.size(); }

    std::string next(size_t index)
    {
        if (index < seeds.size())
        {
            return seeds[index];
        }
        if (index == seeds.size())
        {
            return std::string();
        }
        std::string bytes = mutator.mutate(seeds[mutator.below(seeds.size())]);
        if (mutator.below(4) != 0)
        {
            repairChecksums(bytes);
        }
        return bytes;
    }

  private:
    std::vector<std::string> seeds;
    Mutator mutator;
    size_t count;
    bool replaying;
};

// Which input is running, for the last words of a crash or a hang.
char runningInput[1024];

void sayWhichInputDied()
{
    if (runningInput[0] != '\0')
    {
        std::fprintf(stderr, "ReaderFuzz: the run ended during %s\n", runningInput);
    }
}

// Ends the run when one input takes far longer than any should: ctest's own time-out would only say
// that the whole reader hung, not at which input.
class Watchdog
{
  public:
    Watchdog() : watching(false), stopping(false), thread([this] { watch(); }) {}
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        thread.join();
    }

    void start()
    {
        std::lock_guard<std::mutex> lock(mutex);
        deadline = std::chrono::steady_clock::now() + hangLimit;
        watching = true;
        wake.notify_all();
    }

    void stop()
    {
        std::lock_guard<std::mutex> lock(mutex);
        watching = false;
    }

  private:
    void watch()
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!stopping)
        {
            if (!watching)
            {
                wake.wait(lock);
            }
            else if (wake.wait_until(lock, deadline) == std::cv_status::timeout && watching &&
                     std::chrono::steady_clock::now() >= deadline)
            {
                std::fprintf(stderr, "ReaderFuzz: %s still runs after %lld s\n", runningInput,
                             static_cast<long long>(hangLimit.count()));
                std::abort();
            }
        }
    }

    bool watching;
    bool stopping;
    std::chrono::steady_clock::time_point deadline;
    std::mutex mutex;
    std::condition_variable wake;
    std::thread thread;
};

// The largest this process has been so far.
long peakKb()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::string typeName(const std::exception& e)
{
    int status = 0;
    char* name = abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status);
    const std::string result = status == 0 ? name : typeid(e).name();
    std::free(name);
    return result;
}

// What went wrong beyond a normal failure: "" when the reader came back or threw the game's error.
// taken tells whether it took the input as good.
std::string readOne(const Reader& reader, Session& session, const std::string& bytes, size_t index,
                    bool& taken)
{
    taken = false;
    try
    {
        taken = reader.read(session, bytes, index);
    }
    catch (Exception* e)
    {
        delete e;
    }
    catch (const std::exception& e)
    {
        return "threw " + typeName(e) + " (" + e.what() + ")";
    }
    catch (...)
    {
        return "threw something else than Exception*";
    }
    return "";
}

std::vector<std::string> seedBytes(const Reader& reader, const Session& session)
{
    std::vector<std::string> bytes;
    for (const Seed& seed : reader.seeds)
    {
        switch (seed.from)
        {
        case Seed::shippedFile:
            bytes.push_back(shipped(seed.what));
            break;
        case Seed::appDataFile:
            bytes.push_back(readFile(session.appData + seed.what));
            break;
        case Seed::text:
            bytes.push_back(seed.what);
            break;
        }
    }
    return bytes;
}

class ReaderFuzz : public ::testing::TestWithParam<Reader>
{
};

TEST_P(ReaderFuzz, ReturnsOrThrowsTheGamesErrorForEveryInput)
{
    const Reader& reader = GetParam();
    Session session;
    ASSERT_EQ(session.harness.initResult(), 0);
    const std::vector<std::string> seeds = seedBytes(reader, session);
    for (size_t i = 0; i < seeds.size(); ++i)
    {
        ASSERT_FALSE(seeds[i].empty()) << reader.name << " seed " << i;
    }

    mkdir(keptDir.c_str(), 0755);
    const std::string current = keptDir + reader.name + "-current.bin";
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_set_death_callback(sayWhichInputDied);
#endif
    Watchdog watchdog;
    Inputs inputs(reader, seeds);
    double slowest = 0.0;
    size_t taken = 0;
    int failures = 0;
    for (size_t index = 0; index < inputs.size() && failures < 5; ++index)
    {
        const std::string bytes = inputs.next(index);
        writeFile(current, bytes);
        std::snprintf(runningInput, sizeof runningInput, "%s input %zu (%zu bytes, kept as %s)", reader.name,
                      index, bytes.size(), current.c_str());

        const long peakBefore = peakKb();
        const auto start = std::chrono::steady_clock::now();
        watchdog.start();
        bool good = false;
        std::string fault = readOne(reader, session, bytes, index, good);
        watchdog.stop();
        taken += good ? 1 : 0;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        slowest = std::max(slowest, seconds);

        if (fault.empty() && seconds > inputSeconds)
        {
            fault = "took " + std::to_string(seconds) + " s";
        }
        if (fault.empty() && peakKb() - peakBefore > memoryKb)
        {
            fault = "took " + std::to_string((peakKb() - peakBefore) / 1024) + " MB more memory";
        }
        if (fault.empty() && !Core::isRunning())
        {
            fault = "failed its integrity check, so the reader never saw it";
        }
        if (fault.empty() && index < inputs.seedCount() && !good)
        {
            fault = "is a seed, and the reader refused it";
        }
        if (!fault.empty())
        {
            ++failures;
            const std::string kept = keptDir + reader.name + "-" + std::to_string(index) + ".bin";
            writeFile(kept, bytes);
            ADD_FAILURE() << reader.name << " input " << index << " (" << bytes.size() << " bytes) " << fault
                          << "; kept as " << kept;
        }
    }
    runningInput[0] = '\0';
    std::remove(current.c_str());
    std::cout << reader.name << ": " << inputs.size() << " inputs, " << taken
              << " taken as good, the slowest took " << slowest << " s\n";
}

INSTANTIATE_TEST_SUITE_P(Readers, ReaderFuzz, ::testing::ValuesIn(readers),
                         [](const ::testing::TestParamInfo<Reader>& info)
                         { return std::string(info.param.name); });

} // namespace
