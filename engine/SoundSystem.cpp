#include "SoundSystem.h"

#include "FileReader.h"
#include "Mp3Decoder.h"

#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>
// Only the types: the library is loaded at run time, and its stdio callbacks are not wanted.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <dlfcn.h>
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
    "The sound's channel count, sample rate or length is out of range.",
};

// What the mixer is given is checked first: its converter runs past the end of its table of
// conversion steps for 0 channels or a very low rate (without end for a rate of 0), and it computes
// its buffer sizes in 32 bits, so a sound too long for them overruns its buffer.
const uint32_t MIN_CHANNELS = 1;
const uint32_t MAX_CHANNELS = 8;
const uint32_t MIN_RATE = 1000;
const uint32_t MAX_RATE = 384000;
// The most the mixer may hold of one sound while converting it to the output format.
const uint64_t MAX_CONVERTED_BYTES = Mp3Decoder::defaultMaxPcmBytes;

uint32_t littleEndian(const std::string& bytes, size_t at, int count)
{
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
    {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

bool startsWith(const std::string& bytes, const char* magic)
{
    return bytes.compare(0, std::strlen(magic), magic) == 0;
}

bool isSupportedFormat(int64_t channels, int64_t rate)
{
    return channels >= MIN_CHANNELS && channels <= MAX_CHANNELS && rate >= MIN_RATE && rate <= MAX_RATE;
}

// The format the mixer converts every sound to: what the audio output gave it, or what it asks for
// while it is closed.
struct OutputFormat
{
    uint32_t format;
    uint32_t channels;
    uint32_t rate;
};

OutputFormat outputFormat()
{
    int rate = 0;
    Uint16 format = 0;
    int channels = 0;
    if (Mix_QuerySpec(&rate, &format, &channels) != 0 && rate > 0 && channels > 0)
    {
        return {format, static_cast<uint32_t>(channels), static_cast<uint32_t>(rate)};
    }
    return {AUDIO_S16SYS, OUTPUT_CHANNELS, OUTPUT_RATE};
}

// The steps the mixer's converter (SDL 1.2's) chains from one format to the output format, and
// how many times the decoded size the buffer it allocates for them is.
struct Conversion
{
    int steps = 0;
    uint64_t growth = 1;
};

// Counted as the converter counts them; only for a supported channel count and rate.
Conversion conversionOf(uint32_t format, uint32_t channels, uint32_t rate, const OutputFormat& out)
{
    Conversion c;
    const uint32_t bits = format & 0xFF;
    const uint32_t outBits = out.format & 0xFF;
    if ((format & 0x1000) != (out.format & 0x1000) && bits == 16 && outBits == 16)
    {
        ++c.steps; // byte order
    }
    if ((format & 0x8000) != (out.format & 0x8000))
    {
        ++c.steps; // sign
    }
    if (bits != outBits)
    {
        ++c.steps;
        c.growth *= outBits > bits ? 2 : 1;
    }

    uint32_t from = channels;
    if (from != out.channels)
    {
        if (from == 1 && out.channels > 1)
        {
            ++c.steps;
            c.growth *= 2;
            from = 2;
        }
        if (from == 2 && (out.channels == 6 || out.channels == 4))
        {
            ++c.steps;
            c.growth *= out.channels / 2;
            from = out.channels;
        }
        for (; from * 2 <= out.channels; from *= 2)
        {
            ++c.steps;
            c.growth *= 2;
        }
        if (from == 6 && (out.channels <= 2 || out.channels == 4))
        {
            ++c.steps;
            from = out.channels <= 2 ? 2 : 4;
        }
        for (; from % 2 == 0 && from / 2 >= out.channels; from /= 2)
        {
            ++c.steps;
        }
    }

    if (rate / 100 != out.rate / 100)
    {
        const uint64_t high = std::max(rate, out.rate);
        for (uint64_t low = std::min(rate, out.rate); low * 2 / 100 <= high / 100; low *= 2)
        {
            ++c.steps;
            c.growth *= rate < out.rate ? 2 : 1;
        }
    }
    return c;
}

// The converter keeps its steps in a table of ten, the last one for the end mark.
const int MAX_CONVERSION_STEPS = 9;

SoundSystem::Result checkConversion(uint64_t frames, uint32_t format, uint32_t channels, uint32_t rate)
{
    const Conversion conversion = conversionOf(format, channels, rate, outputFormat());
    const uint64_t bytesPerFrame = uint64_t((format & 0xFF) / 8) * channels;
    if (conversion.steps > MAX_CONVERSION_STEPS ||
        frames > MAX_CONVERTED_BYTES / (bytesPerFrame * conversion.growth))
    {
        return SoundSystem::ERR_FORMAT_OUT_OF_RANGE;
    }
    return SoundSystem::OK;
}

const uint32_t WAV_PCM = 1;
const uint32_t WAV_MS_ADPCM = 2;
const uint32_t WAV_IMA_ADPCM = 0x11;
// The mixer's ADPCM decoders keep state for two channels and index fixed tables by bytes of each
// block's header: a predictor below 7 (MS), a step index up to 88 (IMA).
const uint32_t MAX_ADPCM_CHANNELS = 2;
const uint32_t MS_ADPCM_COEFFICIENTS = 7;
const uint32_t MS_ADPCM_PREDICTORS = 7;
const uint32_t IMA_ADPCM_LAST_STEP = 88;

// What the mixer's ADPCM decoder is about to do with one data chunk, or an error when it would
// read or write past its buffers. `frames` is how many 16-bit frames it decodes.
SoundSystem::Result checkAdpcm(const std::string& bytes, uint64_t fmt, uint64_t fmtLength, uint32_t encoding,
                               uint32_t channels, uint32_t blockAlign, uint64_t data, uint64_t dataLength,
                               uint64_t& frames)
{
    if (channels > MAX_ADPCM_CHANNELS || blockAlign == 0 || fmtLength < 20)
    {
        return channels > MAX_ADPCM_CHANNELS ? SoundSystem::ERR_FORMAT_OUT_OF_RANGE
                                             : SoundSystem::ERR_BAD_FORMAT;
    }
    const uint32_t samplesPerBlock = littleEndian(bytes, fmt + 18, 2);
    const uint64_t blocks = dataLength / blockAlign;
    // The bytes one block's samples take, and where in them each channel's predictor (MS) or step
    // index (IMA) lies.
    uint64_t blockBytes = 0;
    uint32_t headerAt = 0;
    uint32_t headerStride = 0;
    uint32_t largestHeaderByte = 0;
    if (encoding == WAV_MS_ADPCM)
    {
        // Header per channel: predictor, delta and two samples (7 bytes), then two samples a byte.
        if (fmtLength < 22 + 4 * MS_ADPCM_COEFFICIENTS ||
            littleEndian(bytes, fmt + 20, 2) != MS_ADPCM_COEFFICIENTS || samplesPerBlock < 2 ||
            (uint64_t(samplesPerBlock - 2) * channels) % 2 != 0)
        {
            return SoundSystem::ERR_BAD_FORMAT;
        }
        blockBytes = 7 * channels + uint64_t(samplesPerBlock - 2) * channels / 2;
        headerAt = 0;
        headerStride = 1;
        largestHeaderByte = MS_ADPCM_PREDICTORS - 1;
    }
    else
    {
        // Header per channel: a sample, the step index and a spare byte; then eight samples in
        // four bytes per channel at a time.
        if (samplesPerBlock < 1 || (samplesPerBlock - 1) % 8 != 0)
        {
            return SoundSystem::ERR_BAD_FORMAT;
        }
        blockBytes = 4 * channels + uint64_t(samplesPerBlock - 1) / 8 * 4 * channels;
        headerAt = 2;
        headerStride = 4;
        largestHeaderByte = IMA_ADPCM_LAST_STEP;
    }
    if (blockAlign < blockBytes)
    {
        return SoundSystem::ERR_BAD_FORMAT;
    }
    // The decoder counts the blocks by the block size but reads them back to back, each only as long
    // as its samples: with a block size larger than that, a header lies before its block's start.
    for (uint64_t block = 0; block < blocks; ++block)
    {
        for (uint32_t c = 0; c < channels; ++c)
        {
            const uint64_t at = data + block * blockBytes + headerAt + c * headerStride;
            if (static_cast<unsigned char>(bytes[at]) > largestHeaderByte)
            {
                return SoundSystem::ERR_BAD_FORMAT;
            }
        }
    }
    frames = blocks * samplesPerBlock;
    return SoundSystem::OK;
}

// Walks the chunks as the mixer's WAV reader does: after "RIFF", a size it does not look at and
// "WAVE" come any "fact" and "LIST" chunks, then "fmt ", then whatever lies before "data", back to
// back without padding. Every chunk it reads must lie whole inside the file; the RIFF size may say
// anything (stream writers leave it at 0xFFFFFFFF).
SoundSystem::Result checkWav(const std::string& bytes)
{
    if (bytes.size() < 12 || !startsWith(bytes, "RIFF") || bytes.compare(8, 4, "WAVE") != 0)
    {
        return SoundSystem::ERR_BAD_FORMAT;
    }
    const uint64_t end = bytes.size();
    uint64_t at = 12;
    std::string id;
    uint64_t start = 0;
    uint64_t length = 0;
    const auto nextChunk = [&]()
    {
        if (end - at < 8)
        {
            return false;
        }
        id = bytes.substr(at, 4);
        length = littleEndian(bytes, at + 4, 4);
        start = at + 8;
        if (length > end - start)
        {
            return false;
        }
        at = start + length;
        return true;
    };

    do
    {
        if (!nextChunk())
        {
            return SoundSystem::ERR_BAD_FORMAT;
        }
    } while (id == "fact" || id == "LIST");
    if (id != "fmt " || length < 16)
    {
        return SoundSystem::ERR_BAD_FORMAT;
    }
    const uint64_t fmt = start;
    const uint64_t fmtLength = length;
    const uint32_t encoding = littleEndian(bytes, fmt, 2);
    const uint32_t channels = littleEndian(bytes, fmt + 2, 2);
    const uint32_t rate = littleEndian(bytes, fmt + 4, 4);
    const uint32_t blockAlign = littleEndian(bytes, fmt + 12, 2);
    const uint32_t bitsPerSample = littleEndian(bytes, fmt + 14, 2);
    const bool pcm = encoding == WAV_PCM && (bitsPerSample == 8 || bitsPerSample == 16);
    const bool adpcm = (encoding == WAV_MS_ADPCM || encoding == WAV_IMA_ADPCM) && bitsPerSample == 4;
    if (!pcm && !adpcm)
    {
        return SoundSystem::ERR_BAD_FORMAT;
    }
    if (!isSupportedFormat(channels, rate))
    {
        return SoundSystem::ERR_FORMAT_OUT_OF_RANGE;
    }

    do
    {
        if (!nextChunk())
        {
            return SoundSystem::ERR_BAD_FORMAT;
        }
    } while (id != "data");

    uint64_t frames = 0;
    if (pcm)
    {
        // The reader goes by the channels and the sample size, whatever the block size says.
        frames = length / (uint64_t(channels) * bitsPerSample / 8);
    }
    else if (const SoundSystem::Result adpcmCheck =
                 checkAdpcm(bytes, fmt, fmtLength, encoding, channels, blockAlign, start, length, frames);
             adpcmCheck != SoundSystem::OK)
    {
        return adpcmCheck;
    }
    if (frames == 0)
    {
        return SoundSystem::ERR_BAD_FORMAT; // not one whole frame
    }
    return checkConversion(frames, bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB, channels, rate);
}

// The mixer decodes Ogg Vorbis with libvorbisfile; the check asks the same library, so it sees the
// very channel count, rate and length the mixer will.
struct VorbisFileLibrary
{
    bool ready = false;
    int (*open)(void*, OggVorbis_File*, const char*, long, ov_callbacks) = nullptr;
    vorbis_info* (*info)(OggVorbis_File*, int) = nullptr;
    ogg_int64_t (*pcmTotal)(OggVorbis_File*, int) = nullptr;
    int (*clear)(OggVorbis_File*) = nullptr;
};

template <typename F> bool bind(void* library, const char* name, F& function)
{
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

// Loaded once and kept for the rest of the run.
const VorbisFileLibrary& vorbisFile()
{
    static VorbisFileLibrary vorbis;
    static bool tried = false;
    if (tried)
    {
        return vorbis;
    }
    tried = true;
    void* library = dlopen("libvorbisfile.so.3", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
    {
        return vorbis;
    }
    vorbis.ready = bind(library, "ov_open_callbacks", vorbis.open) && bind(library, "ov_info", vorbis.info) &&
                   bind(library, "ov_pcm_total", vorbis.pcmTotal) && bind(library, "ov_clear", vorbis.clear);
    return vorbis;
}

struct MemorySource
{
    const std::string* bytes;
    size_t at;
};

size_t readSource(void* to, size_t size, size_t count, void* from)
{
    MemorySource* source = static_cast<MemorySource*>(from);
    if (size == 0)
    {
        return 0;
    }
    const size_t items = std::min(count, (source->bytes->size() - source->at) / size);
    std::memcpy(to, source->bytes->data() + source->at, items * size);
    source->at += items * size;
    return items;
}

int seekSource(void* from, ogg_int64_t offset, int whence)
{
    MemorySource* source = static_cast<MemorySource*>(from);
    const ogg_int64_t size = static_cast<ogg_int64_t>(source->bytes->size());
    const ogg_int64_t base = whence == SEEK_SET   ? 0
                             : whence == SEEK_CUR ? static_cast<ogg_int64_t>(source->at)
                                                  : size;
    if (offset < -base || offset > size - base)
    {
        return -1;
    }
    source->at = static_cast<size_t>(base + offset);
    return 0;
}

long tellSource(void* from)
{
    return static_cast<long>(static_cast<MemorySource*>(from)->at);
}

SoundSystem::Result checkOgg(const std::string& bytes)
{
    const VorbisFileLibrary& vorbis = vorbisFile();
    if (!vorbis.ready)
    {
        return SoundSystem::ERR_BAD_FORMAT;
    }
    MemorySource source{&bytes, 0};
    const ov_callbacks callbacks = {readSource, seekSource, nullptr, tellSource};
    OggVorbis_File file;
    if (vorbis.open(&source, &file, nullptr, 0, callbacks) != 0)
    {
        return SoundSystem::ERR_BAD_FORMAT; // nothing to clear after a failed open
    }
    // The first stream's header, as the mixer takes it, and the length of every stream together.
    const vorbis_info* info = vorbis.info(&file, -1);
    const ogg_int64_t frames = vorbis.pcmTotal(&file, -1);
    SoundSystem::Result result = SoundSystem::OK;
    if (info == nullptr || frames <= 0)
    {
        result = SoundSystem::ERR_BAD_FORMAT;
    }
    else if (!isSupportedFormat(info->channels, info->rate))
    {
        result = SoundSystem::ERR_FORMAT_OUT_OF_RANGE;
    }
    else
    {
        result = checkConversion(static_cast<uint64_t>(frames), AUDIO_S16LSB,
                                 static_cast<uint32_t>(info->channels), static_cast<uint32_t>(info->rate));
    }
    vorbis.clear(&file);
    return result;
}

// The WAV our decoder makes of an MP3.
SoundSystem::Result decodeMp3(const std::string& bytes, std::string& wav)
{
    bool tooLong = false;
    if (!Mp3Decoder::decodeToWav(bytes, wav, MAX_CONVERTED_BYTES, &tooLong))
    {
        return tooLong ? SoundSystem::ERR_FORMAT_OUT_OF_RANGE : SoundSystem::ERR_BAD_FORMAT;
    }
    return SoundSystem::OK;
}

bool isMp3(const std::string& bytes)
{
    return !startsWith(bytes, "RIFF") && !startsWith(bytes, "OggS") && Mp3Decoder::looksLikeMp3(bytes);
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
    std::string why;
    if (!FileReader::readFile(path, MAX_FILE_BYTES, bytes, why))
    {
        return ERR_FILE_UNREADABLE;
    }
    // The mixer plays MP3 only as a stream: it is given the WAV our decoder makes of it.
    if (isMp3(bytes))
    {
        std::string wav;
        const Result decoded = decodeMp3(bytes, wav);
        if (decoded != OK)
        {
            return decoded;
        }
        bytes.swap(wav);
    }
    const Result format = checkFormat(bytes);
    if (format != OK)
    {
        return format;
    }

    // The mixer decodes WAV and Ogg Vorbis itself and converts to the output format.
    Mix_Chunk* chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1);
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

SoundSystem::Result SoundSystem::checkFormat(const std::string& bytes)
{
    if (startsWith(bytes, "RIFF"))
    {
        return checkWav(bytes);
    }
    if (startsWith(bytes, "OggS"))
    {
        return checkOgg(bytes);
    }
    if (Mp3Decoder::looksLikeMp3(bytes))
    {
        std::string wav;
        const Result decoded = decodeMp3(bytes, wav);
        return decoded == OK ? checkWav(wav) : decoded;
    }
    return ERR_BAD_FORMAT;
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
