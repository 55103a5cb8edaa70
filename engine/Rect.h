#pragma once

// A rectangle in logical units; as a texture rectangle the same floats hold texture coordinates
// (left and right across the picture, top and bottom down it).
struct Rect
{
    float left;
    float top;
    float right;
    float bottom;
};
