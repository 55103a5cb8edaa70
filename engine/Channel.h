#pragma once

#include "Core.h"
#include "SoundSystem.h"

class AudioDriver;

// One channel of the sound system: whichever sound was last started on its index.
class Channel
{
  public:
    explicit Channel(AudioDriver* driver = Core::getAudioDriver());
    virtual ~Channel();

    void setChannel(SoundSystem::Voice* voice);
    // scaled: volume is multiplied by the driver's sound volume.
    void setVolume(float volume, bool scaled);
    void stop();
    bool isPlaying() const;

  private:
    SoundSystem::Voice* channel;
    AudioDriver* driver;
};
