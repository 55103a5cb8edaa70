#include "Art.h"

#include <cstdio>
#include <png.h>

namespace art
{

float hashNoise(int x, int y, uint32_t seed)
{
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xFFFFFF) / 16777215.0f;
}

float valueNoise(float x, float y, int period, uint32_t seed)
{
    const int xi = int(std::floor(x)), yi = int(std::floor(y));
    const float fx = x - xi, fy = y - yi;
    auto wrap = [period](int v) { return period > 0 ? ((v % period) + period) % period : v; };
    const float a = hashNoise(wrap(xi), wrap(yi), seed), b = hashNoise(wrap(xi + 1), wrap(yi), seed);
    const float c = hashNoise(wrap(xi), wrap(yi + 1), seed), d = hashNoise(wrap(xi + 1), wrap(yi + 1), seed);
    const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

float fractalNoise(float x, float y, int period, uint32_t seed, int octaves)
{
    float sum = 0, amp = 0.5f, norm = 0;
    for (int o = 0; o < octaves; ++o)
    {
        sum += amp * valueNoise(x, y, period, seed + o * 101);
        norm += amp;
        x *= 2;
        y *= 2;
        period *= 2;
        amp *= 0.5f;
    }
    return sum / norm;
}

void Image::blend(int x, int y, const Color& c, float cover)
{
    if (!inside(x, y))
        return;
    Color& d = at(x, y);
    const float sa = clamp01(c.a * cover);
    if (sa <= 0)
        return;
    const float oa = sa + d.a * (1 - sa);
    if (oa <= 0)
        return;
    d.r = (c.r * sa + d.r * d.a * (1 - sa)) / oa;
    d.g = (c.g * sa + d.g * d.a * (1 - sa)) / oa;
    d.b = (c.b * sa + d.b * d.a * (1 - sa)) / oa;
    d.a = oa;
}

void Image::draw(const Image& src, int x, int y, bool mirror)
{
    for (int sy = 0; sy < src.h(); ++sy)
        for (int sx = 0; sx < src.w(); ++sx)
            blend(x + (mirror ? src.w() - 1 - sx : sx), y + sy, src.at(sx, sy));
}

void Image::put(const Image& src, int x, int y)
{
    for (int sy = 0; sy < src.h(); ++sy)
        for (int sx = 0; sx < src.w(); ++sx)
            if (inside(x + sx, y + sy))
                at(x + sx, y + sy) = src.at(sx, sy);
}

Image Image::scaled(int nw, int nh) const
{
    // Area average with premultiplied colour, good for both shrinking and mild enlarging.
    Image out(nw, nh);
    const float sx = float(width) / nw, sy = float(height) / nh;
    for (int y = 0; y < nh; ++y)
        for (int x = 0; x < nw; ++x)
        {
            const float fx0 = x * sx, fy0 = y * sy, fx1 = fx0 + sx, fy1 = fy0 + sy;
            float r = 0, g = 0, b = 0, a = 0, wsum = 0;
            for (int yy = int(fy0); yy < int(std::ceil(fy1)) && yy < height; ++yy)
                for (int xx = int(fx0); xx < int(std::ceil(fx1)) && xx < width; ++xx)
                {
                    const float wx = std::min(fx1, xx + 1.0f) - std::max(fx0, float(xx));
                    const float wy = std::min(fy1, yy + 1.0f) - std::max(fy0, float(yy));
                    const float w = std::max(0.0f, wx) * std::max(0.0f, wy);
                    const Color& c = at(xx, yy);
                    r += c.r * c.a * w;
                    g += c.g * c.a * w;
                    b += c.b * c.a * w;
                    a += c.a * w;
                    wsum += w;
                }
            Color& o = out.at(x, y);
            if (a > 0)
            {
                o.r = r / a;
                o.g = g / a;
                o.b = b / a;
            }
            o.a = wsum > 0 ? a / wsum : 0;
        }
    return out;
}

static uint8_t toByte(float v)
{
    return uint8_t(std::lround(clamp01(v) * 255.0f));
}

bool Image::savePng(const std::string& path) const
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
    {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(size_t(width) * 4);
    for (int y = 0; y < height; ++y)
    {
        for (int x = 0; x < width; ++x)
        {
            const Color& c = at(x, y);
            const uint8_t a = toByte(c.a);
            // Fully clear pixels keep their colour so filtering does not pull in black fringes.
            row[x * 4 + 0] = toByte(c.r);
            row[x * 4 + 1] = toByte(c.g);
            row[x * 4 + 2] = toByte(c.b);
            row[x * 4 + 3] = a;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

bool loadPng(const std::string& path, Image& out)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> buf(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, buf.data(), 0, nullptr))
        return false;
    out = Image(int(image.width), int(image.height));
    for (int y = 0; y < out.h(); ++y)
        for (int x = 0; x < out.w(); ++x)
        {
            const uint8_t* p = &buf[(size_t(y) * out.w() + x) * 4];
            out.at(x, y) = {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f, p[3] / 255.0f};
        }
    return true;
}

Color Ramp::at(float t, int x, int y) const
{
    static const float bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    const int n = int(shades.size());
    const float v = clamp01(t) * (n - 1);
    int i = int(v);
    const float frac = v - i;
    if (frac > (bayer[y & 3][x & 3] + 0.5f) / 16.0f)
        ++i;
    return shades[std::min(i, n - 1)];
}

Color Ramp::smoothAt(float t) const
{
    const int n = int(shades.size());
    const float v = clamp01(t) * (n - 1);
    const int i = std::min(int(v), n - 2);
    return mix(shades[i], shades[i + 1], v - i);
}

Ramp ramp(std::initializer_list<int> hexes)
{
    Ramp r;
    for (int h : hexes)
        r.shades.push_back(rgb(h));
    return r;
}

float sdCircle(float px, float py, float cx, float cy, float r)
{
    return std::hypot(px - cx, py - cy) - r;
}

float sdEllipse(float px, float py, float cx, float cy, float rx, float ry)
{
    // Scaled-circle approximation, good enough for small radii ratios.
    const float dx = (px - cx) / rx, dy = (py - cy) / ry;
    const float k = std::hypot(dx, dy);
    return (k - 1) * std::min(rx, ry);
}

float sdBox(float px, float py, float cx, float cy, float hw, float hh, float round)
{
    const float qx = std::fabs(px - cx) - hw + round, qy = std::fabs(py - cy) - hh + round;
    return std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) - round;
}

float sdCapsule(float px, float py, float ax, float ay, float bx, float by, float r)
{
    const float pax = px - ax, pay = py - ay, bax = bx - ax, bay = by - ay;
    const float len2 = bax * bax + bay * bay;
    const float h = len2 > 0 ? clamp01((pax * bax + pay * bay) / len2) : 0;
    return std::hypot(pax - bax * h, pay - bay * h) - r;
}

float sdPolygon(float px, float py, const std::vector<float>& v)
{
    const size_t n = v.size() / 2;
    float d = 1e9f;
    bool in = false;
    for (size_t i = 0, j = n - 1; i < n; j = i++)
    {
        const float xi = v[2 * i], yi = v[2 * i + 1], xj = v[2 * j], yj = v[2 * j + 1];
        const float ex = xj - xi, ey = yj - yi, wx = px - xi, wy = py - yi;
        const float len2 = ex * ex + ey * ey;
        const float t = len2 > 0 ? clamp01((wx * ex + wy * ey) / len2) : 0;
        d = std::min(d, std::hypot(wx - ex * t, wy - ey * t));
        if (((yi > py) != (yj > py)) && (px < (xj - xi) * (py - yi) / (yj - yi) + xi))
            in = !in;
    }
    return in ? -d : d;
}

float ballLight(float px, float py, float cx, float cy, float rx, float ry)
{
    const float nx = (px - cx) / rx, ny = (py - cy) / ry;
    const float r2 = std::min(1.0f, nx * nx + ny * ny);
    const float nz = std::sqrt(1 - r2);
    const float lx = -0.45f, ly = -0.6f, lz = 0.66f;
    const float lambert = std::max(0.0f, nx * lx + ny * ly + nz * lz);
    return clamp01(0.12f + 0.95f * lambert);
}

void ball(Image& img, float cx, float cy, float rx, float ry, const Ramp& r, float bias)
{
    fillShape(
        img, cx - rx - 1, cy - ry - 1, cx + rx + 1, cy + ry + 1,
        [&](float x, float y) { return sdEllipse(x, y, cx, cy, rx, ry); },
        [&](float x, float y, int ix, int iy)
        { return r.at(ballLight(x, y, cx, cy, rx, ry) + bias, ix, iy); });
}

void disc(Image& img, float cx, float cy, float r, const Color& c)
{
    fillShape(
        img, cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1,
        [&](float x, float y) { return sdCircle(x, y, cx, cy, r); },
        [&](float, float, int, int) { return c; });
}

void ellipse(Image& img, float cx, float cy, float rx, float ry, const Color& c)
{
    fillShape(
        img, cx - rx - 1, cy - ry - 1, cx + rx + 1, cy + ry + 1,
        [&](float x, float y) { return sdEllipse(x, y, cx, cy, rx, ry); },
        [&](float, float, int, int) { return c; });
}

void capsule(Image& img, float ax, float ay, float bx, float by, float r, const Color& c)
{
    fillShape(
        img, std::min(ax, bx) - r - 1, std::min(ay, by) - r - 1, std::max(ax, bx) + r + 1,
        std::max(ay, by) + r + 1, [&](float x, float y) { return sdCapsule(x, y, ax, ay, bx, by, r); },
        [&](float, float, int, int) { return c; });
}

void polygon(Image& img, const std::vector<float>& xy, const Color& c)
{
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
    for (size_t i = 0; i + 1 < xy.size(); i += 2)
    {
        x0 = std::min(x0, xy[i]);
        x1 = std::max(x1, xy[i]);
        y0 = std::min(y0, xy[i + 1]);
        y1 = std::max(y1, xy[i + 1]);
    }
    fillShape(
        img, x0 - 1, y0 - 1, x1 + 1, y1 + 1, [&](float x, float y) { return sdPolygon(x, y, xy); },
        [&](float, float, int, int) { return c; });
}

void rect(Image& img, float x0, float y0, float x1, float y1, const Color& c)
{
    fillShape(
        img, x0, y0, x1, y1,
        [&](float x, float y)
        { return sdBox(x, y, (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2); },
        [&](float, float, int, int) { return c; });
}

void glow(Image& img, float cx, float cy, float r, const Color& c, float power)
{
    for (int y = std::max(0, int(cy - r)); y < std::min(img.h(), int(cy + r + 1)); ++y)
        for (int x = std::max(0, int(cx - r)); x < std::min(img.w(), int(cx + r + 1)); ++x)
        {
            const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) / r;
            if (d >= 1)
                continue;
            img.blend(x, y, c, std::pow(1 - d, power));
        }
}

void outline(Image& img, const Color& c)
{
    Image src = img;
    for (int y = 0; y < img.h(); ++y)
        for (int x = 0; x < img.w(); ++x)
        {
            if (src.at(x, y).a >= 0.5f)
                continue;
            float best = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                {
                    if (!src.inside(x + dx, y + dy))
                        continue;
                    const float w = (dx != 0 && dy != 0) ? 0.6f : 1.0f;
                    best = std::max(best, src.at(x + dx, y + dy).a * w);
                }
            if (best >= 0.5f)
            {
                Color o = c;
                o.a = c.a * clamp01(best * 1.4f);
                // The faint pixel that was there stays on top of its new outline.
                const Color under = img.at(x, y);
                img.at(x, y) = o;
                img.blend(x, y, under);
            }
        }
}

void tint(Image& img, const Color& c, float t)
{
    for (int y = 0; y < img.h(); ++y)
        for (int x = 0; x < img.w(); ++x)
        {
            Color& d = img.at(x, y);
            const float a = d.a;
            d = mix(d, c, t);
            d.a = a;
        }
}

void multiplyAlpha(Image& img, float a)
{
    for (int y = 0; y < img.h(); ++y)
        for (int x = 0; x < img.w(); ++x)
            img.at(x, y).a *= a;
}

} // namespace art
