#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A 16-bit PCM WAV with the plain 44-byte header, saying whatever channel count and rate it is
// given (a player may refuse them), over the samples.
std::string pcmWav(uint32_t channels, uint32_t rate, const std::vector<int16_t>& samples);
