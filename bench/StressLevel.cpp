#include "StressLevel.h"

#include <cstdint>

namespace
{
const int size = 128;
const int tunnelSpacing = 12; // rows 12, 24, ..., 120
const int antsPerTunnel = 20;
const int playerX = 63;
const int playerY = 58;

bool isTunnelRow(int y)
{
    return y % tunnelSpacing == 0 && y > 0 && y < size - 1;
}

bool isPlayerBox(int x, int y)
{
    return x >= playerX - 1 && x <= playerX + 1 && y >= playerY - 1 && y <= playerY + 1;
}

char cellAt(int x, int y, bool resting, uint32_t& seed)
{
    const char ground = resting ? '+' : '.';
    if (x == 0 || y == 0 || x == size - 1 || y == size - 1)
        return '#';
    if (isPlayerBox(x, y))
        return x == playerX && y == playerY ? 'p' : '#';
    if (isTunnelRow(y))
    {
        // Ants every sixth cell, red and green in turn, in a tunnel from column 4 to 123.
        if (x < 4 || x > 123)
            return ground;
        const int slot = x - 4;
        if (slot % 6 == 0 && slot / 6 < antsPerTunnel)
            return (slot / 6) % 2 == 0 ? 'e' : 'E';
        return '.';
    }
    if (x == stressBombColumn && y >= stressBombTop && y < stressBombTop + 10)
        return '*';
    // Nothing lies straight over a tunnel, so at rest nothing drops into one.
    if (isTunnelRow(y + 1))
        return ground;

    // A fixed little generator: the same level on every machine.
    seed = seed * 1664525u + 1013904223u;
    const uint32_t roll = (seed >> 16) % 6;
    if (roll == 0)
        return 'r';
    if (roll == 1)
        return 'b';
    return ground;
}
} // namespace

std::string stressLevel(bool resting)
{
    std::string text = "128 128\ntileset1\nTitle_Music.ogg\n";
    uint32_t seed = 12345;
    for (int y = 0; y < size; ++y)
    {
        for (int x = 0; x < size; ++x)
            text += cellAt(x, y, resting, seed);
        text += '\n';
    }
    text += "0\n";
    return text;
}
