#include "SoundProbe.h"

#include "AudioDriver.h"
#include "Core.h"
#include "Harness.h"
#include "Sound.h"

Mix_Chunk* chunkOf(const std::string& file)
{
    MixerHold still;
    Mix_HaltChannel(-1);
    Core::getAudioDriver()->getSound(file)->play();
    Mix_Chunk* chunk = nullptr;
    for (int i = 0; i < AudioDriver::CHANNEL_COUNT && chunk == nullptr; ++i)
    {
        if (Mix_Playing(i))
        {
            chunk = Mix_GetChunk(i);
        }
    }
    Mix_HaltChannel(-1);
    return chunk;
}

int playingCount(Mix_Chunk* chunk)
{
    int count = 0;
    for (int i = 0; i < AudioDriver::CHANNEL_COUNT; ++i)
    {
        count += (Mix_Playing(i) && Mix_GetChunk(i) == chunk) ? 1 : 0;
    }
    return count;
}
