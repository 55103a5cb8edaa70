#pragma once

// Small software canvas for the picture tools: straight-alpha float pixels, shapes given as
// signed distance functions (negative inside, in pixels), colour ramps that give every material
// the same few shades, and a dark outline pass so sprites read against any background.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace art
{

struct Color
{
    float r = 0, g = 0, b = 0, a = 0;
};

inline Color rgb(int hex, float a = 1.0f)
{
    return {((hex >> 16) & 255) / 255.0f, ((hex >> 8) & 255) / 255.0f, (hex & 255) / 255.0f, a};
}
inline Color mix(const Color& x, const Color& y, float t)
{
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}
inline Color withAlpha(Color c, float a)
{
    c.a = a;
    return c;
}
inline float clamp01(float v)
{
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}
inline float smooth(float e0, float e1, float x)
{
    const float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

// Deterministic generator (xorshift64*): the same seed always gives the same pictures.
class Rng
{
  public:
    explicit Rng(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t next()
    {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return uint32_t((state * 0x2545F4914F6CDD1Dull) >> 32);
    }
    float uniform() { return (next() >> 8) * (1.0f / 16777216.0f); }
    float range(float lo, float hi) { return lo + (hi - lo) * uniform(); }
    int below(int n) { return int(next() % uint32_t(n)); }

  private:
    uint64_t state;
};

// Hash-based lattice noise; periodic with the given period so textures tile.
float hashNoise(int x, int y, uint32_t seed);
float valueNoise(float x, float y, int period, uint32_t seed);
float fractalNoise(float x, float y, int period, uint32_t seed, int octaves);

class Image
{
  public:
    Image() = default;
    Image(int w, int h) : width(w), height(h), pixels(size_t(w) * h) {}
    int w() const { return width; }
    int h() const { return height; }
    Color& at(int x, int y) { return pixels[size_t(y) * width + x]; }
    const Color& at(int x, int y) const { return pixels[size_t(y) * width + x]; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    // Source-over with the given extra coverage.
    void blend(int x, int y, const Color& c, float cover = 1.0f);
    void fill(const Color& c) { std::fill(pixels.begin(), pixels.end(), c); }
    // Copies src over this picture with its top-left at (x, y) (source-over; mirror on request).
    void draw(const Image& src, int x, int y, bool mirror = false);
    // Copies src into this picture's rectangle replacing what is there.
    void put(const Image& src, int x, int y);
    Image scaled(int w, int h) const; // box/bilinear resample
    bool savePng(const std::string& path) const;

  private:
    int width = 0, height = 0;
    std::vector<Color> pixels;
};

bool loadPng(const std::string& path, Image& out);

// A material: shades from darkest to lightest. at() quantises with an ordered dither so that
// shading reads as pixel art rather than a smooth gradient.
struct Ramp
{
    std::vector<Color> shades;
    Color at(float t, int x, int y) const;
    Color smoothAt(float t) const;
};
Ramp ramp(std::initializer_list<int> hexes);

// Signed distances (pixels; negative inside).
float sdCircle(float px, float py, float cx, float cy, float r);
float sdEllipse(float px, float py, float cx, float cy, float rx, float ry);
float sdBox(float px, float py, float cx, float cy, float hw, float hh, float round = 0);
float sdCapsule(float px, float py, float ax, float ay, float bx, float by, float r);
float sdPolygon(float px, float py, const std::vector<float>& xy);

// Light comes from the upper left; this is the lit fraction of a sphere-like bulge at a point
// of an ellipse (0 dark, 1 bright).
float ballLight(float px, float py, float cx, float cy, float rx, float ry);

// Fills every pixel of the box [x0, x1) x [y0, y1) whose shape covers it; shade gives the
// colour at a pixel centre. Coverage is antialiased over about one pixel.
template <class Sdf, class Shade>
void fillShape(Image& img, float x0, float y0, float x1, float y1, Sdf sdf, Shade shade)
{
    const int ix0 = std::max(0, int(std::floor(x0))), iy0 = std::max(0, int(std::floor(y0)));
    const int ix1 = std::min(img.w(), int(std::ceil(x1))), iy1 = std::min(img.h(), int(std::ceil(y1)));
    for (int y = iy0; y < iy1; ++y)
        for (int x = ix0; x < ix1; ++x)
        {
            const float px = x + 0.5f, py = y + 0.5f;
            const float d = sdf(px, py);
            const float cover = clamp01(0.5f - d);
            if (cover <= 0)
                continue;
            img.blend(x, y, shade(px, py, x, y), cover);
        }
}

// Shaded ellipse of a ramp, lit from the upper left.
void ball(Image& img, float cx, float cy, float rx, float ry, const Ramp& r, float bias = 0.0f);
// Flat filled shapes.
void disc(Image& img, float cx, float cy, float r, const Color& c);
void ellipse(Image& img, float cx, float cy, float rx, float ry, const Color& c);
void capsule(Image& img, float ax, float ay, float bx, float by, float r, const Color& c);
void polygon(Image& img, const std::vector<float>& xy, const Color& c);
void rect(Image& img, float x0, float y0, float x1, float y1, const Color& c);
// Soft radial glow: colour with alpha falling off from the centre.
void glow(Image& img, float cx, float cy, float r, const Color& c, float power = 2.0f);

// Surrounds opaque pixels with one pixel of the given colour (where alpha was below 0.5), so
// every sprite has a readable dark edge.
void outline(Image& img, const Color& c);
// Moves every pixel's colour towards c by t where it is opaque (for tinting whole frames).
void tint(Image& img, const Color& c, float t);
void multiplyAlpha(Image& img, float a);

// Sprite sheet: frames of fw x fh in a cols x rows grid.
class Sheet
{
  public:
    Sheet(int cols, int rows, int fw, int fh) : cols(cols), fw(fw), fh(fh), img(cols * fw, rows * fh) {}
    void set(int frame, const Image& f, bool mirror = false)
    {
        img.put(f, (frame % cols) * fw, (frame / cols) * fh);
        (void)mirror;
    }
    Image& image() { return img; }

  private:
    int cols, fw, fh;
    Image img;
};

const float kPi = 3.14159265358979f;

} // namespace art
