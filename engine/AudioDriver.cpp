#include "AudioDriver.h"

#include "Channel.h"
#include "Config.h"
#include "Core.h"
#include "Sound.h"

AudioDriver::AudioDriver()
    : system(nullptr), channels(), music(nullptr), soundVolume(0.0f), musicVolume(0.0f), fadeFactor(0.0f),
      fadeStep(0.0f), fading(false), idleChannel(nullptr)
{
    Core::log("AudioDriver: init");
    checkError(SoundSystem::create(&system));

    uint32_t version = 0;
    checkError(SoundSystem::getVersion(system, &version));
    if (version < SoundSystem::VERSION)
    {
        Core::log("AudioDriver: FMOD error! You are using an old version of FMOD " + std::to_string(version) +
                  ". This program requires " + std::to_string(SoundSystem::VERSION));
    }

    checkError(SoundSystem::init(system, CHANNEL_COUNT, SoundSystem::INIT_NORMAL));

    soundVolume = Core::getConfig()->get("sound_volume", 70) / 100.0f;
    musicVolume = Core::getConfig()->get("music_volume", 70) / 100.0f;
}

AudioDriver::~AudioDriver()
{
    if (channels[MUSIC_ENTRY] != nullptr)
    {
        channels[MUSIC_ENTRY]->stop();
    }
    delete music;

    for (auto& entry : sounds)
    {
        delete entry.second;
    }
    sounds.clear();

    // The music entry is one of these, not an object of its own.
    for (int i = 0; i < CHANNEL_COUNT; ++i)
    {
        delete channels[i];
    }
    delete idleChannel;

    checkError(SoundSystem::close(system));
    checkError(SoundSystem::release(system));
    Core::log("AudioDriver: done");
}

void AudioDriver::createChannels()
{
    for (int i = 0; i < CHANNEL_COUNT; ++i)
    {
        channels[i] = new Channel(this);
    }
    idleChannel = new Channel(this);
}

Sound* AudioDriver::getSound(const std::string& fileName)
{
    auto cached = sounds.find(fileName);
    if (cached != sounds.end())
    {
        return cached->second;
    }
    // Cached loaded or not, so a broken file is tried only once.
    Sound* sound = loadSound(fileName);
    sounds[fileName] = sound;
    return sound;
}

Sound* AudioDriver::loadSound(const std::string& fileName)
{
    Sound* sound = new Sound(fileName, this);
    sound->load();
    if (sound->isLoaded())
    {
        Core::log("AudioDriver: " + fileName + " is loaded");
    }
    else
    {
        // The error lines above give the reason but not the file.
        Core::log("AudioDriver: " + fileName + " could not be loaded");
    }
    return sound;
}

void AudioDriver::playMusic(const std::string& fileName, float fadeStep)
{
    if (fileName == currentMusic)
    {
        return;
    }
    if (channels[MUSIC_ENTRY] != nullptr)
    {
        channels[MUSIC_ENTRY]->stop();
    }
    delete music;

    music = loadSound(fileName);
    currentMusic = fileName;
    channels[MUSIC_ENTRY] = music->play();

    if (fadeStep == 0.0f)
    {
        setMusicVolume(musicVolume);
    }
    else
    {
        fadeMusic(fadeStep);
    }
}

void AudioDriver::fadeMusic(float step)
{
    fadeFactor = step >= 0.0f ? 0.0f : 1.0f;
    fadeStep = step;
    fading = true;
    Channel* musicChannel = channels[MUSIC_ENTRY];
    if (musicChannel != nullptr && musicChannel->isPlaying())
    {
        musicChannel->setVolume(musicVolume * fadeFactor, false);
    }
}

void AudioDriver::setMusicVolume(float volume)
{
    musicVolume = volume;
    Channel* musicChannel = channels[MUSIC_ENTRY];
    if (musicChannel != nullptr && musicChannel->isPlaying())
    {
        musicChannel->setVolume(volume, false);
    }
}

float AudioDriver::getMusicVolume() const
{
    return musicVolume;
}

void AudioDriver::setSoundVolume(float volume)
{
    soundVolume = volume;
}

float AudioDriver::getSoundVolume() const
{
    return soundVolume;
}

void AudioDriver::update()
{
    if (channels[MUSIC_ENTRY] != nullptr)
    {
        // Restart an ended music. One that never loaded cannot play: retrying it every step would
        // only fill the log with the same refusal.
        if (!channels[MUSIC_ENTRY]->isPlaying() && music->isLoaded())
        {
            channels[MUSIC_ENTRY] = music->play();
        }

        float volume = musicVolume;
        if (fading)
        {
            fadeFactor += fadeStep;
            if (fadeFactor > 1.0f)
            {
                fading = false;
            }
            else if (fadeFactor >= 0.0f)
            {
                volume = fadeFactor * musicVolume;
            }
            else
            {
                fading = false;
                musicVolume = 0.0f;
                volume = 0.0f;
            }
        }
        channels[MUSIC_ENTRY]->setVolume(volume, false);
    }

    for (auto& entry : repeatCounters)
    {
        if (entry.second > 0)
        {
            --entry.second;
        }
    }

    SoundSystem::update(system);
}

bool AudioDriver::checkError(uint32_t result) const
{
    if (result == SoundSystem::OK)
    {
        return true;
    }
    Core::log("AudioDriver: FMOD error! (" + std::to_string(result) + ")" + SoundSystem::errorText(result));
    return false;
}

bool AudioDriver::isSoundBlocked(const std::string& fileName) const
{
    auto counter = repeatCounters.find(fileName);
    return counter != repeatCounters.end() && counter->second != 0;
}

void AudioDriver::blockSound(const std::string& fileName, int32_t steps)
{
    repeatCounters[fileName] = steps;
}

Channel* AudioDriver::getChannel(uint16_t index) const
{
    return index <= MUSIC_ENTRY ? channels[index] : channels[0];
}

void AudioDriver::bindChannel(uint16_t index, SoundSystem::Voice* voice)
{
    Channel* channel = index <= MUSIC_ENTRY ? channels[index] : channels[0];
    if (channel != nullptr)
    {
        channel->setChannel(voice);
    }
}

Channel* AudioDriver::getIdleChannel() const
{
    return idleChannel;
}

SoundSystem* AudioDriver::getSystem() const
{
    return system;
}
