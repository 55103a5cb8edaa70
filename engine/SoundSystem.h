#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Our sound system: a small C-style interface over SDL_mixer with result codes of its own.
// Every operation takes its handles as arguments, checks them and returns a Result, so a null or
// unusable handle is reported instead of crashing. Only one system can hold the mixer at a time.
class SoundSystem
{
  public:
    // The interface level this system implements, in packed major.minor.patch form.
    static const uint32_t VERSION = 0x43601;
    static const int FREE_CHANNEL = -1;
    static const uint32_t INIT_NORMAL = 0;
    // Sample modes: a whole file decoded into memory, played once or looped.
    static const uint32_t MODE_DEFAULT = 0;
    static const uint32_t MODE_LOOP_OFF = 1;
    static const uint32_t MODE_LOOP_NORMAL = 2;

    enum Result : uint32_t
    {
        OK = 0,
        ERR_INVALID_HANDLE,
        ERR_INVALID_PARAM,
        ERR_ALREADY_INITIALISED,
        ERR_NOT_INITIALISED,
        ERR_NO_AUDIO_DEVICE,
        ERR_MIXER_BUSY,
        ERR_FILE_NOT_FOUND,
        ERR_FILE_UNREADABLE,
        ERR_BAD_FORMAT,
        ERR_UNSUPPORTED_MODE,
        ERR_NO_FREE_CHANNEL,
        ERR_OUT_OF_MEMORY,
        ERR_FORMAT_OUT_OF_RANGE,
        RESULT_COUNT
    };

    // A sound decoded whole into memory; it can play on several channels at once.
    struct Sample;
    // One of the system's channels, identified by its index.
    struct Voice;

    static Result create(SoundSystem** system);
    static Result getVersion(const SoundSystem* system, uint32_t* version);
    // Opens the audio output with channelCount channels (indices 0 to channelCount - 1).
    static Result init(SoundSystem* system, int channelCount, uint32_t flags);
    static Result createSample(SoundSystem* system, const char* path, uint32_t mode, Sample** sample);
    static Result setSampleMode(Sample* sample, uint32_t mode);
    // channelIndex FREE_CHANNEL picks a free channel; the sound starts at full volume.
    static Result playSample(SoundSystem* system, int channelIndex, Sample* sample, bool paused,
                             Voice** voice);
    static Result getVoiceIndex(const Voice* voice, int* index);
    // volume 0 to 1; values outside are clamped.
    static Result setVoiceVolume(Voice* voice, float volume);
    static Result isVoicePlaying(const Voice* voice, bool* playing);
    static Result stopVoice(Voice* voice);
    static Result update(SoundSystem* system);
    static Result releaseSample(Sample* sample);
    static Result close(SoundSystem* system);
    // Closes if still open and frees the system; the handle is gone afterwards.
    static Result release(SoundSystem* system);

    // Sound files larger than this are not read: room for a 20-minute 48 kHz stereo tune as a
    // 16-bit WAV (230 MB) and more.
    static const size_t MAX_FILE_BYTES = 384 * 1024 * 1024;

    // Whether bytes hold a sound the mixer can decode and convert safely: a WAV of 8- or 16-bit
    // PCM or of 4-bit MS or IMA ADPCM whose chunks lie whole in the file, an Ogg Vorbis stream, or
    // an MP3, checked on the WAV our decoder makes of it. ERR_BAD_FORMAT for anything else or a
    // header that is cut or lies; ERR_FORMAT_OUT_OF_RANGE for 0 or more than 8 channels (more
    // than 2 for ADPCM), a rate outside 1000 to 384000 Hz, or a sound longer than 512 MiB once
    // converted to the output format.
    static Result checkFormat(const std::string& bytes);

    // Text for a result code; "Unknown error." for a code this system does not define.
    static const char* errorText(uint32_t result);

    // The version getVersion reports; tests lower it to see how older versions are treated.
    static void setReportedVersion(uint32_t version);

  private:
    SoundSystem() = default;
    ~SoundSystem() = default;
    bool isOpen() const;
    void deleteVoices();

    bool opened = false;
    std::vector<Voice*> voices; // one per channel index, kept until release

    static uint32_t reportedVersion;
    static bool mixerTaken;
};
