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

std::string adpcmWav(uint32_t encoding, uint32_t channels, uint32_t rate, uint32_t blocks, uint8_t headerByte,
                     uint32_t samplesPerBlock, uint32_t blockAlign)
{
    const bool ms = encoding == 2;
    if (blockAlign == 0)
    {
        blockAlign = 256 * channels;
    }
    if (samplesPerBlock == 0)
    {
        samplesPerBlock = ms ? (blockAlign - 7 * channels) * 2 / channels + 2
                             : (blockAlign - 4 * channels) * 2 / channels + 1;
    }
    std::string fmt;
    putLittleEndian(fmt, encoding, 2);
    putLittleEndian(fmt, channels, 2);
    putLittleEndian(fmt, rate, 4);
    putLittleEndian(fmt, rate * blockAlign / samplesPerBlock, 4);
    putLittleEndian(fmt, blockAlign, 2);
    putLittleEndian(fmt, 4, 2);
    putLittleEndian(fmt, ms ? 32 : 2, 2); // the extension's size
    putLittleEndian(fmt, samplesPerBlock, 2);
    if (ms)
    {
        const int16_t coefficients[7][2] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                            {240, 0}, {460, -208}, {392, -232}};
        putLittleEndian(fmt, 7, 2);
        for (const auto& pair : coefficients)
        {
            putLittleEndian(fmt, static_cast<uint16_t>(pair[0]), 2);
            putLittleEndian(fmt, static_cast<uint16_t>(pair[1]), 2);
        }
    }
    std::string data(size_t(blocks) * blockAlign, '\0');
    for (uint32_t block = 0; block < blocks; ++block)
    {
        for (uint32_t c = 0; c < channels; ++c)
        {
            data[size_t(block) * blockAlign + (ms ? c : 4 * c + 2)] = static_cast<char>(headerByte);
        }
    }
    std::string wav = "RIFF";
    putLittleEndian(wav, static_cast<uint32_t>(4 + 8 + fmt.size() + 8 + data.size()), 4);
    wav += "WAVEfmt ";
    putLittleEndian(wav, static_cast<uint32_t>(fmt.size()), 4);
    wav += fmt;
    wav += "data";
    putLittleEndian(wav, static_cast<uint32_t>(data.size()), 4);
    return wav + data;
}

std::string withRiffSize(std::string wav, uint32_t size)
{
    std::string field;
    putLittleEndian(field, size, 4);
    return wav.replace(4, 4, field);
}

std::string withDataByte(std::string wav, size_t at, uint8_t value)
{
    for (size_t chunk = 12; chunk + 8 <= wav.size();)
    {
        const size_t length = static_cast<unsigned char>(wav[chunk + 4]) |
                              static_cast<unsigned char>(wav[chunk + 5]) << 8 |
                              static_cast<unsigned char>(wav[chunk + 6]) << 16 |
                              static_cast<size_t>(static_cast<unsigned char>(wav[chunk + 7])) << 24;
        if (wav.compare(chunk, 4, "data") == 0)
        {
            wav.at(chunk + 8 + at) = static_cast<char>(value);
            break;
        }
        chunk += 8 + length;
    }
    return wav;
}
