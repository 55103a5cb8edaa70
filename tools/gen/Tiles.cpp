// The tilesets: each folder holds "tileset.png" (16 x 16 cells of 64 pixels: wall, round wall
// and the sixteen sand edges), "tile-empty.png" (the cave's back wall, repeated once per cell)
// and "rock.png". Every used cell is padded into its unused neighbours by repeating its edge,
// so filtering never pulls in a neighbour's colours.

#include "Textures.h"

#include <sys/stat.h>

using namespace art;

namespace
{

const int kCell = 64;

std::vector<TilesetStyle> styles()
{
    return {
        {"tileset1", ramp({0x24140a, 0x482a14, 0x744a24, 0xa06e3c, 0xc89a5e}),
         ramp({0x181822, 0x32323e, 0x52525e, 0x7a7a86, 0xa8a8b2}),
         ramp({0x201812, 0x40322a, 0x64524a, 0x8c7a6c, 0xbcaa96}),
         ramp({0x0e0a08, 0x1a1410, 0x261e18, 0x32281e}), 11, true},
        {"tileset2", ramp({0x2e1206, 0x5a260c, 0x8e4416, 0xc26a26, 0xe8a050}),
         ramp({0x2a1810, 0x503222, 0x7c5234, 0xa8784a, 0xd4a66a}),
         ramp({0x24120e, 0x4a2418, 0x743c26, 0xa05e3a, 0xc88a5a}),
         ramp({0x140806, 0x22100a, 0x30180e, 0x3e2012}), 23, false},
        {"tileset3", ramp({0x0c1a2a, 0x183650, 0x2c5a78, 0x4c88a4, 0x86c0d2}),
         ramp({0x0c0c24, 0x1c1c46, 0x30326c, 0x4c5096, 0x8088c8}),
         ramp({0x101826, 0x243448, 0x3c5470, 0x5e7c98, 0x98b4c8}),
         ramp({0x04070e, 0x080e1a, 0x0e1626, 0x141e32}), 37, true},
        {"tileset4", ramp({0x161016, 0x2c2028, 0x46343e, 0x64505a, 0x8a7480}),
         ramp({0x140808, 0x2c1010, 0x4a1c18, 0x6e2c20, 0x9a4a30}),
         ramp({0x141416, 0x2a2a30, 0x46464e, 0x66666e, 0x8e8e96}),
         ramp({0x0c0404, 0x160808, 0x200c0a, 0x2a120e}), 53, false},
    };
}

// Earth: soft periodic noise with pebbles, tiling every 64 pixels.
float earth(int x, int y, int seed)
{
    float t = 0.35f + 0.5f * (fractalNoise(x / 8.0f, y / 8.0f, 8, seed, 3) - 0.5f) * 1.4f;
    // Pebbles on a jittered 16-pixel lattice.
    const int gx = x / 16, gy = y / 16;
    for (int oy = -1; oy <= 1; ++oy)
        for (int ox = -1; ox <= 1; ++ox)
        {
            const int cx = (gx + ox + 4) % 4, cy = (gy + oy + 4) % 4;
            if (hashNoise(cx, cy, seed + 3) < 0.45f)
                continue;
            const float px = (gx + ox) * 16 + 3 + 10 * hashNoise(cx, cy, seed + 4);
            const float py = (gy + oy) * 16 + 3 + 10 * hashNoise(cx, cy, seed + 5);
            const float r = 1.6f + 2.0f * hashNoise(cx, cy, seed + 6);
            const float d = std::hypot(x + 0.5f - px, y + 0.5f - py);
            if (d < r)
                t = 0.55f + 0.3f * (1 - d / r) - 0.35f * ((y + 0.5f - py) > r * 0.3f);
        }
    return t;
}

Image sandCell(const TilesetStyle& st, int mask)
{
    Image f(kCell, kCell);
    const bool openT = mask & 1, openR = mask & 2, openB = mask & 4, openL = mask & 8;
    const float inset = 3, round = 12;
    for (int y = 0; y < kCell; ++y)
        for (int x = 0; x < kCell; ++x)
        {
            const float px = x + 0.5f, py = y + 0.5f;
            // Open sides get a wavy edge so the sand looks dug rather than cut.
            const float waveT = 1.5f * std::sin(px * 0.35f + 1.3f) + 1.0f * std::sin(px * 0.9f);
            const float waveB = 1.2f * std::sin(px * 0.3f + 0.4f);
            const float waveL = 1.4f * std::sin(py * 0.33f + 2.0f);
            const float waveR = 1.4f * std::sin(py * 0.37f + 0.7f);
            const float big = 1e4f;
            const float dT = openT ? py - inset - waveT : big, dB = openB ? kCell - py - inset - waveB : big;
            const float dL = openL ? px - inset - waveL : big, dR = openR ? kCell - px - inset - waveR : big;
            float d = std::min(std::min(dT, dB), std::min(dL, dR));
            auto corner = [&](float a, float b)
            {
                if (a < round && b < round)
                    d = std::min(d, round - std::hypot(round - a, round - b));
            };
            corner(dT, dL);
            corner(dT, dR);
            corner(dB, dL);
            corner(dB, dR);
            if (d <= -0.5f)
                continue;
            float t = earth(x, y, st.seed);
            // Rim: a lit lip on top, shadowed underside and flanks.
            if (d < 4)
            {
                if (d == dT || (dT < round && d < 4 && dT <= d + 0.01f))
                    t += 0.35f;
                else
                    t -= 0.3f;
            }
            if (d < 1.2f)
                t = 0.02f;
            Color c = st.sand.at(t, x, y);
            f.blend(x, y, c, clamp01(0.5f + d));
        }
    return f;
}

Image wallCell(const TilesetStyle& st)
{
    Image f(kCell, kCell);
    for (int y = 0; y < kCell; ++y)
        for (int x = 0; x < kCell; ++x)
        {
            float t;
            if (st.bricks)
            {
                // Two courses of bricks per cell, staggered; mortar lines darken.
                const int row = y / 16, off = (row % 2) * 16;
                const int bx = ((x + off) % 32), by = y % 16;
                const bool mortar = bx < 2 || by < 2;
                const float n = fractalNoise(x / 8.0f, y / 8.0f, 8, st.seed + 40, 2);
                t = 0.45f + 0.35f * (n - 0.5f) + 0.12f * (hashNoise((x + off) / 32, row, st.seed) - 0.5f);
                if (by < 4 || bx < 4)
                    t += 0.22f;
                if (by > 13 || bx > 29)
                    t -= 0.22f;
                if (mortar)
                    t = 0.05f;
            }
            else
            {
                // Rough blocks of cracked stone.
                const float n = fractalNoise(x / 8.0f, y / 8.0f, 8, st.seed + 40, 3);
                const int bx = x % 32, by = y % 32;
                t = 0.5f + 0.45f * (n - 0.5f);
                if (bx < 3 || by < 3)
                    t += 0.25f;
                if (bx > 28 || by > 28)
                    t -= 0.3f;
                if (bx == 31 || by == 31)
                    t = 0.02f;
            }
            f.at(x, y) = st.stone.at(t, x, y);
        }
    return f;
}

// The round wall is the wall's own masonry cut to a rounded block, bevelled, so it reads as
// part of the walls (and not as a rock) while its corners show that things roll off it.
Image roundWallCell(const TilesetStyle& st)
{
    const Image wall = wallCell(st);
    Image f(kCell, kCell);
    fillShape(
        f, 0, 0, kCell, kCell, [](float x, float y) { return sdBox(x, y, 32, 32, 31, 31, 22); },
        [&](float x, float y, int ix, int iy)
        {
            const float d = -sdBox(x, y, 32, 32, 31, 31, 22);
            Color c = wall.at(ix, iy);
            if (d < 5)
            {
                const float lit = ((x - 32) + (y - 32)) < 0 ? 1.0f : 0.0f;
                c = mix(c, lit > 0 ? st.stone.shades.back() : st.stone.shades[0], 0.45f);
            }
            return c;
        });
    outline(f, pal::ink);
    return f;
}

Image backCell(const TilesetStyle& st)
{
    Image f(kCell, kCell);
    for (int y = 0; y < kCell; ++y)
        for (int x = 0; x < kCell; ++x)
        {
            const float n = fractalNoise(x / 16.0f, y / 16.0f, 4, st.seed + 80, 3);
            const float streak = 0.15f * std::sin((x + y * 0.4f) * 0.2f + n * 4);
            f.at(x, y) = st.back.at(0.45f + 0.7f * (n - 0.5f) + streak, x, y);
        }
    return f;
}

Image rockSprite(const TilesetStyle& st)
{
    Image f(kCell, kCell);
    fillShape(
        f, 0, 0, kCell, kCell,
        [](float x, float y)
        {
            // A slightly lumpy round rock.
            const float a = std::atan2(y - 32, x - 32);
            return sdCircle(x, y, 32, 32, 28.5f + 1.2f * std::sin(a * 5) + 0.8f * std::sin(a * 3 + 1));
        },
        [&](float x, float y, int ix, int iy)
        {
            const float n = fractalNoise(x / 6.0f, y / 6.0f, 0, st.seed + 90, 3);
            float t = 0.2f + 0.75f * ballLight(x, y, 32, 32, 30, 30) + 0.35f * (n - 0.5f);
            // Cracks and spots make its turning visible.
            const float c1 = std::fabs((x - 20) * 0.6f - (y - 18)) < 0.9f && x > 16 && x < 34;
            const float c2 = std::fabs((y - 40) * 0.5f + (x - 40)) < 0.9f && y > 34 && y < 50;
            if (c1 || c2)
                t -= 0.4f;
            if (sdCircle(x, y, 40, 24, 3.5f) < 0 || sdCircle(x, y, 24, 42, 2.5f) < 0)
                t -= 0.2f;
            return st.rock.at(t, ix, iy);
        });
    outline(f, pal::ink);
    return f;
}

// Places a cell and repeats its border 8 pixels outwards (wrapping round the sheet).
void placePadded(Image& sheet, const Image& cell, int col, int row)
{
    const int pad = 8, x0 = col * kCell, y0 = row * kCell, n = sheet.w();
    for (int y = -pad; y < kCell + pad; ++y)
        for (int x = -pad; x < kCell + pad; ++x)
        {
            const int sx = std::min(std::max(x, 0), kCell - 1), sy = std::min(std::max(y, 0), kCell - 1);
            const int dx = ((x0 + x) % n + n) % n, dy = ((y0 + y) % n + n) % n;
            const bool own = x >= 0 && y >= 0 && x < kCell && y < kCell;
            if (own || sheet.at(dx, dy).a == 0)
                sheet.at(dx, dy) = cell.at(sx, sy);
        }
}

} // namespace

bool makeTiles(const std::string& dir)
{
    bool ok = true;
    for (const TilesetStyle& st : styles())
    {
        const std::string folder = dir + "/" + st.name;
        mkdir(folder.c_str(), 0755);
        Image sheet(16 * kCell, 16 * kCell);
        placePadded(sheet, wallCell(st), 0, 0);
        placePadded(sheet, roundWallCell(st), 2, 0);
        for (int m = 0; m < 16; ++m)
            placePadded(sheet, sandCell(st, m), m < 8 ? 2 * m : 2 * (m - 8), m < 8 ? 2 : 4);
        ok = sheet.savePng(folder + "/tileset.png") && ok;
        ok = backCell(st).savePng(folder + "/tile-empty.png") && ok;
        ok = rockSprite(st).savePng(folder + "/rock.png") && ok;
    }
    return ok;
}
