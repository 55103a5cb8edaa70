#pragma once

#include <cstdint>

// A one-cell step: each member -1, 0 or +1, at most one of them non-zero in practice.
struct Direction
{
    int8_t dx;
    int8_t dy;
};

inline bool operator==(const Direction& a, const Direction& b)
{
    return a.dx == b.dx && a.dy == b.dy;
}

inline bool operator!=(const Direction& a, const Direction& b)
{
    return !(a == b);
}
