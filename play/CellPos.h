#pragma once

#include <cstdint>

// Column and row of a grid cell. A coordinate of -1 wraps to 65535, which lies outside every grid.
struct CellPos
{
    uint16_t x;
    uint16_t y;
};
