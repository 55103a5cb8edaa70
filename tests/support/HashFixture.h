#pragma once

#include <string>

// Writes workDir/hashes.ini for "levels.ini" and every level file it lists, hashed as the game
// hashes them, so the folder passes the game's integrity checks.
void writeHashes(const std::string& workDir);
