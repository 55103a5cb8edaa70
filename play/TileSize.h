#pragma once

#include <cstdint>

// Size of one grid cell in level pixels. 64 x 64 during play; the level overview shrinks it
// only while it draws and puts it back straight after.
extern uint16_t tileWidth;
extern uint16_t tileHeight;
