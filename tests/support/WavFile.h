#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A 16-bit PCM WAV with the plain 44-byte header, saying whatever channel count and rate it is
// given (a player may refuse them), over the samples.
std::string pcmWav(uint32_t channels, uint32_t rate, const std::vector<int16_t>& samples);

// A 4-bit ADPCM WAV (encoding 2: MS, 0x11: IMA) of `blocks` blocks of blockAlign bytes (0: 256 a
// channel), as sound editors write them: silent blocks whose headers, at the start of each block,
// hold `headerByte` in the predictor (MS) or step index (IMA) of each channel. samplesPerBlock 0
// takes what fits the block.
std::string adpcmWav(uint32_t encoding, uint32_t channels, uint32_t rate, uint32_t blocks,
                     uint8_t headerByte = 0, uint32_t samplesPerBlock = 0, uint32_t blockAlign = 0);

// The same bytes with byte `at` of the data chunk set to `value`.
std::string withDataByte(std::string wav, size_t at, uint8_t value);

// The same bytes with the RIFF chunk's size field set to `size`.
std::string withRiffSize(std::string wav, uint32_t size);
