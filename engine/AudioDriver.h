#pragma once

#include "SoundSystem.h"

#include <cstdint>
#include <map>
#include <string>

class Channel;
class Sound;

// The sound driver: the sound system, 16 channel wrappers, the sound cache by file name, the effect
// and music volumes, the current music with its fade, and the repeat counters of playUnblocked.
class AudioDriver
{
  public:
    static const int CHANNEL_COUNT = 16;
    static const int MUSIC_ENTRY = 16;

    AudioDriver();
    virtual ~AudioDriver();

    // Creates the channel wrappers; called once, after the core has stored the driver.
    void createChannels();

    // The cached sound of fileName, loaded on first request; never null, possibly not loaded.
    Sound* getSound(const std::string& fileName);

    // Replaces the current music unless fileName is already playing; fadeStep 0 plays at the
    // music volume, anything else fades (see fadeMusic).
    void playMusic(const std::string& fileName, float fadeStep);
    // A fade in (step 0 or more, from silence) or out (step below 0, from full music volume).
    void fadeMusic(float step);
    void setMusicVolume(float volume);
    float getMusicVolume() const;
    // Effects already playing keep their volume.
    void setSoundVolume(float volume);
    float getSoundVolume() const;

    // Once per step: music restart, fade, repeat counters, the sound system's update.
    void update();

    // A new Sound for fileName, loaded but not cached.
    Sound* loadSound(const std::string& fileName);
    // True for OK; otherwise logs the code with its text and returns false.
    bool checkError(uint32_t result) const;
    bool isSoundBlocked(const std::string& fileName) const;
    void blockSound(const std::string& fileName, int32_t steps);
    // Entry index for 0 to 16, entry 0 for anything larger.
    Channel* getChannel(uint16_t index) const;
    void bindChannel(uint16_t index, SoundSystem::Voice* voice);
    // Handed out when the sound system refuses a play: it never holds a voice, so every operation on it
    // does nothing.
    Channel* getIdleChannel() const;
    SoundSystem* getSystem() const;

  private:
    SoundSystem* system;
    Channel* channels[CHANNEL_COUNT + 1];
    Sound* music;
    std::map<std::string, Sound*> sounds;
    std::map<std::string, int32_t> repeatCounters;
    float soundVolume;
    float musicVolume;
    std::string currentMusic;
    float fadeFactor;
    float fadeStep;
    bool fading;
    Channel* idleChannel;
};
