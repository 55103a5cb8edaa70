#include "Synth.h"

#include <algorithm>
#include <cstdio>

namespace synth
{

void finish(std::vector<float>& s, float peak, double fadeIn, double fadeOut)
{
    float top = 0;
    for (float v : s)
        top = std::max(top, std::fabs(v));
    const float gain = top > 0 ? peak / top : 1;
    const size_t in = size_t(fadeIn * kRate), out = size_t(fadeOut * kRate);
    for (size_t i = 0; i < s.size(); ++i)
    {
        float g = gain;
        if (i < in)
            g *= float(i) / in;
        if (i + out > s.size())
            g *= float(s.size() - i) / out;
        s[i] *= g;
    }
}

static void put16(FILE* f, uint16_t v)
{
    std::fputc(v & 255, f);
    std::fputc(v >> 8, f);
}
static void put32(FILE* f, uint32_t v)
{
    put16(f, v & 0xFFFF);
    put16(f, v >> 16);
}

bool writeWav(const std::string& path, const std::vector<float>& mono)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
    {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    const uint32_t bytes = uint32_t(mono.size() * 2);
    std::fwrite("RIFF", 1, 4, f);
    put32(f, 36 + bytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(f, 16);
    put16(f, 1); // PCM
    put16(f, 1); // mono
    put32(f, kRate);
    put32(f, kRate * 2);
    put16(f, 2);
    put16(f, 16);
    std::fwrite("data", 1, 4, f);
    put32(f, bytes);
    for (float v : mono)
    {
        const float c = std::fmax(-1.0f, std::fmin(1.0f, v));
        put16(f, uint16_t(int16_t(std::lround(c * 32767.0f))));
    }
    return std::fclose(f) == 0;
}

} // namespace synth
