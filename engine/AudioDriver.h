#pragma once

// Placeholder until the sound driver lands: every operation does nothing.
class AudioDriver
{
  public:
    AudioDriver() {}
    virtual ~AudioDriver() {}
    void createChannels() {}
    void update() {}
};
