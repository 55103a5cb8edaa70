#include "Channel.h"

#include "AudioDriver.h"

Channel::Channel(AudioDriver* driver) : channel(nullptr), driver(driver) {}

Channel::~Channel() {}

void Channel::setChannel(SoundSystem::Voice* voice)
{
    channel = voice;
}

void Channel::setVolume(float volume, bool scaled)
{
    if (channel == nullptr)
    {
        return;
    }
    const float applied = scaled ? volume * driver->getSoundVolume() : volume;
    driver->checkError(SoundSystem::setVoiceVolume(channel, applied));
}

void Channel::stop()
{
    // A channel that never got a voice has nothing to stop.
    if (channel == nullptr)
    {
        return;
    }
    driver->checkError(SoundSystem::stopVoice(channel));
}

bool Channel::isPlaying() const
{
    if (channel == nullptr)
    {
        return false;
    }
    bool playing = false;
    if (SoundSystem::isVoicePlaying(channel, &playing) != SoundSystem::OK)
    {
        return false;
    }
    return playing;
}
