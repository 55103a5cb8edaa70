#pragma once

// A point in logical units, or a pair of scale factors.
struct Vec2
{
    float x;
    float y;
};
