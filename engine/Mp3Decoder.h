#pragma once

#include <cstddef>
#include <string>

// Decodes a whole MP3 file into a 16-bit PCM WAV image in memory.
// The mixer on this platform plays MP3 only as a stream, never as a sound that can start on
// several channels at once, so the sound system decodes MP3 files itself and hands the mixer a WAV.
// The decoder library (libmad, which the mixer already depends on) is loaded at run time.
class Mp3Decoder
{
  public:
    // Fifty minutes of 44.1 kHz stereo: room for any whole-file tune.
    static const size_t defaultMaxPcmBytes = 512 * 1024 * 1024;

    // True when the bytes start like an MP3 file (an ID3v2 tag or an MPEG audio frame sync).
    static bool looksLikeMp3(const std::string& bytes);
    // Decodes bytes into wav, whose header carries the rate and channel count the decoder reports.
    // False when the decoder is missing, no audio frame decodes, or the samples would take more than
    // maxPcmBytes (then tooLong, when given, is set).
    static bool decodeToWav(const std::string& bytes, std::string& wav,
                            size_t maxPcmBytes = defaultMaxPcmBytes, bool* tooLong = nullptr);
};
