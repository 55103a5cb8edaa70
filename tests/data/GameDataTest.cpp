// The generated working folder: every picture, sound and tune the game loads is there, decodes,
// fits its frame grid, lasts as long as planned, loops without a click, and the tools write the
// same bytes every time.

#include "Mp3Decoder.h"
#include "PngLoader.h"
#include "SoundSystem.h"
#include "TestEnv.h"

#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace
{

const std::string kData = QUARROW_DATA_DIR;
const std::vector<std::string> kTilesets = {"tileset1", "tileset2", "tileset3", "tileset4"};

struct Picture
{
    std::string file;
    unsigned cols, rows;
    unsigned frameSize; // expected frame width and height; 0 when any size will do
    unsigned used;      // frames the game shows (each must have visible pixels)
};

std::vector<Picture> pictures()
{
    std::vector<Picture> p = {
        {"vormel.png", 1, 1, 0, 1},
        {"font1.png", 16, 16, 32, 0},
        {"font2.png", 16, 16, 32, 0},
        {"font3.png", 16, 16, 0, 0},
        {"hud.png", 1, 1, 0, 1},
        {"hud-apple.png", 1, 1, 0, 1},
        {"hud-diamond.png", 1, 1, 0, 1},
        {"player-light.png", 1, 1, 0, 1},
        {"explosion.png", 4, 4, 0, 7},
        {"door-yellow.png", 2, 2, 64, 4},
        {"door-blue.png", 2, 2, 64, 4},
        {"door-exit.png", 2, 2, 64, 4},
        {"box.png", 1, 1, 64, 1},
        {"apple.png", 1, 1, 64, 1},
        {"diamond.png", 4, 4, 64, 8},
        {"keys.png", 8, 8, 64, 64},
        {"bomb.png", 2, 2, 64, 4},
        {"mole.png", 8, 8, 64, 49},
        {"red-ant.png", 8, 8, 64, 36},
        {"green-ant.png", 8, 8, 64, 36},
        {"part1.png", 1, 1, 0, 1},
        {"part2.png", 1, 1, 0, 1},
        {"part3.png", 1, 1, 0, 1},
        {"black.png", 1, 1, 0, 1},
        {"menu-bg.png", 1, 1, 0, 1},
        {"menu-more-up.png", 1, 1, 0, 1},
        {"menu-more-down.png", 1, 1, 0, 1},
        {"menu-slider.png", 1, 1, 0, 1},
        {"button-bg.png", 1, 1, 0, 1},
        {"message-bg.png", 1, 1, 0, 1},
        {"credits-bg.png", 1, 1, 0, 1},
        {"credits.png", 1, 1, 0, 1},
    };
    for (const std::string& t : kTilesets)
    {
        p.push_back({t + "/tileset.png", 16, 16, 64, 0});
        p.push_back({t + "/tile-empty.png", 1, 1, 64, 1});
        p.push_back({t + "/rock.png", 1, 1, 64, 1});
    }
    return p;
}

struct Audio
{
    std::string file;
    double seconds; // planned length
};

const std::vector<Audio> kSounds = {
    {"bonus_apple", 0.38},  {"bonus_diamond", 0.6}, {"bonus_key", 0.5},  {"bonus_bomb", 0.32},
    {"dig1", 0.2},          {"dig2", 0.18},         {"dig3", 0.22},      {"step1", 0.12},
    {"step2", 0.12},        {"step3", 0.12},        {"rock_dash", 0.55}, {"box_dash", 0.42},
    {"laughing", 1.05},     {"dying", 1.1},         {"sand_coll", 0.22}, {"rock_coll", 0.4},
    {"diamond_coll", 0.32}, {"explosion", 1.5},     {"door_open", 0.85}, {"bomb_tick", 0.1},
    {"menu_enter", 0.28},   {"menu_step", 0.07},    {"message", 0.7}};

// Tunes last a whole number of bars: bars x 4 beats at their tempo.
const std::vector<Audio> kTunes = {{"Title_Music.ogg", 16 * 240.0 / 100}, {"Credits.ogg", 14 * 240.0 / 84},
                                   {"level1.ogg", 16 * 240.0 / 118},      {"level2.ogg", 18 * 240.0 / 126},
                                   {"level3.ogg", 14 * 240.0 / 96},       {"level4.ogg", 18 * 240.0 / 136},
                                   {"level5.ogg", 16 * 240.0 / 108}};
// The level-completed jingle: four bars at 140 and a ringing last chord.
const Audio kJingle = {"Completed.mp3", 4 * 240.0 / 140 + 1.5};

bool exists(const std::string& path)
{
    std::ifstream f(path.c_str(), std::ios::binary);
    return f.good();
}

// Every regular file below a folder, relative to it, sorted.
void listFiles(const std::string& root, const std::string& rel, std::vector<std::string>& out)
{
    DIR* d = opendir((root + "/" + rel).c_str());
    if (!d)
        return;
    std::vector<std::string> names;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.')
            names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& n : names)
    {
        const std::string path = rel.empty() ? n : rel + "/" + n;
        DIR* sub = opendir((root + "/" + path).c_str());
        if (sub)
        {
            closedir(sub);
            listFiles(root, path, out);
        }
        else
            out.push_back(path);
    }
}

// Decodes a sound through SDL_mixer into 16-bit stereo at 44.1 kHz (the mixer converts).
class Mixer
{
  public:
    Mixer()
    {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        open = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 && Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) == 0;
    }
    ~Mixer()
    {
        if (open)
            Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    bool isOpen() const { return open; }
    // Samples of the left channel as floats; empty when the file does not load.
    std::vector<float> load(const std::string& path)
    {
        Mix_Chunk* chunk = nullptr;
        if (Mp3Decoder::looksLikeMp3(readFile(path)))
        {
            std::string wav;
            if (!Mp3Decoder::decodeToWav(readFile(path), wav))
                return {};
            chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(wav.data(), int(wav.size())), 1);
        }
        else
            chunk = Mix_LoadWAV(path.c_str());
        if (!chunk)
            return {};
        std::vector<float> left(chunk->alen / 4);
        const int16_t* s = reinterpret_cast<const int16_t*>(chunk->abuf);
        for (size_t i = 0; i < left.size(); ++i)
            left[i] = s[2 * i] / 32768.0f;
        Mix_FreeChunk(chunk);
        return left;
    }

  private:
    bool open = false;
};

double rms(const std::vector<float>& s, size_t from, size_t count)
{
    double sum = 0;
    for (size_t i = from; i < from + count && i < s.size(); ++i)
        sum += s[i] * s[i];
    return std::sqrt(sum / count);
}

} // namespace

TEST(GameData, EveryFileTheGameLoadsIsInTheWorkingFolder)
{
    std::vector<std::string> missing;
    for (const Picture& p : pictures())
        if (!exists(kData + "/textures/" + p.file))
            missing.push_back("textures/" + p.file);
    for (const Audio& s : kSounds)
        if (!exists(kData + "/sounds/" + s.file + ".wav"))
            missing.push_back("sounds/" + s.file + ".wav");
    for (const Audio& t : kTunes)
        if (!exists(kData + "/music/" + t.file))
            missing.push_back("music/" + t.file);
    if (!exists(kData + "/music/" + kJingle.file))
        missing.push_back("music/" + kJingle.file);
    if (!exists(kData + "/credits.txt"))
        missing.push_back("credits.txt");
    EXPECT_TRUE(missing.empty()) << "missing: " << ::testing::PrintToString(missing);
}

TEST(GameData, EveryLevelNamesATilesetAndATuneThatExist)
{
    // Line 2 of a level file is its tileset, line 3 its music.
    std::vector<std::string> files;
    listFiles(kData + "/levels", "", files);
    for (const std::string& f : files)
    {
        std::ifstream in((kData + "/levels/" + f).c_str());
        std::string size, tileset, music;
        std::getline(in, size);
        std::getline(in, tileset);
        std::getline(in, music);
        for (std::string* s : {&tileset, &music})
            if (!s->empty() && s->back() == '\r')
                s->pop_back();
        EXPECT_TRUE(exists(kData + "/textures/" + tileset + "/tileset.png"))
            << f << " names tileset '" << tileset << "'";
        EXPECT_TRUE(exists(kData + "/music/" + music)) << f << " names music '" << music << "'";
    }
}

TEST(GameData, EveryPictureDecodesAndFitsItsFrameGrid)
{
    for (const Picture& p : pictures())
    {
        SCOPED_TRACE(p.file);
        std::vector<uint8_t> rgba;
        unsigned w = 0, h = 0;
        ASSERT_TRUE(pngDecode(kData + "/textures/" + p.file, rgba, w, h));
        EXPECT_EQ(0u, w % p.cols);
        EXPECT_EQ(0u, h % p.rows);
        if (p.frameSize != 0)
        {
            EXPECT_EQ(p.frameSize, w / p.cols);
            EXPECT_EQ(p.frameSize, h / p.rows);
        }
        // Every frame the game shows has something visible in it.
        const unsigned fw = w / p.cols, fh = h / p.rows;
        for (unsigned f = 0; f < p.used; ++f)
        {
            unsigned visible = 0;
            const unsigned x0 = (f % p.cols) * fw, y0 = (f / p.cols) * fh;
            for (unsigned y = y0; y < y0 + fh; ++y)
                for (unsigned x = x0; x < x0 + fw; ++x)
                    visible += rgba[(size_t(y) * w + x) * 4 + 3] > 32;
            EXPECT_GT(visible, fw * fh / 50) << "frame " << f << " is empty";
        }
    }
}

TEST(GameData, FontPicturesHoldEveryPrintableAsciiGlyph)
{
    for (const char* file : {"font1.png", "font2.png", "font3.png"})
    {
        SCOPED_TRACE(file);
        std::vector<uint8_t> rgba;
        unsigned w = 0, h = 0;
        ASSERT_TRUE(pngDecode(kData + "/textures/" + file, rgba, w, h));
        const unsigned cell = w / 16;
        for (unsigned c = 33; c < 127; ++c)
        {
            // The glyph's white core lies in column c % 16, row c / 16.
            unsigned white = 0;
            for (unsigned y = (c / 16) * cell; y < (c / 16 + 1) * cell; ++y)
                for (unsigned x = (c % 16) * cell; x < (c % 16 + 1) * cell; ++x)
                {
                    const uint8_t* px = &rgba[(size_t(y) * w + x) * 4];
                    white += px[3] > 200 && px[0] > 200 && px[1] > 200;
                }
            EXPECT_GT(white, 3u) << "glyph " << c;
        }
        // The control bytes and the space are empty.
        for (unsigned y = 0; y < 3 * cell; ++y)
            for (unsigned x = 0; x < (y < 2 * cell ? w : cell); ++x)
                ASSERT_EQ(0, rgba[(size_t(y) * w + x) * 4 + 3]) << "at " << x << "," << y;
    }
}

TEST(GameData, EverySoundAndTuneLoadsInOurSoundSystem)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SoundSystem* system = nullptr;
    ASSERT_EQ(SoundSystem::OK, SoundSystem::create(&system));
    ASSERT_EQ(SoundSystem::OK, SoundSystem::init(system, 16, SoundSystem::INIT_NORMAL));
    std::vector<std::string> files;
    for (const Audio& s : kSounds)
        files.push_back("sounds/" + s.file + ".wav");
    for (const Audio& t : kTunes)
        files.push_back("music/" + t.file);
    files.push_back("music/" + kJingle.file);
    for (const std::string& f : files)
    {
        SoundSystem::Sample* sample = nullptr;
        EXPECT_EQ(SoundSystem::OK, SoundSystem::createSample(system, (kData + "/" + f).c_str(),
                                                             SoundSystem::MODE_DEFAULT, &sample))
            << f;
        if (sample)
            SoundSystem::releaseSample(sample);
    }
    SoundSystem::release(system);
}

TEST(GameData, SoundsAndTunesLastAsPlanned)
{
    Mixer mixer;
    ASSERT_TRUE(mixer.isOpen());
    for (const Audio& s : kSounds)
    {
        const std::vector<float> pcm = mixer.load(kData + "/sounds/" + s.file + ".wav");
        ASSERT_FALSE(pcm.empty()) << s.file;
        EXPECT_NEAR(s.seconds, pcm.size() / 44100.0, 0.01) << s.file;
    }
    for (const Audio& t : kTunes)
    {
        const std::vector<float> pcm = mixer.load(kData + "/music/" + t.file);
        ASSERT_FALSE(pcm.empty()) << t.file;
        EXPECT_GE(pcm.size() / 44100.0, 30.0) << t.file;
        EXPECT_NEAR(t.seconds, pcm.size() / 44100.0, 0.05) << t.file;
    }
    const std::vector<float> jingle = mixer.load(kData + "/music/" + kJingle.file);
    ASSERT_FALSE(jingle.empty());
    EXPECT_NEAR(kJingle.seconds, jingle.size() / 44100.0, 0.15);
}

TEST(GameData, SoundsSwingAboutSilence)
{
    Mixer mixer;
    ASSERT_TRUE(mixer.isOpen());
    for (const Audio& s : kSounds)
    {
        const std::vector<float> pcm = mixer.load(kData + "/sounds/" + s.file + ".wav");
        ASSERT_FALSE(pcm.empty()) << s.file;
        double sum = 0;
        for (float v : pcm)
            sum += v;
        // A sound that leans to one side thumps as its envelope opens and closes.
        EXPECT_LT(std::fabs(sum / pcm.size()), 0.01) << s.file;
    }
}

TEST(GameData, TunesLoopWithoutAClick)
{
    Mixer mixer;
    ASSERT_TRUE(mixer.isOpen());
    for (const Audio& t : kTunes)
    {
        SCOPED_TRACE(t.file);
        const std::vector<float> pcm = mixer.load(kData + "/music/" + t.file);
        ASSERT_GT(pcm.size(), 44100u);
        // Both ends meet near silence, so the restart after the last sample cannot jump...
        EXPECT_LT(std::fabs(pcm.front()), 0.02f);
        EXPECT_LT(std::fabs(pcm.back()), 0.02f);
        // ...while the music plays on right up to the seam: no gap of silence at either end.
        EXPECT_GT(rms(pcm, 441, 4410), 0.01);
        EXPECT_GT(rms(pcm, pcm.size() - 4410 - 441, 4410), 0.01);
    }
}

TEST(GameData, CreditsAreLinesTheCreditsScreenReads)
{
    const std::string text = readFile(kData + "/credits.txt");
    ASSERT_FALSE(text.empty());
    EXPECT_EQ('\n', text.back());
    EXPECT_EQ(std::string::npos, text.find('\r'));
    std::istringstream in(text);
    std::string line, previous = "x";
    int headings = 0;
    while (std::getline(in, line))
    {
        EXPECT_LE(line.size(), 99u) << line;
        EXPECT_FALSE(line.empty() && previous.empty()) << "two empty lines in a row";
        headings += previous.empty() && !line.empty();
        previous = line;
    }
    EXPECT_GE(headings, 5);
    EXPECT_NE(std::string::npos, text.find("vormel"));
}

TEST(GameData, TheToolsWriteTheSameBytesEveryTime)
{
    const std::string tools = kData + "/../tools/";
    const std::string dir = makeTempDir("quarrow-data");
    std::string commands;
    for (const char* family : {"sprites", "tiles", "interface", "fonts"})
        commands += "'" + tools + "quarrow_gen_textures' '" + dir + "/textures' " + family + " & ";
    commands += "'" + tools + "quarrow_gen_sounds' '" + dir + "/sounds' & ";
    for (const Audio& t : kTunes)
        commands += "'" + tools + "quarrow_gen_music' '" + dir + "/music' " + t.file + " & ";
    commands += "'" + tools + "quarrow_gen_music' '" + dir + "/music' " + kJingle.file + " & wait";
    ASSERT_EQ(0, std::system(("mkdir -p '" + dir + "/textures' && " + commands).c_str()));
    std::vector<std::string> made;
    listFiles(dir, "", made);
    EXPECT_EQ(pictures().size() + kSounds.size() + kTunes.size() + 1, made.size());
    for (const std::string& f : made)
        EXPECT_TRUE(readFile(dir + "/" + f) == readFile(kData + "/" + f)) << f << " differs between two runs";
    std::system(("rm -rf '" + dir + "'").c_str());
}
