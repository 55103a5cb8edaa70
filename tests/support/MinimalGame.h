#pragma once

#include <string>

// A working folder in which the real game starts: the build's pictures, sounds and music, and a
// "levels.ini" listing one small hand-made level, with its "hashes.ini".
std::string makeMinimalGameDir();
