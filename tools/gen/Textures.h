#pragma once

// The picture families and the shared palette. Every material of the game draws its shades
// from the ramps below, so sprites, tiles and screens look like one set.

#include "Art.h"

#include <string>

namespace pal
{
using art::Ramp;
using art::ramp;

const art::Color ink = art::rgb(0x160c1a); // outline of every sprite
inline const Ramp& fur()
{
    static Ramp r = ramp({0x2a1a2a, 0x46303e, 0x664652, 0x8a6468, 0xab8a82});
    return r;
}
inline const Ramp& skin()
{
    static Ramp r = ramp({0x7a2c48, 0xb45872, 0xe08a98, 0xf8c0bc});
    return r;
}
inline const Ramp& redAnt()
{
    static Ramp r = ramp({0x3a0a10, 0x741620, 0xb0302a, 0xdc5e38, 0xf6a060});
    return r;
}
inline const Ramp& greenAnt()
{
    static Ramp r = ramp({0x0c2812, 0x1c5424, 0x368a2e, 0x6cbc3e, 0xb4e672});
    return r;
}
inline const Ramp& gold()
{
    static Ramp r = ramp({0x4a2806, 0x8a560e, 0xc88e1a, 0xf0c63c, 0xfff0a0});
    return r;
}
inline const Ramp& blue()
{
    static Ramp r = ramp({0x0e1646, 0x1c3888, 0x3260c6, 0x5a98f0, 0xb0dcff});
    return r;
}
inline const Ramp& gem()
{
    static Ramp r = ramp({0x0a2448, 0x12609a, 0x24a2d8, 0x6adcf8, 0xe6ffff});
    return r;
}
inline const Ramp& appleRed()
{
    static Ramp r = ramp({0x3a0610, 0x7e1220, 0xc02828, 0xee5a42, 0xffb08e});
    return r;
}
inline const Ramp& leaf()
{
    static Ramp r = ramp({0x0e2a12, 0x1e5a22, 0x3a9030, 0x78c444});
    return r;
}
inline const Ramp& wood()
{
    static Ramp r = ramp({0x2a1406, 0x583210, 0x88521e, 0xb67e38, 0xdeae6c});
    return r;
}
inline const Ramp& metal()
{
    static Ramp r = ramp({0x0e0e16, 0x222236, 0x3a3a56, 0x646486, 0xa4a4c4});
    return r;
}
inline const Ramp& fire()
{
    static Ramp r = ramp({0x3a0804, 0x962208, 0xdc5410, 0xf89c1e, 0xfff07a, 0xffffff});
    return r;
}
inline const Ramp& slate()
{
    static Ramp r = ramp({0x0a0d1a, 0x151c32, 0x222c4a, 0x344466, 0x4e628a});
    return r;
}
} // namespace pal

// One tileset's materials.
struct TilesetStyle
{
    std::string name;
    art::Ramp sand, stone, rock, back;
    int seed;
    bool bricks; // walls of laid bricks, else rough blocks
};

// Sprite drawing shared by the families (the HUD and the credits reuse the game's sprites).
enum class MoleView
{
    Side,
    Back,
    Front
};
struct MolePose
{
    MoleView view = MoleView::Side;
    float phase = 0;    // 0..1 through one walking cycle
    bool dazed = false; // crossed eyes while dying
};
void drawMole(art::Image& img, float ox, float oy, float scale, const MolePose& pose);
void drawKey(art::Image& img, float cx, float cy, float scale, float spin, const art::Ramp& metal);
void drawDiamond(art::Image& img, float cx, float cy, float scale, int sparkle);
void drawBomb(art::Image& img, float cx, float cy, float scale, int litFrame);
void drawApple(art::Image& img, float cx, float cy, float scale);

// Text through FreeType, for the font pictures and for lettering in pictures.
struct TextStyle
{
    std::string font;       // path of a .ttf
    float pixels = 32;      // em size
    art::Color top, bottom; // fill, blended from the glyph's top to its bottom
    art::Color edge;        // outline colour
    float edgeWidth = 2;    // pixels
    float shadow = 0.5f;    // alpha of the drop shadow
    float shadowOffset = 2;
};
// Draws text with its baseline starting at (x, y); returns the advance width.
float drawText(art::Image& img, float x, float y, const std::string& text, const TextStyle& style);
float measureText(const std::string& text, const TextStyle& style);
std::string fontPath(const std::string& file);

bool makeSprites(const std::string& dir);
bool makeTiles(const std::string& dir);
bool makeInterface(const std::string& dir);
bool makeFonts(const std::string& dir);
