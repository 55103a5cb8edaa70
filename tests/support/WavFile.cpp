#include "WavFile.h"

namespace
{

void putLittleEndian(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
    {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

} // namespace

std::string pcmWav(uint32_t channels, uint32_t rate, const std::vector<int16_t>& samples)
{
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::string wav = "RIFF";
    putLittleEndian(wav, 36 + dataBytes, 4);
    wav += "WAVEfmt ";
    putLittleEndian(wav, 16, 4);
    putLittleEndian(wav, 1, 2); // PCM
    putLittleEndian(wav, channels, 2);
    putLittleEndian(wav, rate, 4);
    putLittleEndian(wav, rate * channels * 2, 4);
    putLittleEndian(wav, channels * 2, 2);
    putLittleEndian(wav, 16, 2);
    wav += "data";
    putLittleEndian(wav, dataBytes, 4);
    for (int16_t sample : samples)
    {
        putLittleEndian(wav, static_cast<uint16_t>(sample), 2);
    }
    return wav;
}
