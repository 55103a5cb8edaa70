#pragma once

#include <cstdint>

// The cells x0 <= x < x1, y0 <= y < y1.
struct TileRange
{
    uint16_t x0;
    uint16_t y0;
    uint16_t x1;
    uint16_t y1;
};
