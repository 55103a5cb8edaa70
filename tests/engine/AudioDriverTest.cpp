// The sound driver, its sounds, channels and music, run on the real mixer with SDL's dummy or disk
// audio driver. Fixture sounds are written by the tests themselves.
#include "AudioDriver.h"
#include "Channel.h"
#include "Core.h"
#include "Sound.h"
#include "SoundSystem.h"
#include "TestEnv.h"
#include "WavFile.h"

#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace
{

// A mono 16-bit 44.1 kHz square wave of the given peak, the mixer's own rate so nothing resamples it.
std::string squareWav(double seconds, int16_t peak)
{
    std::vector<int16_t> samples(static_cast<size_t>(seconds * 44100));
    for (size_t i = 0; i < samples.size(); ++i)
    {
        samples[i] = (i / 50) % 2 == 0 ? peak : static_cast<int16_t>(-peak);
    }
    return pcmWav(1, 44100, samples);
}

// A 16-bit PCM WAV whose header gives any channel count and rate, over 8820 bytes of silence.
std::string wavWithFormat(uint32_t channels, uint32_t rate)
{
    return pcmWav(channels, rate, std::vector<int16_t>(4410));
}

// How many lines of text hold part.
int countLinesWith(const std::string& text, const std::string& part)
{
    int count = 0;
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
        {
            end = text.size();
        }
        if (text.substr(start, end - start).find(part) != std::string::npos)
        {
            ++count;
        }
        start = end + 1;
    }
    return count;
}

int countLines(const std::string& text, const std::string& line)
{
    int count = 0;
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
        {
            end = text.size();
        }
        if (text.compare(start, end - start, line) == 0)
        {
            ++count;
        }
        start = end + 1;
    }
    return count;
}

// The one mixer channel that plays, or -1 when none or several do.
int onlyPlayingChannel()
{
    int found = -1;
    for (int i = 0; i < AudioDriver::CHANNEL_COUNT; ++i)
    {
        if (Mix_Playing(i))
        {
            if (found >= 0)
            {
                return -1;
            }
            found = i;
        }
    }
    return found;
}

bool waitUntilSilent(int seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (Mix_Playing(-1) != 0)
    {
        if (std::chrono::steady_clock::now() > end)
        {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class AudioDriverTest : public ::testing::Test
{
  protected:
    // Runs the real core in a fresh working folder whose "config.ini" holds configText.
    void start(const std::string& configText = "sound_volume = 100\nmusic_volume = 100\n")
    {
        appData = useFreshAppData();
        const std::string xdg = appData.substr(0, appData.size() - std::string("vormel/Quarrow/").size());
        mkdir((xdg + "vormel").c_str(), 0755);
        mkdir((xdg + "vormel/Quarrow").c_str(), 0755);
        writeFile(appData + "config.ini", configText);

        work = makeTempDir("quarrow-sound");
        ASSERT_EQ(0, chdir(work.c_str()));
        mkdir("sounds", 0755);
        mkdir("music", 0755);
        writeFile("sounds/a.wav", squareWav(0.3, 8000));
        writeFile("music/long.wav", squareWav(4.0, 8000));

        Core::init("config.ini");
        driver = Core::getAudioDriver();
        ASSERT_NE(nullptr, driver);
        started = true;
    }

    void TearDown() override
    {
        if (started)
        {
            Core::shutdown();
        }
        if (!work.empty())
        {
            std::filesystem::remove_all(work);
        }
    }

    std::string log() const { return readFile(appData + "log.txt"); }

    // Encodes the WAV at wavPath with a command-line encoder into outPath.
    static void encode(const std::string& command)
    {
        ASSERT_EQ(0, std::system((command + " >/dev/null 2>&1").c_str())) << command;
    }

    std::string appData;
    std::string work;
    AudioDriver* driver = nullptr;
    bool started = false;
};

struct VolumeCase
{
    const char* name;
    const char* config;
    float sound;
    float music;
};

class AudioDriverVolumeTest : public AudioDriverTest, public ::testing::WithParamInterface<VolumeCase>
{
};

TEST_P(AudioDriverVolumeTest, VolumesComeFromConfigDividedBy100WithoutClamping)
{
    start(GetParam().config);
    EXPECT_FLOAT_EQ(GetParam().sound, driver->getSoundVolume());
    EXPECT_FLOAT_EQ(GetParam().music, driver->getMusicVolume());
}

INSTANTIATE_TEST_SUITE_P(
    Config, AudioDriverVolumeTest,
    ::testing::Values(VolumeCase{"Given", "sound_volume = 50\nmusic_volume = 30\n", 0.5f, 0.3f},
                      VolumeCase{"Absent", "dash_with_control = 1\n", 0.7f, 0.7f},
                      VolumeCase{"OutOfRange", "sound_volume = 150\nmusic_volume = -20\n", 1.5f, -0.2f}),
    [](const ::testing::TestParamInfo<VolumeCase>& info) { return info.param.name; });

TEST_F(AudioDriverTest, ConstructionLogsInitWithoutErrors)
{
    start();
    const std::string text = log();
    EXPECT_EQ(1, countLines(text, "AudioDriver: init"));
    EXPECT_EQ(std::string::npos, text.find("FMOD error")) << text;
    EXPECT_GT(text.find("AudioDriver: init"), text.find("Config: init"));
}

TEST_F(AudioDriverTest, OldVersionIsLoggedAndUsedAnyway)
{
    SoundSystem::setReportedVersion(0x43600);
    start();
    const std::string text = log();
    EXPECT_EQ(1, countLines(text, "AudioDriver: FMOD error! You are using an old version of FMOD 275968. "
                                  "This program requires 275969"))
        << text;
    EXPECT_TRUE(driver->getSound("sounds/a.wav")->isLoaded());
}

class AudioDriverVersionTest : public AudioDriverTest, public ::testing::WithParamInterface<uint32_t>
{
};

TEST_P(AudioDriverVersionTest, CurrentAndNewerVersionsAreNotWarnedAbout)
{
    SoundSystem::setReportedVersion(GetParam());
    start();
    EXPECT_EQ(std::string::npos, log().find("old version")) << log();
}

INSTANTIATE_TEST_SUITE_P(Versions, AudioDriverVersionTest, ::testing::Values(0x43601u, 0x50000u));

TEST_F(AudioDriverTest, CheckErrorLogsCodeAndText)
{
    start();
    struct Case
    {
        uint32_t code;
        bool ok;
        std::string line;
    };
    const std::vector<Case> cases = {
        {SoundSystem::OK, true, ""},
        {SoundSystem::ERR_FILE_NOT_FOUND, false, "AudioDriver: FMOD error! (7)File not found."},
        {SoundSystem::ERR_NO_AUDIO_DEVICE, false,
         "AudioDriver: FMOD error! (5)No audio output could be opened."},
        {SoundSystem::RESULT_COUNT, false, "AudioDriver: FMOD error! (14)Unknown error."},
        {96, false, "AudioDriver: FMOD error! (96)Unknown error."},
        {0xFFFFFFFFu, false, "AudioDriver: FMOD error! (4294967295)Unknown error."},
    };
    for (const Case& c : cases)
    {
        const size_t before = log().size();
        EXPECT_EQ(c.ok, driver->checkError(c.code)) << c.code;
        const std::string added = log().substr(before);
        EXPECT_EQ(c.line.empty() ? "" : c.line + "\n", added) << c.code;
    }
}

TEST_F(AudioDriverTest, SameFileNameGivesTheSameSoundLoadedOnce)
{
    start();
    Sound* first = driver->getSound("sounds/a.wav");
    Sound* second = driver->getSound("sounds/a.wav");
    EXPECT_EQ(first, second);
    EXPECT_TRUE(first->isLoaded());
    EXPECT_EQ(1, countLines(log(), "AudioDriver: sounds/a.wav is loaded"));

    // Another spelling of the same file is another entry.
    Sound* other = driver->getSound("./sounds/a.wav");
    EXPECT_NE(first, other);
    EXPECT_EQ(1, countLines(log(), "AudioDriver: ./sounds/a.wav is loaded"));
}

TEST_F(AudioDriverTest, MissingFileIsTriedOnceAndItsPlayIsHarmless)
{
    start();
    Channel* playing = driver->getSound("sounds/a.wav")->play();
    ASSERT_TRUE(playing->isPlaying());

    const size_t before = log().size();
    Sound* missing = driver->getSound("sounds/missing.wav");
    EXPECT_FALSE(missing->isLoaded());
    EXPECT_EQ(missing, driver->getSound("sounds/missing.wav"));
    EXPECT_EQ("AudioDriver: FMOD error! (7)File not found.\n"
              "AudioDriver: FMOD error! (1)A handle was null or no longer valid.\n"
              "AudioDriver: sounds/missing.wav could not be loaded\n",
              log().substr(before));

    const size_t beforePlay = log().size();
    Channel* refused = missing->play();
    ASSERT_NE(nullptr, refused);
    EXPECT_EQ("AudioDriver: FMOD error! (1)A handle was null or no longer valid.\n",
              log().substr(beforePlay));
    EXPECT_NE(playing, refused);
    EXPECT_FALSE(refused->isPlaying());
    const size_t beforeUse = log().size();
    refused->setVolume(0.5f, true);
    refused->setVolume(0.5f, false);
    refused->stop();
    EXPECT_EQ(beforeUse, log().size());

    // The refusal left the real channel alone.
    EXPECT_TRUE(playing->isPlaying());
    playing->stop();
    EXPECT_FALSE(playing->isPlaying());
}

TEST_F(AudioDriverTest, WavOggAndMp3LoadWholeAndPlayOnSeveralChannelsAtOnce)
{
    start();
    writeFile("tone.wav", squareWav(0.5, 8000));
    encode("oggenc -Q tone.wav -o music/tone.ogg");
    encode("lame --quiet tone.wav music/tone.mp3");
    for (const std::string name : {"sounds/a.wav", "music/tone.ogg", "music/tone.mp3"})
    {
        Sound* sound = driver->getSound(name);
        ASSERT_TRUE(sound->isLoaded()) << name << "\n" << log();
        Channel* one = sound->play();
        Channel* two = sound->play();
        EXPECT_NE(one, two) << name;
        EXPECT_TRUE(one->isPlaying()) << name;
        EXPECT_TRUE(two->isPlaying()) << name;
        one->stop();
        two->stop();
    }
    // Files that are no sound, or a broken one.
    const std::string wav = squareWav(0.3, 8000);
    const std::vector<std::pair<std::string, std::string>> broken = {
        {"sounds/text.wav", "just some text, not a sound"},
        {"sounds/empty.wav", ""},
        {"sounds/header.wav", wav.substr(0, 30)},
        {"sounds/cut.wav", wav.substr(0, wav.size() / 2)},
        {"sounds/frame.mp3", std::string("\xFF\xFB\x90\x64") + std::string(600, '\x5A')},
        {"sounds/tag.mp3", std::string("ID3\x03\x00\x00\x00\x00\x00\x10", 10)},
    };
    for (const auto& file : broken)
    {
        writeFile(file.first, file.second);
        EXPECT_FALSE(driver->getSound(file.first)->isLoaded()) << file.first;
    }
    EXPECT_EQ(
        static_cast<int>(broken.size()),
        countLines(log(), "AudioDriver: FMOD error! (9)The file is not a sound this system can decode."));
}

// WAV files as other tools write them, which the mixer decodes: ADPCM from sound editors, and RIFF
// sizes that streaming writers leave open or get wrong. Each loads and plays.
TEST_F(AudioDriverTest, WavFilesOfEveryKindTheMixerDecodesLoadAndPlay)
{
    start();
    const std::string pcm = wavWithFormat(2, 44100);
    const std::vector<std::pair<std::string, std::string>> files = {
        {"sounds/ima-mono.wav", adpcmWav(0x11, 1, 22050, 40)},
        {"sounds/ima-stereo.wav", adpcmWav(0x11, 2, 44100, 40, 88)},
        {"sounds/ms-mono.wav", adpcmWav(2, 1, 22050, 40)},
        {"sounds/ms-stereo.wav", adpcmWav(2, 2, 44100, 40, 6)},
        {"sounds/riff-open.wav", withRiffSize(pcm, 0xFFFFFFFF)},
        {"sounds/riff-file-size.wav", withRiffSize(pcm, static_cast<uint32_t>(pcm.size()))},
        {"sounds/riff-short.wav", withRiffSize(pcm, 4)},
        {"sounds/ima-riff-open.wav", withRiffSize(adpcmWav(0x11, 1, 8000, 4), 0xFFFFFFFF)},
        // Blocks of 257 bytes whose samples need 256: the decoder reads the blocks back to back, so
        // where block 1 (MS) or 2 (IMA) would start by the block size there is no predictor or step
        // index, and a byte out of their range there is harmless.
        {"sounds/ms-padded.wav", withDataByte(adpcmWav(2, 1, 22050, 4, 0, 500, 257), 257, 7)},
        {"sounds/ima-padded.wav", withDataByte(adpcmWav(0x11, 1, 22050, 4, 0, 505, 257), 516, 200)},
    };
    for (const auto& file : files)
    {
        writeFile(file.first, file.second);
        Sound* sound = driver->getSound(file.first);
        ASSERT_TRUE(sound->isLoaded()) << file.first << "\n" << log();
        Channel* channel = sound->play();
        EXPECT_TRUE(channel->isPlaying()) << file.first;
        channel->stop();
    }
    EXPECT_EQ(log().find("FMOD error"), std::string::npos) << log();
}

struct BadSoundCase
{
    enum Kind
    {
        bytes,
        folder,
        oggAtOneHertz
    };
    const char* name;
    Kind kind;
    std::string file;
    std::string content;
    uint32_t code;
};

void PrintTo(const BadSoundCase& c, std::ostream* os)
{
    *os << c.name;
}

class AudioDriverBadSoundTest : public AudioDriverTest, public ::testing::WithParamInterface<BadSoundCase>
{
};

// A sound the mixer cannot take safely is refused with an error line and cached unloaded, like a
// missing one; playing it, also as music, does nothing, and good sounds still load and play.
TEST_P(AudioDriverBadSoundTest, IsRefusedLoggedAndHarmless)
{
    start();
    const BadSoundCase& c = GetParam();
    switch (c.kind)
    {
    case BadSoundCase::bytes:
        writeFile(c.file, c.content);
        break;
    case BadSoundCase::folder:
        ASSERT_EQ(0, mkdir(c.file.c_str(), 0755));
        break;
    case BadSoundCase::oggAtOneHertz:
        writeFile("raw.pcm", std::string(4000, '\x10'));
        encode("oggenc -Q -r --raw-rate=1 --raw-chan=1 raw.pcm -o " + c.file);
        break;
    }

    const size_t before = log().size();
    Sound* sound = driver->getSound(c.file);
    EXPECT_FALSE(sound->isLoaded());
    EXPECT_EQ("AudioDriver: FMOD error! (" + std::to_string(c.code) + ")" + SoundSystem::errorText(c.code) +
                  "\nAudioDriver: FMOD error! (1)A handle was null or no longer valid.\nAudioDriver: " +
                  c.file + " could not be loaded\n",
              log().substr(before));
    EXPECT_EQ(sound, driver->getSound(c.file));

    Channel* refused = sound->play();
    ASSERT_NE(nullptr, refused);
    EXPECT_FALSE(refused->isPlaying());
    refused->setVolume(1.0f, true);
    refused->stop();
    sound->play();
    // Named once, when it was loaded, not at every play.
    EXPECT_EQ(1, countLinesWith(log(), c.file)) << log();
    driver->playMusic(c.file, 0.01f);
    for (int i = 0; i < 10; ++i)
    {
        driver->update();
    }
    EXPECT_EQ(-1, onlyPlayingChannel());

    Sound* good = driver->getSound("sounds/a.wav");
    ASSERT_TRUE(good->isLoaded()) << log();
    EXPECT_TRUE(good->play()->isPlaying());
}

// The WAV header with its data chunk's size field (at byte 40) set to a bigger number than the file holds.
std::string wavWhoseDataSizeLies()
{
    std::string wav = wavWithFormat(1, 44100);
    wav[40] = '\xF0';
    wav[41] = '\xFF';
    wav[42] = '\xFF';
    wav[43] = '\x7F';
    return wav;
}

// An MS ADPCM WAV whose format chunk ends before the coefficient table the decoder reads.
std::string msAdpcmWithoutCoefficients()
{
    std::string wav = adpcmWav(2, 1, 22050, 4);
    wav.erase(12 + 8 + 20, 2 + 7 * 4);
    wav.replace(16, 4, std::string("\x14\0\0\0", 4));
    return wav;
}

INSTANTIATE_TEST_SUITE_P(
    Files, AudioDriverBadSoundTest,
    ::testing::Values(
        BadSoundCase{"ZeroChannels", BadSoundCase::bytes, "sounds/bad.wav", wavWithFormat(0, 44100),
                     SoundSystem::ERR_FORMAT_OUT_OF_RANGE},
        BadSoundCase{"RateZero", BadSoundCase::bytes, "sounds/bad.wav", wavWithFormat(1, 0),
                     SoundSystem::ERR_FORMAT_OUT_OF_RANGE},
        BadSoundCase{"RateOne", BadSoundCase::bytes, "sounds/bad.wav", wavWithFormat(1, 1),
                     SoundSystem::ERR_FORMAT_OUT_OF_RANGE},
        BadSoundCase{"Rate400000", BadSoundCase::bytes, "sounds/bad.wav", wavWithFormat(2, 400000),
                     SoundSystem::ERR_FORMAT_OUT_OF_RANGE},
        BadSoundCase{"NineChannels", BadSoundCase::bytes, "sounds/bad.wav", wavWithFormat(9, 44100),
                     SoundSystem::ERR_FORMAT_OUT_OF_RANGE},
        BadSoundCase{"CutHeader", BadSoundCase::bytes, "sounds/bad.wav",
                     wavWithFormat(1, 44100).substr(0, 24), SoundSystem::ERR_BAD_FORMAT},
        BadSoundCase{"DataSizeLies", BadSoundCase::bytes, "sounds/bad.wav", wavWhoseDataSizeLies(),
                     SoundSystem::ERR_BAD_FORMAT},
        // ADPCM the mixer's decoders would read or write past their buffers for.
        BadSoundCase{"AdpcmThreeChannels", BadSoundCase::bytes, "sounds/bad.wav", adpcmWav(2, 3, 22050, 4),
                     SoundSystem::ERR_FORMAT_OUT_OF_RANGE},
        BadSoundCase{"MsAdpcmPredictorSeven", BadSoundCase::bytes, "sounds/bad.wav",
                     adpcmWav(2, 1, 22050, 4, 7), SoundSystem::ERR_BAD_FORMAT},
        BadSoundCase{"MsAdpcmMoreSamplesThanTheBlockHolds", BadSoundCase::bytes, "sounds/bad.wav",
                     adpcmWav(2, 1, 22050, 4, 0, 1000), SoundSystem::ERR_BAD_FORMAT},
        BadSoundCase{"MsAdpcmWithoutCoefficients", BadSoundCase::bytes, "sounds/bad.wav",
                     msAdpcmWithoutCoefficients(), SoundSystem::ERR_BAD_FORMAT},
        BadSoundCase{"ImaAdpcmStepIndex89", BadSoundCase::bytes, "sounds/bad.wav",
                     adpcmWav(0x11, 2, 22050, 4, 89), SoundSystem::ERR_BAD_FORMAT},
        BadSoundCase{"ImaAdpcmSamplesNotInEights", BadSoundCase::bytes, "sounds/bad.wav",
                     adpcmWav(0x11, 1, 22050, 4, 0, 500), SoundSystem::ERR_BAD_FORMAT},
        // Blocks longer than their samples need, with block 1's header where the decoder takes
        // it: right after block 0's samples (byte 256 in mono, 512 in stereo), not at the block size.
        BadSoundCase{"MsAdpcmPaddedBlockPredictorSeven", BadSoundCase::bytes, "sounds/bad.wav",
                     withDataByte(adpcmWav(2, 1, 22050, 4, 0, 500, 257), 256, 7),
                     SoundSystem::ERR_BAD_FORMAT},
        BadSoundCase{"ImaAdpcmPaddedBlockStepIndex89", BadSoundCase::bytes, "sounds/bad.wav",
                     withDataByte(adpcmWav(0x11, 1, 22050, 4, 0, 505, 257), 258, 89),
                     SoundSystem::ERR_BAD_FORMAT},
        BadSoundCase{"ImaAdpcmStereoPaddedBlockStepIndex89", BadSoundCase::bytes, "sounds/bad.wav",
                     withDataByte(adpcmWav(0x11, 2, 22050, 4, 0, 505, 520), 512 + 4 + 2, 89),
                     SoundSystem::ERR_BAD_FORMAT},
        BadSoundCase{"Folder", BadSoundCase::folder, "sounds/bad.wav", "", SoundSystem::ERR_FILE_UNREADABLE},
        BadSoundCase{"OggAtOneHertz", BadSoundCase::oggAtOneHertz, "music/bad.ogg", "",
                     SoundSystem::ERR_FORMAT_OUT_OF_RANGE}),
    [](const ::testing::TestParamInfo<BadSoundCase>& info) { return std::string(info.param.name); });

// The same Ogg stream with its last page saying that the stream ends at sample `granule`: the
// length a reader takes without decoding.
std::string withLastGranule(std::string ogg, uint64_t granule)
{
    const size_t page = ogg.rfind("OggS");
    for (int i = 0; i < 8; ++i)
    {
        ogg[page + 6 + i] = static_cast<char>((granule >> (8 * i)) & 0xFF);
    }
    ogg.replace(page + 22, 4, std::string(4, '\0'));
    uint32_t crc = 0;
    for (size_t i = page; i < ogg.size(); ++i)
    {
        crc ^= static_cast<uint32_t>(static_cast<unsigned char>(ogg[i])) << 24;
        for (int bit = 0; bit < 8; ++bit)
        {
            crc = (crc & 0x80000000u) != 0 ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        }
    }
    for (int i = 0; i < 4; ++i)
    {
        ogg[page + 22 + i] = static_cast<char>((crc >> (8 * i)) & 0xFF);
    }
    return ogg;
}

// A 20-minute 48 kHz stereo tune is 230,400,000 bytes once decoded, and its WAV as large as that.
TEST_F(AudioDriverTest, LimitsLetATwentyMinuteTuneThrough)
{
    start();
    // A second of a tone: pages enough that the first audio page, where the stream starts, is not the last.
    std::vector<int16_t> tone(2 * 48000);
    for (size_t i = 0; i < tone.size(); ++i)
    {
        tone[i] = (i / 100) % 2 == 0 ? 8000 : -8000;
    }
    writeFile("tune.wav", pcmWav(2, 48000, tone));
    encode("oggenc -Q tune.wav -o tune.ogg");
    const std::string ogg = readFile("tune.ogg");
    ASSERT_EQ(SoundSystem::OK, SoundSystem::checkFormat(ogg));

    const uint64_t twentyMinutes = 20ull * 60 * 48000;
    EXPECT_EQ(SoundSystem::OK, SoundSystem::checkFormat(withLastGranule(ogg, twentyMinutes)));
    // The length is read, not assumed: an hour is too long.
    EXPECT_EQ(SoundSystem::ERR_FORMAT_OUT_OF_RANGE,
              SoundSystem::checkFormat(withLastGranule(ogg, 3 * twentyMinutes)));
    // Reading a WAV that large whole takes seconds under the sanitizers, so only its size is compared.
    EXPECT_GE(static_cast<uint64_t>(SoundSystem::MAX_FILE_BYTES), 44 + twentyMinutes * 4);
}

TEST_F(AudioDriverTest, EveryGeneratedSoundAndMusicLoads)
{
    start();
    const std::string data = QUARROW_DATA_DIR;
    const std::vector<std::string> names = {
        "sounds/bonus_apple.wav", "sounds/bonus_diamond.wav", "sounds/bonus_key.wav",
        "sounds/bonus_bomb.wav",  "sounds/dig1.wav",          "sounds/dig2.wav",
        "sounds/dig3.wav",        "sounds/step1.wav",         "sounds/step2.wav",
        "sounds/step3.wav",       "sounds/rock_dash.wav",     "sounds/box_dash.wav",
        "sounds/laughing.wav",    "sounds/dying.wav",         "sounds/sand_coll.wav",
        "sounds/rock_coll.wav",   "sounds/diamond_coll.wav",  "sounds/explosion.wav",
        "sounds/door_open.wav",   "sounds/bomb_tick.wav",     "sounds/menu_enter.wav",
        "sounds/menu_step.wav",   "sounds/message.wav",       "music/Title_Music.ogg",
        "music/Credits.ogg",      "music/Completed.mp3"};
    for (const std::string& name : names)
    {
        Sound* sound = driver->getSound(data + "/" + name);
        ASSERT_TRUE(sound->isLoaded()) << name << "\n" << log();
        Channel* channel = sound->play();
        EXPECT_TRUE(channel->isPlaying()) << name;
        channel->stop();
    }
}

TEST_F(AudioDriverTest, EffectsPlayAtTheSquareOfTheSoundVolume)
{
    start();
    struct Case
    {
        float soundVolume;
        int mixerVolume;
    };
    const std::vector<Case> cases = {{1.0f, 128}, {0.5f, 32}, {0.7f, 63}, {0.0f, 0}};
    Sound* sound = driver->getSound("sounds/a.wav");
    for (const Case& c : cases)
    {
        driver->setSoundVolume(c.soundVolume);
        Channel* channel = sound->play();
        const int index = onlyPlayingChannel();
        ASSERT_GE(index, 0);
        EXPECT_EQ(c.mixerVolume, Mix_Volume(index, -1)) << c.soundVolume;
        // Playing effects keep their volume when the setting changes.
        driver->setSoundVolume(1.0f);
        EXPECT_EQ(c.mixerVolume, Mix_Volume(index, -1)) << c.soundVolume;
        channel->stop();
    }
}

TEST_F(AudioDriverTest, MixedAmplitudeIsTheSquareOfTheSoundVolume)
{
    const std::string raw = makeTempDir("quarrow-disk") + "/out.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "10", 1);
    start("sound_volume = 50\nmusic_volume = 100\n");

    driver->getSound("sounds/a.wav")->play();
    ASSERT_TRUE(waitUntilSilent(30));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Core::shutdown();
    started = false;

    const std::string bytes = readFile(raw);
    ASSERT_GT(bytes.size(), 0.3 * 44100 * 4);
    int peak = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    {
        const int16_t s =
            static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8));
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    }
    // 8000 at a quarter, not at a half.
    EXPECT_EQ(2000, peak);
}

TEST_F(AudioDriverTest, PlayUnblockedPlaysEveryFifthStep)
{
    start();
    Sound* sound = driver->getSound("sounds/a.wav");
    std::vector<int> playedIn;
    for (int step = 0; step < 12; ++step)
    {
        driver->update();
        if (Channel* channel = sound->playUnblocked())
        {
            playedIn.push_back(step);
            channel->stop();
        }
        else
        {
            // A blocked file can still be played the ordinary way.
            ASSERT_NE(nullptr, sound->play());
            Mix_HaltChannel(-1);
        }
    }
    EXPECT_EQ((std::vector<int>{0, 5, 10}), playedIn);
    EXPECT_TRUE(driver->isSoundBlocked("sounds/a.wav"));
    EXPECT_FALSE(driver->isSoundBlocked("sounds/other.wav"));
}

TEST_F(AudioDriverTest, SameMusicChangesNothingAndAnotherRestarts)
{
    start();
    writeFile("music/other.wav", squareWav(4.0, 8000));
    driver->playMusic("music/long.wav", 0.01f);
    for (int i = 0; i < 3; ++i)
    {
        driver->update();
    }
    const int index = onlyPlayingChannel();
    ASSERT_GE(index, 0);
    EXPECT_EQ(4, Mix_Volume(index, -1)); // 0.03 of full

    driver->playMusic("music/long.wav", 0.0f);
    driver->update();
    EXPECT_EQ(index, onlyPlayingChannel());
    EXPECT_EQ(5, Mix_Volume(index, -1)); // the fade went on
    EXPECT_EQ(1, countLines(log(), "AudioDriver: music/long.wav is loaded"));
    EXPECT_EQ(0, countLines(log(), "AudioDriver: music/long.wav released"));

    driver->playMusic("music/other.wav", 0.0f);
    EXPECT_EQ(1, countLines(log(), "AudioDriver: music/long.wav released"));
    EXPECT_EQ(1, countLines(log(), "AudioDriver: music/other.wav is loaded"));
    EXPECT_GE(onlyPlayingChannel(), 0); // the old music stopped, the new one plays alone
}

TEST_F(AudioDriverTest, EndedMusicRestartsOnTheNextUpdateAndKeepsFading)
{
    start();
    writeFile("short.wav", squareWav(0.1, 8000));
    encode("oggenc -Q short.wav -o music/short.ogg");
    driver->playMusic("music/short.ogg", 0.01f);
    for (int i = 0; i < 3; ++i)
    {
        driver->update();
    }
    ASSERT_TRUE(waitUntilSilent(30));

    driver->update();
    const int index = onlyPlayingChannel();
    ASSERT_GE(index, 0);
    EXPECT_EQ(5, Mix_Volume(index, -1)); // 0.04 of full: neither reset nor jumped
    EXPECT_EQ(1, countLines(log(), "AudioDriver: music/short.ogg is loaded"));
}

TEST_F(AudioDriverTest, FadeInWithHundredthReachesFullVolumeInAboutHundredUpdates)
{
    start("sound_volume = 50\nmusic_volume = 100\n");
    driver->playMusic("music/long.wav", 0.01f);
    const int index = onlyPlayingChannel();
    ASSERT_GE(index, 0);
    EXPECT_EQ(0, Mix_Volume(index, -1));

    int previous = 0;
    int fullAt = -1;
    for (int update = 1; update <= 130; ++update)
    {
        driver->update();
        const int volume = Mix_Volume(index, -1);
        EXPECT_GE(volume, previous) << update;
        previous = volume;
        if (update == 50)
        {
            EXPECT_NEAR(64, volume, 1);
        }
        if (volume == 128 && fullAt < 0)
        {
            fullAt = update;
        }
    }
    EXPECT_GE(fullAt, 98);
    EXPECT_LE(fullAt, 102);
    EXPECT_FLOAT_EQ(1.0f, driver->getMusicVolume());
}

TEST_F(AudioDriverTest, FadeOutLeavesTheStoredMusicVolumeAtZero)
{
    start("sound_volume = 50\nmusic_volume = 100\n");
    driver->playMusic("music/long.wav", 0.0f);
    const int index = onlyPlayingChannel();
    ASSERT_GE(index, 0);
    EXPECT_EQ(128, Mix_Volume(index, -1));

    driver->fadeMusic(-0.02f);
    EXPECT_EQ(128, Mix_Volume(index, -1));
    for (int update = 1; update <= 48; ++update)
    {
        driver->update();
    }
    EXPECT_GT(Mix_Volume(index, -1), 0);
    EXPECT_FLOAT_EQ(1.0f, driver->getMusicVolume());
    for (int update = 49; update <= 60; ++update)
    {
        driver->update();
    }
    EXPECT_EQ(0.0f, driver->getMusicVolume());
    EXPECT_EQ(0, Mix_Volume(index, -1));
    EXPECT_EQ(index, onlyPlayingChannel()); // still playing, silently

    driver->setMusicVolume(0.5f);
    EXPECT_EQ(64, Mix_Volume(index, -1));
    driver->update();
    EXPECT_EQ(64, Mix_Volume(index, -1));
}

TEST_F(AudioDriverTest, MissingMusicIsRefusedOnceNotEveryStep)
{
    start();
    driver->playMusic("music/missing.ogg", 0.01f);
    const size_t before = log().size();
    for (int i = 0; i < 20; ++i)
    {
        driver->update();
    }
    EXPECT_EQ(before, log().size());
    EXPECT_EQ(-1, onlyPlayingChannel());
}

TEST_F(AudioDriverTest, WithoutAnAudioDeviceEverythingIsSilentAndHarmless)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    start();
    const std::string text = log();
    const size_t init = text.find("AudioDriver: init\n");
    ASSERT_NE(std::string::npos, init);
    EXPECT_EQ(init + std::string("AudioDriver: init\n").size(),
              text.find("AudioDriver: FMOD error! (5)No audio output could be opened.\n"))
        << text;

    Sound* sound = driver->getSound("sounds/a.wav");
    EXPECT_FALSE(sound->isLoaded());
    Channel* channel = sound->play();
    ASSERT_NE(nullptr, channel);
    EXPECT_FALSE(channel->isPlaying());
    channel->setVolume(1.0f, true);
    channel->stop();
    EXPECT_NE(nullptr, sound->playUnblocked());

    driver->playMusic("music/long.wav", 0.0f);
    driver->fadeMusic(-0.02f);
    const size_t before = log().size();
    for (int i = 0; i < 100; ++i)
    {
        driver->update();
    }
    EXPECT_EQ(before, log().size());

    Core::shutdown();
    started = false;
    const std::string end = log();
    const size_t done = end.find("AudioDriver: done\n");
    ASSERT_NE(std::string::npos, done) << end;
    EXPECT_LT(done, end.find("Config: done\n"));
    EXPECT_EQ(std::string::npos, end.find("FMOD error", before)) << end;
}

TEST_F(AudioDriverTest, ShutDownAfterSdlQuitNeitherCrashesNorComplains)
{
    start();
    driver->getSound("sounds/a.wav")->play();
    driver->playMusic("music/long.wav", 0.01f);
    driver->update();
    SDL_Quit(); // what the window does before the driver goes
    driver->update();
    const size_t before = log().size();
    Core::shutdown();
    started = false;

    const std::string end = log().substr(before);
    EXPECT_EQ(std::string::npos, end.find("FMOD error")) << end;
    const size_t music = end.find("AudioDriver: music/long.wav released\n");
    const size_t effect = end.find("AudioDriver: sounds/a.wav released\n");
    const size_t done = end.find("AudioDriver: done\n");
    ASSERT_NE(std::string::npos, music) << end;
    EXPECT_LT(music, effect);
    EXPECT_LT(effect, done);
    EXPECT_NE(std::string::npos, done);
}

} // namespace
