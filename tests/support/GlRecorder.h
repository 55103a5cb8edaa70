#pragma once

#include <functional>
#include <vector>

// What OpenGL really received from a piece of drawing code, recorded with GL feedback mode:
// every polygon it would have drawn, its corners in window pixels (origin top left) with colour
// and texture coordinates. Nothing reaches the screen while recording.
struct RecordedVertex
{
    float x;
    float y;
    float r, g, b, a;
    float s, t;
};

struct RecordedQuad
{
    // Corners in the order they were drawn.
    std::vector<RecordedVertex> corners;
    float left() const;
    float top() const;
    float right() const;
    float bottom() const;
};

// Runs draw in feedback mode. Quads split into triangles by the driver are joined again.
std::vector<RecordedQuad> recordQuads(const std::function<void()>& draw);
