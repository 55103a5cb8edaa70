#include "SoundSystem.h"

#include "Mp3Decoder.h"

#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <unistd.h>

struct SoundSystem::Sample
{
    SoundSystem* owner;
    Mix_Chunk* chunk;
    uint32_t mode;
};

struct SoundSystem::Voice
{
    SoundSystem* owner;
    int index;
};

uint32_t SoundSystem::reportedVersion = SoundSystem::VERSION;
bool SoundSystem::mixerTaken = false;

namespace
{

const int OUTPUT_RATE = 44100;
const int OUTPUT_CHANNELS = 2;
const int OUTPUT_BUFFER_FRAMES = 1024;

const char* const RESULT_TEXTS[SoundSystem::RESULT_COUNT] = {
    "No errors.",
    "A handle was null or no longer valid.",
    "An argument was missing or out of range.",
    "The sound system is already started.",
    "The sound system is not started, or its start failed.",
    "No audio output could be opened.",
    "Another sound system holds the mixer.",
    "File not found.",
    "The file could not be read.",
    "The file is not a sound this system can decode.",
    "That sample mode is not supported.",
    "Every channel is busy.",
    "Not enough memory.",
};

bool readWholeFile(const char* path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool isSupportedMode(uint32_t mode)
{
    return mode == SoundSystem::MODE_DEFAULT || mode == SoundSystem::MODE_LOOP_OFF ||
           mode == SoundSystem::MODE_LOOP_NORMAL;
}

} // namespace

bool SoundSystem::isOpen() const
{
    return opened;
}

void SoundSystem::deleteVoices()
{
    for (Voice* voice : voices)
    {
        delete voice;
    }
    voices.clear();
}

SoundSystem::Result SoundSystem::create(SoundSystem** system)
{
    if (system == nullptr)
    {
        return ERR_INVALID_PARAM;
    }
    *system = new (std::nothrow) SoundSystem();
    return *system != nullptr ? OK : ERR_OUT_OF_MEMORY;
}

SoundSystem::Result SoundSystem::getVersion(const SoundSystem* system, uint32_t* version)
{
    if (system == nullptr)
    {
        return ERR_INVALID_HANDLE;
    }
    if (version == nullptr)
    {
        return ERR_INVALID_PARAM;
    }
    *version = reportedVersion;
    return OK;
}

SoundSystem::Result SoundSystem::init(SoundSystem* system, int channelCount, uint32_t flags)
{
    if (system == nullptr)
    {
        return ERR_INVALID_HANDLE;
    }
    if (channelCount <= 0 || flags != INIT_NORMAL)
    {
        return ERR_INVALID_PARAM;
    }
    if (system->opened)
    {
        return ERR_ALREADY_INITIALISED;
    }
    if (mixerTaken)
    {
        return ERR_MIXER_BUSY;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
    {
        return ERR_NO_AUDIO_DEVICE;
    }
    if (Mix_OpenAudio(OUTPUT_RATE, AUDIO_S16SYS, OUTPUT_CHANNELS, OUTPUT_BUFFER_FRAMES) != 0)
    {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return ERR_NO_AUDIO_DEVICE;
    }
    Mix_AllocateChannels(channelCount);
    system->deleteVoices(); // from an earlier open of the same system
    for (int i = 0; i < channelCount; ++i)
    {
        system->voices.push_back(new Voice{system, i});
    }
    system->opened = true;
    mixerTaken = true;
    return OK;
}

SoundSystem::Result SoundSystem::createSample(SoundSystem* system, const char* path, uint32_t mode,
                                              Sample** sample)
{
    if (sample != nullptr)
    {
        *sample = nullptr;
    }
    if (system == nullptr)
    {
        return ERR_INVALID_HANDLE;
    }
    if (path == nullptr || sample == nullptr)
    {
        return ERR_INVALID_PARAM;
    }
    if (!isSupportedMode(mode))
    {
        return ERR_UNSUPPORTED_MODE;
    }
    if (!system->isOpen())
    {
        return ERR_NOT_INITIALISED;
    }
    if (access(path, F_OK) != 0)
    {
        return ERR_FILE_NOT_FOUND;
    }
    std::string bytes;
    if (!readWholeFile(path, bytes))
    {
        return ERR_FILE_UNREADABLE;
    }

    // The mixer decodes WAV and Ogg Vorbis itself and converts to the output format.
    Mix_Chunk* chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1);
    std::string wav;
    if (chunk == nullptr && Mp3Decoder::looksLikeMp3(bytes) && Mp3Decoder::decodeToWav(bytes, wav))
    {
        chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(wav.data(), static_cast<int>(wav.size())), 1);
    }
    if (chunk == nullptr)
    {
        return ERR_BAD_FORMAT;
    }
    *sample = new (std::nothrow) Sample{system, chunk, mode};
    if (*sample == nullptr)
    {
        Mix_FreeChunk(chunk);
        return ERR_OUT_OF_MEMORY;
    }
    return OK;
}

SoundSystem::Result SoundSystem::setSampleMode(Sample* sample, uint32_t mode)
{
    if (sample == nullptr)
    {
        return ERR_INVALID_HANDLE;
    }
    if (!isSupportedMode(mode))
    {
        return ERR_UNSUPPORTED_MODE;
    }
    sample->mode = mode;
    return OK;
}

SoundSystem::Result SoundSystem::playSample(SoundSystem* system, int channelIndex, Sample* sample,
                                            bool paused, Voice** voice)
{
    if (voice != nullptr)
    {
        *voice = nullptr;
    }
    if (system == nullptr || sample == nullptr || sample->owner != system)
    {
        return ERR_INVALID_HANDLE;
    }
    if (voice == nullptr || channelIndex < FREE_CHANNEL ||
        channelIndex >= static_cast<int>(system->voices.size()))
    {
        return ERR_INVALID_PARAM;
    }
    if (!system->isOpen())
    {
        return ERR_NOT_INITIALISED;
    }
    const int loops = sample->mode == MODE_LOOP_NORMAL ? -1 : 0;

    // Held locked so the mixer cannot mix a piece of the new sound before its volume is reset.
    SDL_LockAudio();
    const int index = Mix_PlayChannel(channelIndex, sample->chunk, loops);
    if (index >= 0)
    {
        Mix_Volume(index, MIX_MAX_VOLUME);
        if (paused)
        {
            Mix_Pause(index);
        }
        else
        {
            Mix_Resume(index);
        }
    }
    SDL_UnlockAudio();

    if (index < 0 || index >= static_cast<int>(system->voices.size()))
    {
        return ERR_NO_FREE_CHANNEL;
    }
    *voice = system->voices[index];
    return OK;
}

SoundSystem::Result SoundSystem::getVoiceIndex(const Voice* voice, int* index)
{
    if (voice == nullptr)
    {
        return ERR_INVALID_HANDLE;
    }
    if (index == nullptr)
    {
        return ERR_INVALID_PARAM;
    }
    *index = voice->index;
    return OK;
}

SoundSystem::Result SoundSystem::setVoiceVolume(Voice* voice, float volume)
{
    if (voice == nullptr)
    {
        return ERR_INVALID_HANDLE;
    }
    if (!voice->owner->isOpen())
    {
        return ERR_NOT_INITIALISED;
    }
    if (!(volume > 0.0f)) // also catches NaN
    {
        volume = 0.0f;
    }
    if (volume > 1.0f)
    {
        volume = 1.0f;
    }
    Mix_Volume(voice->index, static_cast<int>(std::lround(volume * MIX_MAX_VOLUME)));
    return OK;
}

SoundSystem::Result SoundSystem::isVoicePlaying(const Voice* voice, bool* playing)
{
    if (playing != nullptr)
    {
        *playing = false;
    }
    if (voice == nullptr)
    {
        return ERR_INVALID_HANDLE;
    }
    if (playing == nullptr)
    {
        return ERR_INVALID_PARAM;
    }
    if (!voice->owner->isOpen())
    {
        return ERR_NOT_INITIALISED;
    }
    *playing = Mix_Playing(voice->index) != 0;
    return OK;
}

SoundSystem::Result SoundSystem::stopVoice(Voice* voice)
{
    if (voice == nullptr)
    {
        return ERR_INVALID_HANDLE;
    }
    if (!voice->owner->isOpen())
    {
        return ERR_NOT_INITIALISED;
    }
    Mix_HaltChannel(voice->index);
    return OK;
}

SoundSystem::Result SoundSystem::update(SoundSystem* system)
{
    if (system == nullptr)
    {
        return ERR_INVALID_HANDLE;
    }
    // The mixer works in SDL's audio thread; nothing is left to do once per step.
    return system->isOpen() ? OK : ERR_NOT_INITIALISED;
}

SoundSystem::Result SoundSystem::releaseSample(Sample* sample)
{
    if (sample == nullptr)
    {
        return ERR_INVALID_HANDLE;
    }
    // Halts every channel still playing it before its memory goes.
    Mix_FreeChunk(sample->chunk);
    delete sample;
    return OK;
}

SoundSystem::Result SoundSystem::close(SoundSystem* system)
{
    if (system == nullptr)
    {
        return ERR_INVALID_HANDLE;
    }
    if (!system->opened)
    {
        return OK; // never opened, or already closed: nothing to close
    }
    // Safe also after SDL_Quit has already shut the audio output: the mixer then only frees memory.
    Mix_HaltChannel(-1);
    Mix_CloseAudio();
    if (SDL_WasInit(SDL_INIT_AUDIO) != 0)
    {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    system->opened = false;
    mixerTaken = false;
    return OK;
}

SoundSystem::Result SoundSystem::release(SoundSystem* system)
{
    if (system == nullptr)
    {
        return ERR_INVALID_HANDLE;
    }
    if (system->opened)
    {
        close(system);
    }
    system->deleteVoices();
    delete system;
    return OK;
}

const char* SoundSystem::errorText(uint32_t result)
{
    if (result >= RESULT_COUNT)
    {
        return "Unknown error.";
    }
    return RESULT_TEXTS[result];
}

void SoundSystem::setReportedVersion(uint32_t version)
{
    reportedVersion = version;
}
