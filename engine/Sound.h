#pragma once

#include "Core.h"
#include "SoundSystem.h"

#include <string>

class AudioDriver;
class Channel;

// One sound file, decoded whole into memory; plays on a free channel, several at once if asked.
class Sound
{
  public:
    explicit Sound(const std::string& fileName, AudioDriver* driver = Core::getAudioDriver());
    virtual ~Sound();

    void load();
    bool isLoaded() const;
    // Starts the sound at the effect volume; never null (a refused play gives a channel that does nothing).
    Channel* play();
    // As play, unless this file was started that way during the last 5 steps: then null.
    Channel* playUnblocked();

  private:
    std::string fileName;
    bool loaded;
    SoundSystem::Sample* sound;
    SoundSystem* system;
    AudioDriver* driver;
};
