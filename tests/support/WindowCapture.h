#pragma once

#include <cstdint>
#include <vector>

// The region (x, y, width, height) of what the game's window shows, origin top left, rows top
// first, as RGBA; empty when it cannot be read. The GL front buffer cannot be read back under
// Xvfb's software renderer, but the X server holds the swapped picture. Kept apart because the
// X11 headers clash with the game's names.
std::vector<uint8_t> readShownWindow(int x, int y, int width, int height);
