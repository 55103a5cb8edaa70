// The things of the level: the mole, the ants, bonuses, bombs, doors, the exit, explosions and
// the additive particles. Every sprite frame is 64 x 64 (explosions 128 x 128) and is drawn in
// a 64-unit design space, so the HUD and the credits can draw the same figures at other sizes.

#include "Textures.h"

#include <cstdio>
#include <functional>

using namespace art;

namespace
{

// Draws in the 64-unit design space of one frame, placed at (ox, oy) with a scale.
struct Pen
{
    Image& img;
    float ox, oy, s;
    float X(float x) const { return ox + x * s; }
    float Y(float y) const { return oy + y * s; }
    void ball(float x, float y, float rx, float ry, const Ramp& r, float bias = 0) const
    {
        art::ball(img, X(x), Y(y), rx * s, ry * s, r, bias);
    }
    void disc(float x, float y, float r, const Color& c) const { art::disc(img, X(x), Y(y), r * s, c); }
    void ellipse(float x, float y, float rx, float ry, const Color& c) const
    {
        art::ellipse(img, X(x), Y(y), rx * s, ry * s, c);
    }
    void line(float ax, float ay, float bx, float by, float r, const Color& c) const
    {
        art::capsule(img, X(ax), Y(ay), X(bx), Y(by), r * s, c);
    }
    void poly(std::vector<float> xy, const Color& c) const
    {
        for (size_t i = 0; i + 1 < xy.size(); i += 2)
        {
            xy[i] = X(xy[i]);
            xy[i + 1] = Y(xy[i + 1]);
        }
        art::polygon(img, xy, c);
    }
};

Image rotated(const Image& src, float degrees)
{
    Image out(src.w(), src.h());
    const float a = degrees * kPi / 180.0f, ca = std::cos(a), sa = std::sin(a);
    const float cx = src.w() / 2.0f, cy = src.h() / 2.0f;
    for (int y = 0; y < out.h(); ++y)
        for (int x = 0; x < out.w(); ++x)
        {
            // Inverse rotation, then a bilinear read.
            const float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
            const float sx = ca * dx + sa * dy + cx - 0.5f, sy = -sa * dx + ca * dy + cy - 0.5f;
            const int x0 = int(std::floor(sx)), y0 = int(std::floor(sy));
            const float fx = sx - x0, fy = sy - y0;
            float r = 0, g = 0, b = 0, al = 0;
            for (int k = 0; k < 4; ++k)
            {
                const int xx = x0 + (k & 1), yy = y0 + (k >> 1);
                if (!src.inside(xx, yy))
                    continue;
                const float w = ((k & 1) ? fx : 1 - fx) * ((k >> 1) ? fy : 1 - fy);
                const Color& c = src.at(xx, yy);
                r += c.r * c.a * w;
                g += c.g * c.a * w;
                b += c.b * c.a * w;
                al += c.a * w;
            }
            if (al > 0)
                out.at(x, y) = {r / al, g / al, b / al, al};
        }
    return out;
}

void star4(Image& img, float cx, float cy, float size, const Color& c)
{
    polygon(img, {cx, cy - size, cx + size * 0.22f, cy, cx, cy + size, cx - size * 0.22f, cy}, c);
    polygon(img, {cx - size, cy, cx, cy - size * 0.22f, cx + size, cy, cx, cy + size * 0.22f}, c);
}

void claws(const Pen& p, float x, float y, float dx, float dy)
{
    const Color c = rgb(0xf4e6d8);
    for (int k = -1; k <= 1; ++k)
    {
        const float ox = -dy * k * 2.2f, oy = dx * k * 2.2f;
        p.line(x + ox, y + oy, x + ox + dx * 3.2f, y + oy + dy * 3.2f, 0.9f, c);
    }
}

void helmet(const Pen& p, float x, float y, float w, bool lampFront, float lampX)
{
    p.ball(x, y, w, w * 0.62f, pal::gold(), 0.05f);
    p.line(x - w - 1.5f, y + w * 0.45f, x + w + 1.5f, y + w * 0.45f, 1.6f, pal::gold().shades[1]);
    if (lampFront || lampX != 0)
    {
        const float lx = lampFront ? x : lampX, ly = y - w * 0.05f;
        p.disc(lx, ly, 3.2f, pal::metal().shades[2]);
        p.disc(lx, ly, 2.2f, rgb(0xfff6b0));
    }
}

void eye(const Pen& p, float x, float y, bool dazed)
{
    if (dazed)
    {
        p.line(x - 1.8f, y - 1.8f, x + 1.8f, y + 1.8f, 0.7f, pal::ink);
        p.line(x - 1.8f, y + 1.8f, x + 1.8f, y - 1.8f, 0.7f, pal::ink);
        return;
    }
    p.disc(x, y, 2.0f, pal::ink);
    p.disc(x + 0.6f, y - 0.7f, 0.75f, rgb(0xffffff));
}

} // namespace

void drawMole(Image& img, float ox, float oy, float scale, const MolePose& pose)
{
    const Pen p{img, ox, oy, scale};
    const Ramp& fur = pal::fur();
    const Ramp& skin = pal::skin();
    const float w = 2 * kPi * pose.phase;
    const float bob = -std::fabs(std::sin(w)) * 1.6f;
    if (pose.view == MoleView::Side)
    {
        // Far limbs first, a shade darker.
        const float fhx = 47 + 6 * std::sin(w + kPi), fhy = 50 - 3 * std::max(0.0f, std::cos(w + kPi));
        const float ffx = 20 - 5 * std::sin(w + kPi), ffy = 54 - 2 * std::max(0.0f, -std::cos(w + kPi));
        p.ball(ffx + 2, ffy, 5.5f, 3.2f, skin, -0.35f);
        p.line(41, 42 + bob, fhx + 2, fhy, 4, fur.shades[1]);
        p.ball(fhx + 2, fhy, 5, 4, skin, -0.35f);
        p.line(9, 43 + bob, 4, 47 + bob, 2, skin.shades[1]);
        p.ball(28, 38 + bob, 20, 15, fur);
        p.ball(29, 44 + bob, 13, 7, fur, 0.25f);
        p.ball(44, 33 + bob, 12, 11, fur);
        p.ball(56, 35 + bob, 5.5f, 4.5f, skin);
        p.disc(59.5f, 34 + bob, 1.0f, skin.shades[0]);
        p.line(55, 38.5f + bob, 62, 40 + bob, 0.45f, rgb(0xe8d0c0));
        p.line(55, 37.5f + bob, 62, 36.5f + bob, 0.45f, rgb(0xe8d0c0));
        eye(p, 49, 29.5f + bob, pose.dazed);
        helmet(p, 41, 23 + bob, 11, false, 50);
        // Near limbs.
        const float hx = 47 + 6 * std::sin(w), hy = 50 - 3 * std::max(0.0f, std::cos(w));
        const float fx = 20 - 5 * std::sin(w), fy = 54 - 2 * std::max(0.0f, -std::cos(w));
        p.ball(fx, fy, 6, 3.5f, skin);
        p.line(39, 42 + bob, hx, hy, 4.5f, fur.shades[2]);
        p.ball(hx, hy, 5.5f, 4.5f, skin);
        claws(p, hx + 4, hy + 1, 1, 0.3f);
    }
    else if (pose.view == MoleView::Back)
    {
        const float s = std::sin(w);
        p.ball(25, 56 + 2 * s, 5, 3, skin, -0.1f);
        p.ball(39, 56 - 2 * s, 5, 3, skin, -0.1f);
        p.ball(32, 38 + bob, 17, 17, fur);
        p.ball(32, 23 + bob, 12, 10, fur, -0.05f);
        helmet(p, 32, 16 + bob, 11, false, 0);
        const float ly = 25 - 7 * s, ry = 25 + 7 * s;
        p.line(21, 32 + bob, 14, ly, 4, fur.shades[2]);
        p.line(43, 32 + bob, 50, ry, 4, fur.shades[2]);
        p.ball(14, ly, 5, 5, skin);
        p.ball(50, ry, 5, 5, skin);
        claws(p, 14, ly - 4, 0, -1);
        claws(p, 50, ry - 4, 0, -1);
    }
    else
    {
        const float s = std::sin(w);
        p.ball(24, 56 + 2 * s, 5.5f, 3.2f, skin);
        p.ball(40, 56 - 2 * s, 5.5f, 3.2f, skin);
        p.ball(32, 41 + bob, 17, 15.5f, fur);
        p.ball(32, 45 + bob, 10, 9, fur, 0.25f);
        p.ball(32, 27 + bob, 13, 11, fur);
        p.ball(32, 32 + bob, 5, 4, skin);
        p.disc(30.5f, 31.5f + bob, 0.9f, skin.shades[0]);
        p.disc(33.5f, 31.5f + bob, 0.9f, skin.shades[0]);
        eye(p, 26, 25.5f + bob, pose.dazed);
        eye(p, 38, 25.5f + bob, pose.dazed);
        helmet(p, 32, 17 + bob, 12, true, 0);
        const float ly = 45 + 4 * s, ry = 45 - 4 * s;
        p.line(20, 37 + bob, 13, ly, 4, fur.shades[2]);
        p.line(44, 37 + bob, 51, ry, 4, fur.shades[2]);
        p.ball(13, ly, 5, 5, skin);
        p.ball(51, ry, 5, 5, skin);
        claws(p, 13, ly + 4, 0, 1);
        claws(p, 51, ry + 4, 0, 1);
    }
}

namespace
{

// An ant seen from the side (facing right) or from above (heading up, or down when flipped).
void drawAnt(Image& img, const Ramp& body, int view, float phase)
{
    const Pen p{img, 0, 0, 1};
    const float w = 2 * kPi * phase;
    const Color legNear = body.shades[1], legFar = body.shades[0];
    if (view == 0)
    {
        const float bob = std::sin(2 * w) * 0.6f;
        auto leg = [&](int k, float ph, const Color& c, float shift)
        {
            const float hx = 29 + 3 * k + shift, hy = 40 + bob;
            const float fx = 17 + 14 * k + 5 * std::sin(w + ph) + shift;
            const float fy = 55 - 2.5f * std::max(0.0f, std::cos(w + ph));
            const float kx = (hx + fx) / 2 + (k - 1) * 2.5f, ky = 34 + bob;
            p.line(hx, hy, kx, ky, 1.3f, c);
            p.line(kx, ky, fx, fy, 1.2f, c);
        };
        for (int k = 0; k < 3; ++k)
            leg(k, (k % 2) ? 0 : kPi, legFar, 2);
        p.line(47, 27 + bob, 52, 19 + bob, 0.9f, legFar);
        p.line(52, 19 + bob, 59, 18 + bob, 0.9f, legFar);
        p.ball(17, 39 + bob, 11.5f, 9, body);
        p.ball(27, 38.5f + bob, 3, 3, body);
        p.ball(33, 37 + bob, 6.5f, 5, body);
        p.ball(45, 33 + bob, 8.5f, 7.5f, body);
        const float bite = 1.2f * std::sin(w * 2);
        p.line(51, 36 + bob, 56, 39 + bob + bite, 1.3f, body.shades[0]);
        eye(p, 48, 31 + bob, false);
        p.line(45, 27 + bob, 49, 18 + bob, 0.9f, legNear);
        p.line(49, 18 + bob, 56, 15 + bob, 0.9f, legNear);
        for (int k = 0; k < 3; ++k)
            leg(k, (k % 2) ? kPi : 0, legNear, 0);
        return;
    }
    // Top view, head up; a downward ant is the same ant walked mirror-wise in y (view 2).
    const float sgn = view == 1 ? 1.0f : -1.0f;
    auto Y = [&](float y) { return view == 1 ? y : 64 - y; };
    for (int side = -1; side <= 1; side += 2)
        for (int k = 0; k < 3; ++k)
        {
            const float ph = ((k + (side > 0)) % 2) ? 0 : kPi;
            const float hy = 24 + 3.5f * k, fy = 15 + 13 * k + 4 * std::sin(w + ph) * sgn;
            const float kx = 32 + side * 11, ky = (hy + fy) / 2 - 2;
            p.line(32 + side * 3, Y(hy), kx, Y(ky), 1.3f, legNear);
            p.line(kx, Y(ky), 32 + side * 16, Y(fy), 1.2f, legNear);
        }
    p.line(29, Y(10), 24, Y(3), 0.9f, legNear);
    p.line(35, Y(10), 40, Y(3), 0.9f, legNear);
    p.ball(32, Y(44), 9.5f, 12, body);
    p.ball(32, Y(27.5f), 5, 6, body);
    p.ball(32, Y(15), 7.5f, 7, body);
    p.line(29, Y(9), 27, Y(5), 1.2f, body.shades[0]);
    p.line(35, Y(9), 37, Y(5), 1.2f, body.shades[0]);
    eye(p, 28.5f, Y(13), false);
    eye(p, 35.5f, Y(13), false);
}

// Annulus with sphere-ish light, squeezed across by the spin factor c.
void ring(Image& img, float cx, float cy, float r0, float r1, float c, const Ramp& r, float bias)
{
    const float ac = std::max(std::fabs(c), 0.15f);
    const float mid = (r0 + r1) / 2, half = (r1 - r0) / 2;
    fillShape(
        img, cx - r1 - 1, cy - r1 - 1, cx + r1 + 1, cy + r1 + 1,
        [&](float x, float y)
        {
            const float dx = (x - cx) / ac, dy = y - cy;
            return (std::fabs(std::hypot(dx, dy) - mid) - half) * std::min(1.0f, ac * 1.6f);
        },
        [&](float x, float y, int ix, int iy)
        { return r.at(ballLight(x, y, cx, cy, r1 * ac, r1) + bias, ix, iy); });
}

} // namespace

void drawKey(Image& img, float cx, float cy, float scale, float spin, const Ramp& metal)
{
    const float c0 = std::cos(spin);
    const float c = (c0 < 0 ? -1 : 1) * std::max(std::fabs(c0), 0.15f);
    const float bias = 0.3f * (std::fabs(c0) - 0.6f) - (c0 < 0 ? 0.12f : 0);
    const float s = scale;
    auto X = [&](float x) { return cx + x * c * s; };
    auto Y = [&](float y) { return cy + y * s; };
    ring(img, X(0), Y(-11), 4.5f * s, 10.5f * s, c, metal, bias);
    const float sw = std::max(2.0f * std::fabs(c), 1.2f) * s;
    fillShape(
        img, X(0) - 4 * s, Y(-2), X(0) + 4 * s, Y(22),
        [&](float x, float y) { return sdBox(x, y, X(0), Y(10), sw, 11 * s, 1); },
        [&](float x, float y, int ix, int iy)
        { return metal.at(0.55f + bias - 0.3f * (x - X(0)) / (sw + 1) + 0.0f * y, ix, iy); });
    auto bit = [&](float x0, float y0, float x1, float y1, float shade)
    {
        std::vector<float> q = {X(x0), Y(y0), X(x1), Y(y0), X(x1), Y(y1), X(x0), Y(y1)};
        const Color col = metal.smoothAt(shade + bias);
        fillShape(
            img, std::min(X(x0), X(x1)) - 1, Y(y0) - 1, std::max(X(x0), X(x1)) + 1, Y(y1) + 1,
            [&](float x, float y) { return sdPolygon(x, y, q); },
            [&](float, float, int, int) { return col; });
    };
    bit(1, 11, 9, 15, 0.5f);
    bit(1, 17, 7, 21, 0.45f);
}

void drawDiamond(Image& img, float cx, float cy, float scale, int sparkle)
{
    const float s = scale;
    auto P = [&](float x, float y) { return std::vector<float>{cx + (x - 32) * s, cy + (y - 34) * s}; };
    const float G[5][2] = {{10, 27}, {21, 27}, {32, 27}, {43, 27}, {54, 27}};
    const float T[4][2] = {{20, 16}, {28, 16}, {36, 16}, {44, 16}};
    const float B[2] = {32, 56};
    std::vector<std::vector<const float*>> facets = {
        {G[0], T[0], G[1]}, {T[0], T[1], G[1]}, {T[1], G[1], G[2]}, {T[1], T[2], G[2]},
        {T[2], G[2], G[3]}, {T[2], T[3], G[3]}, {T[3], G[3], G[4]}, {G[0], G[1], B},
        {G[1], G[2], B},    {G[2], G[3], B},    {G[3], G[4], B}};
    const float base[] = {0.55f, 0.85f, 0.7f, 0.98f, 0.62f, 0.78f, 0.42f, 0.5f, 0.66f, 0.34f, 0.18f};
    const Ramp& r = pal::gem();
    for (size_t i = 0; i < facets.size(); ++i)
    {
        std::vector<float> xy;
        for (const float* v : facets[i])
        {
            const auto q = P(v[0], v[1]);
            xy.insert(xy.end(), q.begin(), q.end());
        }
        // Light plays across the facets as the sparkle turns.
        const float play = 0.5f + 0.5f * std::cos(2 * kPi * sparkle / 8.0f - float(i) * 0.9f);
        const float t = base[i] * 0.7f + 0.3f * play;
        fillShape(
            img, cx - 30 * s, cy - 30 * s, cx + 30 * s, cy + 30 * s,
            [&](float x, float y) { return sdPolygon(x, y, xy); },
            [&](float, float, int ix, int iy) { return r.at(t, ix, iy); });
    }
    // Bright girdle line.
    const auto a = P(10, 27), b = P(54, 27);
    capsule(img, a[0], a[1], b[0], b[1], 0.5f * s, withAlpha(r.shades[4], 0.6f));
}

namespace
{
void fuseSpark(Image& img, float x, float y, float scale, int lit)
{
    glow(img, x, y, 11 * scale, rgb(0xffa020, 0.9f), 1.6f);
    const float rot = lit * 0.7f;
    for (int k = 0; k < 4; ++k)
    {
        const float a = rot + k * kPi / 2;
        const float len = ((k + lit) % 2 ? 7.0f : 4.5f) * scale;
        capsule(img, x, y, x + std::cos(a) * len, y + std::sin(a) * len, 0.8f * scale, rgb(0xfff2a0));
    }
    disc(img, x, y, 2.2f * scale, rgb(0xffffff));
}
} // namespace

void drawBomb(Image& img, float cx, float cy, float scale, int lit)
{
    const Pen p{img, cx - 32 * scale, cy - 32 * scale, scale};
    p.ball(30, 39, 17, 17, pal::metal());
    p.line(37, 25, 42, 20, 4.5f, pal::metal().shades[3]);
    p.line(38, 24, 42, 20, 2.5f, pal::metal().shades[2]);
    p.line(43, 19, 47, 13, 1.3f, pal::wood().shades[3]);
    p.line(47, 13, 52, 11, 1.3f, pal::wood().shades[3]);
    if (lit > 0)
        fuseSpark(img, p.X(52), p.Y(11), scale, lit);
}

void drawApple(Image& img, float cx, float cy, float scale)
{
    const Pen p{img, cx - 32 * scale, cy - 32 * scale, scale};
    p.ball(32, 37, 19, 17.5f, pal::appleRed());
    p.ellipse(32, 21.5f, 4.5f, 2.2f, pal::appleRed().shades[0]);
    p.line(32, 22, 34, 13, 1.7f, pal::wood().shades[1]);
    p.poly({35, 16, 40, 10, 48, 10, 44, 15}, pal::leaf().shades[2]);
    p.line(36, 15, 46, 11, 0.5f, pal::leaf().shades[3]);
    p.ellipse(24, 30, 3, 4.5f, rgb(0xffffff, 0.75f));
}

namespace
{

Image frame(int size = 64)
{
    return Image(size, size);
}

Image moleFrame(const MolePose& pose)
{
    Image f = frame();
    drawMole(f, 0, 0, 1, pose);
    outline(f, pal::ink);
    return f;
}

bool saveMole(const std::string& dir)
{
    Sheet sheet(8, 8, 64, 64);
    for (int i = 0; i < 12; ++i)
    {
        sheet.set(i, moleFrame({MoleView::Side, i / 12.0f, false}));
        sheet.set(12 + i, moleFrame({MoleView::Back, i / 12.0f, false}));
        sheet.set(24 + i, moleFrame({MoleView::Front, i / 12.0f, false}));
    }
    // Dying: a dazed hop, a tumble onto the back, then stars circling over the still mole.
    for (int k = 0; k < 13; ++k)
    {
        Image raw = frame();
        float angle = 0, lift = 0;
        if (k < 3)
            lift = -2.5f * k;
        else if (k < 8)
        {
            angle = (k - 2) * 36.0f;
            lift = -5 + (k - 3) * 1.6f;
        }
        else
            angle = 180;
        // Drawn high so that, turned over, it lies at the foot of the cell.
        drawMole(raw, 0, k >= 8 ? -8 : lift, 1, {MoleView::Side, 0, k > 0});
        Image f = angle != 0 ? rotated(raw, angle) : raw;
        if (k >= 8)
            tint(f, rgb(0x807888), 0.08f * (k - 7));
        if (k == 1)
            tint(f, rgb(0xffffff), 0.35f);
        outline(f, pal::ink);
        if (k >= 5)
            for (int j = 0; j < 3; ++j)
            {
                const float a = k * 0.7f + j * 2 * kPi / 3;
                star4(f, 22 + 13 * std::cos(a), 14 + 4 * std::sin(a), 4.0f, pal::gold().shades[4]);
            }
        sheet.set(36 + k, f);
    }
    return sheet.image().savePng(dir + "/mole.png");
}

bool saveAnt(const std::string& dir, const std::string& name, const Ramp& body)
{
    Sheet sheet(8, 8, 64, 64);
    for (int view = 0; view < 3; ++view)
        for (int i = 0; i < 12; ++i)
        {
            Image f = frame();
            drawAnt(f, body, view, i / 12.0f);
            outline(f, pal::ink);
            sheet.set(view * 12 + i, f);
        }
    return sheet.image().savePng(dir + "/" + name);
}

bool saveKeys(const std::string& dir)
{
    Sheet sheet(8, 8, 64, 64);
    for (int colour = 0; colour < 2; ++colour)
        for (int i = 0; i < 32; ++i)
        {
            Image f = frame();
            // The key swings to and fro, catching the light at the end of each swing.
            const float cycle = 2 * kPi * i / 32.0f;
            const float swing = 0.95f * std::sin(cycle);
            // Frames 0-31 are the blue key, 32-63 the yellow one.
            drawKey(f, 32, 31 + std::cos(cycle) * 1.5f, 1.25f, swing,
                    colour == 0 ? pal::blue() : pal::gold());
            outline(f, pal::ink);
            const float glint = std::cos(cycle * 2);
            if (glint > 0.6f)
                star4(f, 32 + 12 * swing, 14, 6 * (glint - 0.4f) / 0.6f, rgb(0xffffff, 0.95f));
            sheet.set(colour * 32 + i, f);
        }
    return sheet.image().savePng(dir + "/keys.png");
}

bool saveDiamond(const std::string& dir)
{
    Sheet sheet(4, 4, 64, 64);
    const float spots[4][2] = {{22, 19}, {41, 21}, {30, 37}, {46, 28}};
    for (int i = 0; i < 8; ++i)
    {
        Image f = frame();
        drawDiamond(f, 32, 34, 1, i);
        outline(f, pal::ink);
        const float* sp = spots[i / 2];
        glow(f, sp[0], sp[1], i % 2 ? 7.0f : 11.0f, rgb(0xffffff, 0.7f), 2.2f);
        star4(f, sp[0], sp[1], i % 2 ? 4.5f : 8.0f, rgb(0xffffff));
        sheet.set(i, f);
    }
    return sheet.image().savePng(dir + "/diamond.png");
}

bool saveExplosion(const std::string& dir)
{
    Sheet sheet(4, 4, 128, 128);
    Rng rng(77);
    struct Spark
    {
        float a, v;
    };
    std::vector<Spark> sparks;
    for (int i = 0; i < 14; ++i)
        sparks.push_back({rng.range(0, 2 * kPi), rng.range(0.7f, 1.2f)});
    for (int fr = 0; fr < 7; ++fr)
    {
        Image f = frame(128);
        const float t = fr / 6.0f;
        const float R = 24 + 34 * t;
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x)
            {
                const float dx = x + 0.5f - 64, dy = y + 0.5f - 64;
                const float n = fractalNoise(x / 14.0f + fr * 0.9f, y / 14.0f - fr * 0.6f, 0, 991, 3);
                const float v = std::hypot(dx, dy) / R + (n - 0.5f) * 0.55f;
                if (v >= 1)
                    continue;
                const float heat = (1 - v) * (1.35f - t) * 1.5f;
                Color c = pal::fire().at(heat, x, y);
                float a = smooth(1.0f, 0.82f, v);
                if (heat < 0.45f)
                {
                    // Cooling edges turn into smoke.
                    c = mix(c, rgb(0x3c3440), smooth(0.45f, 0.1f, heat));
                    a *= 0.85f;
                }
                if (t > 0.5f)
                    a *= 1 - (t - 0.5f) * 1.6f;
                f.blend(x, y, c, a);
            }
        if (fr < 2)
            glow(f, 64, 64, 30 - fr * 6.0f, rgb(0xffffff, 0.9f), 1.5f);
        for (const Spark& s : sparks)
        {
            const float d0 = 12 + 62 * t * s.v, d1 = d0 + 7;
            const float ca = std::cos(s.a), sa = std::sin(s.a);
            capsule(f, 64 + ca * d0, 64 + sa * d0, 64 + ca * d1, 64 + sa * d1, 1.1f,
                    withAlpha(pal::fire().shades[4], 1 - t * 0.8f));
        }
        sheet.set(fr, f);
    }
    return sheet.image().savePng(dir + "/explosion.png");
}

// A door in its stone frame; the panel slides up behind the lintel as it opens.
Image doorFrame(const Ramp& panel, int fr)
{
    Image f = frame();
    const float slide[4] = {0, 18, 36, 50};
    const float top = 9 - slide[fr], bottom = 64 - slide[fr];
    fillShape(
        f, 8, 8, 56, 64,
        [&](float x, float y)
        { return std::max(sdBox(x, y, 32, (top + bottom) / 2, 23, (bottom - top) / 2, 1), 8.5f - y); },
        [&](float x, float y, int ix, int iy)
        {
            const float py = y - top;
            float t = 0.55f + 0.2f * std::sin((x - 8) / 46.0f * kPi) - 0.1f * ((int(py) % 14) < 2);
            if (x < 11 || py < 3)
                t += 0.25f;
            if (x > 53 || py > (bottom - top) - 3)
                t -= 0.3f;
            return panel.at(t, ix, iy);
        });
    const Pen p{f, 0, top - 9, 1};
    const Color rivet = panel.shades[4];
    for (float ry : {14.0f, 56.0f})
        for (float rx : {14.0f, 50.0f})
            if (p.Y(ry) > 9)
                p.disc(rx, ry, 1.4f, rivet);
    if (p.Y(42) > 9)
    {
        p.disc(32, 33, 4.5f, pal::ink);
        p.poly({29.5f, 34, 34.5f, 34, 36, 44, 28, 44}, pal::ink);
    }
    // Frame on top: posts and lintel.
    const Ramp& stone = pal::metal();
    fillShape(
        f, 0, 0, 64, 64,
        [&](float x, float y)
        {
            const float outer = sdBox(x, y, 32, 32, 32, 32);
            const float inner = sdBox(x, y, 32, 36, 24, 28);
            return std::max(outer, -inner);
        },
        [&](float x, float y, int ix, int iy)
        {
            float t = 0.6f + 0.25f * (hashNoise(ix / 3, iy / 3, 5) - 0.5f);
            if (x < 2 || y < 2)
                t += 0.3f;
            if ((x > 6 && x < 9) || (y > 6 && y < 9 && x > 6 && x < 58) || x > 61)
                t -= 0.35f;
            return stone.at(t, ix, iy);
        });
    disc(f, 32, 4.5f, 2.5f, panel.shades[3]);
    outline(f, pal::ink);
    return f;
}

// The exit: a stone arch with a double door that parts once every diamond is in.
Image exitFrame(int fr)
{
    Image f = frame();
    const float part[4] = {0, 8, 15, 22};
    auto archHole = [](float x, float y)
    {
        const float box = sdBox(x, y, 32, 44, 21, 22);
        const float top = sdCircle(x, y, 32, 26, 21);
        return std::min(box, y < 26 ? top : box);
    };
    if (fr == 3)
        glow(f, 32, 40, 30, rgb(0xffe890, 0.45f), 1.2f);
    for (int side = -1; side <= 1; side += 2)
    {
        const float shift = side * part[fr];
        fillShape(
            f, 8, 4, 56, 64,
            [&](float x, float y)
            {
                const float leaf = side < 0 ? sdBox(x, y, 21.5f + shift, 40, 10.5f, 28)
                                            : sdBox(x, y, 42.5f + shift, 40, 10.5f, 28);
                return std::max(leaf, archHole(x, y));
            },
            [&](float x, float y, int ix, int iy)
            {
                const float lx = side < 0 ? x - (11 + shift) : (53 + shift) - x;
                float t = 0.45f + 0.1f * std::sin(lx * 0.5f) + ((int(y) % 12) < 2 ? -0.15f : 0);
                if (std::fabs(lx - 20.5f) < 1.5f)
                    t += 0.35f;
                return pal::metal().at(t, ix, iy);
            });
    }
    if (fr == 0)
        drawDiamond(f, 32, 40, 0.3f, 2);
    const Ramp stone = ramp({0x1e1a22, 0x3a3440, 0x5e5664, 0x8a8290, 0xbab2bc});
    fillShape(
        f, 0, 0, 64, 64,
        [&](float x, float y)
        {
            const float outer = std::min(sdBox(x, y, 32, 45, 30, 19), sdCircle(x, y, 32, 28, 28.5f));
            return std::max(std::max(outer, -archHole(x, y)), 0.0f - y);
        },
        [&](float x, float y, int ix, int iy)
        {
            const float a = std::atan2(y - 28, x - 32);
            float t = 0.55f + 0.3f * (hashNoise(ix / 4, iy / 4, 9) - 0.5f);
            if (y < 28 && std::fmod(a + 2 * kPi, kPi / 5) < 0.09f)
                t -= 0.35f;
            if (y >= 28 && (int(y) % 12) < 1)
                t -= 0.3f;
            return stone.at(t + 0.2f * (x < 20), ix, iy);
        });
    // Golden keystone.
    const Pen p{f, 0, 0, 1};
    p.poly({28, 0.5f, 36, 0.5f, 34.5f, 7, 29.5f, 7}, pal::gold().shades[3]);
    outline(f, pal::ink);
    return f;
}

bool saveDoors(const std::string& dir)
{
    bool ok = true;
    const struct
    {
        const char* file;
        const Ramp* r;
    } doors[] = {{"door-yellow.png", &pal::gold()}, {"door-blue.png", &pal::blue()}};
    for (const auto& d : doors)
    {
        Sheet sheet(2, 2, 64, 64);
        for (int fr = 0; fr < 4; ++fr)
            sheet.set(fr, doorFrame(*d.r, fr));
        ok = sheet.image().savePng(dir + "/" + d.file) && ok;
    }
    Sheet exitSheet(2, 2, 64, 64);
    for (int fr = 0; fr < 4; ++fr)
        exitSheet.set(fr, exitFrame(fr));
    return exitSheet.image().savePng(dir + "/door-exit.png") && ok;
}

bool saveBomb(const std::string& dir)
{
    Sheet sheet(2, 2, 64, 64);
    for (int fr = 0; fr < 4; ++fr)
    {
        Image f = frame();
        drawBomb(f, 32, 32, 1, 0);
        outline(f, pal::ink);
        // The spark goes over the outline so it glows past the bomb's edge.
        if (fr > 0)
            fuseSpark(f, 52, 11, 1, fr);
        sheet.set(fr, f);
    }
    return sheet.image().savePng(dir + "/bomb.png");
}

bool saveBox(const std::string& dir)
{
    Image f = frame();
    const Ramp& w = pal::wood();
    fillShape(
        f, 2, 2, 62, 62, [](float x, float y) { return sdBox(x, y, 32, 32, 29, 29, 2); },
        [&](float x, float y, int ix, int iy)
        {
            const float grain = fractalNoise(x / 3.0f, y / 16.0f, 0, 31, 2);
            float t = 0.45f + 0.35f * (grain - 0.5f);
            const bool border = x < 10 || x > 54 || y < 10 || y > 54;
            const float plank = std::fmod(y - 10, 11.0f);
            if (!border && plank < 1.2f)
                t = 0.05f;
            // Diagonal brace from bottom left to top right.
            const float diag = std::fabs((x - 10) - (54 - y)) / 1.414f;
            if (!border && diag < 5)
                t = 0.62f + 0.2f * (grain - 0.5f) - (diag > 4 ? 0.4f : 0);
            if (border)
                t = 0.6f + 0.3f * (grain - 0.5f);
            if (x < 4 || y < 4)
                t += 0.25f;
            if (x > 60 || y > 60)
                t -= 0.3f;
            if ((x > 9 && x < 11 && y > 9 && y < 55) || (y > 9 && y < 11 && x > 9 && x < 55))
                t = 0.1f;
            return w.at(t, ix, iy);
        });
    for (float x : {6.0f, 58.0f})
        for (float y : {6.0f, 58.0f})
            disc(f, x, y, 1.5f, pal::metal().shades[3]);
    outline(f, pal::ink);
    return f.savePng(dir + "/box.png");
}

bool saveApple(const std::string& dir)
{
    Image f = frame();
    drawApple(f, 32, 32, 1);
    outline(f, pal::ink);
    return f.savePng(dir + "/apple.png");
}

bool saveParticles(const std::string& dir)
{
    Image star = frame();
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
        {
            const float dx = std::fabs(x + 0.5f - 32), dy = std::fabs(y + 0.5f - 32);
            const float core = std::pow(clamp01(1 - std::hypot(dx, dy) / 14), 2.0f);
            const float rays =
                std::exp(-dy / 1.6f) * clamp01(1 - dx / 31) + std::exp(-dx / 1.6f) * clamp01(1 - dy / 31);
            const float v = clamp01(core + rays * 0.9f);
            star.at(x, y) = {1.0f, 0.96f, 0.75f, v};
        }
    Image bonus = frame(), apple = frame();
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
        {
            const float d = std::hypot(x + 0.5f - 32, y + 0.5f - 32) / 31.5f;
            const float soft = std::pow(clamp01(1 - d), 1.8f);
            const float ringv = std::exp(-std::pow((d - 0.62f) / 0.12f, 2.0f)) * 0.5f;
            bonus.at(x, y) = {1.0f, 0.88f, 0.5f, clamp01(soft * 0.8f + ringv) * (d < 1)};
            apple.at(x, y) = {1.0f, 0.5f, 0.32f, clamp01(soft * 0.8f + ringv * 0.8f) * (d < 1)};
        }
    return star.savePng(dir + "/part1.png") && bonus.savePng(dir + "/part2.png") &&
           apple.savePng(dir + "/part3.png");
}

} // namespace

bool makeSprites(const std::string& dir)
{
    bool ok = saveMole(dir);
    ok = saveAnt(dir, "red-ant.png", pal::redAnt()) && ok;
    ok = saveAnt(dir, "green-ant.png", pal::greenAnt()) && ok;
    ok = saveKeys(dir) && ok;
    ok = saveDiamond(dir) && ok;
    ok = saveExplosion(dir) && ok;
    ok = saveDoors(dir) && ok;
    ok = saveBomb(dir) && ok;
    ok = saveBox(dir) && ok;
    ok = saveApple(dir) && ok;
    ok = saveParticles(dir) && ok;
    return ok;
}
