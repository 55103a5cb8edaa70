#include "Sound.h"

#include "AudioDriver.h"
#include "Channel.h"

Sound::Sound(const std::string& fileName, AudioDriver* driver)
    : fileName(fileName), loaded(false), sound(nullptr), system(driver->getSystem()), driver(driver)
{
}

Sound::~Sound()
{
    if (loaded)
    {
        driver->checkError(SoundSystem::releaseSample(sound));
        Core::log("AudioDriver: " + fileName + " released");
    }
    else if (sound != nullptr)
    {
        // Decoded but its mode was refused: still ours to free.
        SoundSystem::releaseSample(sound);
    }
}

void Sound::load()
{
    loaded = driver->checkError(
        SoundSystem::createSample(system, fileName.c_str(), SoundSystem::MODE_DEFAULT, &sound));
    loaded = driver->checkError(SoundSystem::setSampleMode(sound, SoundSystem::MODE_LOOP_OFF));
}

bool Sound::isLoaded() const
{
    return loaded;
}

Channel* Sound::play()
{
    SoundSystem::Voice* voice = nullptr;
    if (!driver->checkError(SoundSystem::playSample(system, SoundSystem::FREE_CHANNEL, sound, false, &voice)))
    {
        return driver->getIdleChannel();
    }
    int index = 0;
    SoundSystem::getVoiceIndex(voice, &index);
    driver->bindChannel(static_cast<uint16_t>(index), voice);
    Channel* channel = driver->getChannel(static_cast<uint16_t>(index));
    if (channel == nullptr)
    {
        return driver->getIdleChannel(); // the channel wrappers were never created
    }
    // Effects play at the square of the sound volume.
    channel->setVolume(driver->getSoundVolume(), true);
    return channel;
}

Channel* Sound::playUnblocked()
{
    if (driver->isSoundBlocked(fileName))
    {
        return nullptr;
    }
    driver->blockSound(fileName, 5);
    return play();
}
