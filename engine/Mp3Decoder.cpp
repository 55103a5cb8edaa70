#include "Mp3Decoder.h"

#include <mad.h>

#include <cstdint>
#include <dlfcn.h>
#include <vector>

namespace
{

struct MadLibrary
{
    bool ready = false;
    void (*streamInit)(mad_stream*) = nullptr;
    void (*streamFinish)(mad_stream*) = nullptr;
    void (*streamBuffer)(mad_stream*, const unsigned char*, unsigned long) = nullptr;
    void (*frameInit)(mad_frame*) = nullptr;
    void (*frameFinish)(mad_frame*) = nullptr;
    int (*frameDecode)(mad_frame*, mad_stream*) = nullptr;
    void (*synthInit)(mad_synth*) = nullptr;
    void (*synthFrame)(mad_synth*, const mad_frame*) = nullptr;
};

template <typename F> bool bind(void* library, const char* name, F& function)
{
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

// Loaded once and kept for the rest of the run.
const MadLibrary& madLibrary()
{
    static MadLibrary mad;
    static bool tried = false;
    if (tried)
    {
        return mad;
    }
    tried = true;
    void* library = dlopen("libmad.so.0", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
    {
        return mad;
    }
    mad.ready = bind(library, "mad_stream_init", mad.streamInit) &&
                bind(library, "mad_stream_finish", mad.streamFinish) &&
                bind(library, "mad_stream_buffer", mad.streamBuffer) &&
                bind(library, "mad_frame_init", mad.frameInit) &&
                bind(library, "mad_frame_finish", mad.frameFinish) &&
                bind(library, "mad_frame_decode", mad.frameDecode) &&
                bind(library, "mad_synth_init", mad.synthInit) &&
                bind(library, "mad_synth_frame", mad.synthFrame);
    return mad;
}

int16_t toPcm16(mad_fixed_t sample)
{
    // Round, clip to [-1, 1) and drop the fraction bits below 16-bit resolution.
    sample += (1L << (MAD_F_FRACBITS - 16));
    if (sample >= MAD_F_ONE)
    {
        sample = MAD_F_ONE - 1;
    }
    else if (sample < -MAD_F_ONE)
    {
        sample = -MAD_F_ONE;
    }
    return static_cast<int16_t>(sample >> (MAD_F_FRACBITS + 1 - 16));
}

void putLittleEndian(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
    {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// The 44-byte header of a 16-bit PCM WAV holding dataBytes of samples.
void writeWavHeader(std::string& wav, uint32_t dataBytes, unsigned rate, unsigned channels)
{
    std::string header = "RIFF";
    putLittleEndian(header, 36 + dataBytes, 4);
    header += "WAVEfmt ";
    putLittleEndian(header, 16, 4);
    putLittleEndian(header, 1, 2); // PCM
    putLittleEndian(header, channels, 2);
    putLittleEndian(header, rate, 4);
    putLittleEndian(header, rate * channels * 2, 4);
    putLittleEndian(header, channels * 2, 2);
    putLittleEndian(header, 16, 2);
    header += "data";
    putLittleEndian(header, dataBytes, 4);
    wav.replace(0, header.size(), header);
}

const size_t WAV_HEADER_BYTES = 44;

} // namespace

bool Mp3Decoder::looksLikeMp3(const std::string& bytes)
{
    if (bytes.size() < 4)
    {
        return false;
    }
    const unsigned char b0 = static_cast<unsigned char>(bytes[0]);
    const unsigned char b1 = static_cast<unsigned char>(bytes[1]);
    return bytes.compare(0, 3, "ID3") == 0 || (b0 == 0xFF && (b1 & 0xE0) == 0xE0);
}

bool Mp3Decoder::decodeToWav(const std::string& bytes, std::string& wav, size_t maxPcmBytes, bool* tooLong)
{
    if (tooLong != nullptr)
    {
        *tooLong = false;
    }
    const MadLibrary& mad = madLibrary();
    if (!mad.ready)
    {
        return false;
    }

    // The decoder reads a little past the last frame: pad with zeros so that frame decodes too.
    std::vector<unsigned char> input(bytes.begin(), bytes.end());
    input.resize(input.size() + MAD_BUFFER_GUARD, 0);

    mad_stream stream;
    mad_frame frame;
    mad_synth synth;
    mad.streamInit(&stream);
    mad.frameInit(&frame);
    mad.synthInit(&synth);
    mad.streamBuffer(&stream, input.data(), input.size());

    // The samples go straight behind room for the header, which is written once the format is known.
    wav.assign(WAV_HEADER_BYTES, '\0');
    unsigned rate = 0;
    unsigned channels = 0;
    bool full = false;
    for (;;)
    {
        if (mad.frameDecode(&frame, &stream) != 0)
        {
            if (MAD_RECOVERABLE(stream.error))
            {
                continue;
            }
            break; // end of the buffer or a fault the decoder cannot skip
        }
        const unsigned frameChannels = MAD_NCHANNELS(&frame.header);
        if (rate == 0)
        {
            rate = frame.header.samplerate;
            channels = frameChannels;
        }
        if (frame.header.samplerate != rate || frameChannels != channels)
        {
            continue; // a stray frame of another format: keep the file's first format
        }
        mad.synthFrame(&synth, &frame);
        const size_t frameBytes = static_cast<size_t>(synth.pcm.length) * channels * 2;
        if (wav.size() - WAV_HEADER_BYTES + frameBytes > maxPcmBytes)
        {
            full = true;
            break;
        }
        for (unsigned i = 0; i < synth.pcm.length; ++i)
        {
            for (unsigned c = 0; c < channels; ++c)
            {
                putLittleEndian(wav, static_cast<uint16_t>(toPcm16(synth.pcm.samples[c][i])), 2);
            }
        }
    }
    mad.frameFinish(&frame);
    mad.streamFinish(&stream);

    if (tooLong != nullptr)
    {
        *tooLong = full;
    }
    if (full || wav.size() == WAV_HEADER_BYTES)
    {
        wav.clear();
        return false;
    }
    writeWavHeader(wav, static_cast<uint32_t>(wav.size() - WAV_HEADER_BYTES), rate, channels);
    return true;
}
