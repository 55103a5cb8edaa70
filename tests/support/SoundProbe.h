#pragma once

#include <SDL/SDL_mixer.h>
#include <string>

// Which sounds started with Sound::play are sounding. Call these under a MixerHold, with the
// channels halted before the step looked at, so a short sound cannot end before it is seen.

// The mixer chunk a cached sound plays: started once, read from its channel, stopped again.
Mix_Chunk* chunkOf(const std::string& file);
// Channels playing chunk now.
int playingCount(Mix_Chunk* chunk);
