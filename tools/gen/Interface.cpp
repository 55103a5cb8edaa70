// Screens and panels: the splash, the HUD panel and its bar fills, the player's light, the menu
// panel, arrows, slider, buttons, the message box and the two credits pictures. They share a
// slate-blue ground with gold trim.

#include "Textures.h"

using namespace art;

namespace
{

// A bevelled panel with rounded corners: slate inside, a gold rim and a thin inner line.
void panel(Image& img, float x0, float y0, float x1, float y1, float radius, float rim, float alpha)
{
    const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2, hw = (x1 - x0) / 2, hh = (y1 - y0) / 2;
    fillShape(
        img, x0, y0, x1, y1, [&](float x, float y) { return sdBox(x, y, cx, cy, hw, hh, radius); },
        [&](float x, float y, int ix, int iy)
        {
            const float d = -sdBox(x, y, cx, cy, hw, hh, radius);
            if (d < rim)
            {
                // The rim is lit from the top left.
                const float lit = 0.5f + 0.45f * (((x - cx) / hw) * -0.5f + ((y - cy) / hh) * -0.7f);
                const float bevel = d < rim * 0.35f ? -0.25f : (d > rim * 0.7f ? 0.2f : 0);
                return withAlpha(pal::gold().at(lit + bevel, ix, iy), 1);
            }
            if (d < rim + 1.5f)
                return withAlpha(pal::ink, alpha);
            if (std::fabs(d - rim - 5) < 0.6f)
                return withAlpha(pal::gold().shades[1], alpha);
            const float n = fractalNoise(x / 24.0f, y / 24.0f, 0, 5, 3);
            const float v = 0.5f - 0.35f * (y - y0) / (y1 - y0) + 0.35f * (n - 0.5f);
            return withAlpha(pal::slate().at(v, ix, iy), alpha);
        });
}

Image hudPanel()
{
    // Designed as the 254 x 768 panel of the screen, then cut into the picture's two halves.
    Image p(254, 768);
    const float right = 158;
    // Soft shadow cast onto the level.
    for (int y = 0; y < 768; ++y)
        for (int x = int(right); x < 176; ++x)
            p.blend(x, y, rgb(0x000000), 0.45f * (1 - (x - right) / 18.0f));
    fillShape(
        p, 0, 0, right, 768, [&](float x, float) { return x - right; },
        [&](float x, float y, int ix, int iy)
        {
            const float n = fractalNoise(x / 20.0f, y / 20.0f, 0, 71, 3);
            float v = 0.45f + 0.4f * (n - 0.5f);
            if (x > right - 9)
            {
                const float lit = (x > right - 3) ? 0.25f : (x < right - 7 ? 0.85f : 0.6f);
                return pal::gold().at(lit, ix, iy);
            }
            if (x > right - 11)
                return pal::ink;
            return pal::slate().at(v, ix, iy);
        });
    // Counter slots: blue keys, yellow keys, bombs.
    const float rows[3] = {27, 77, 127};
    for (int i = 0; i < 3; ++i)
    {
        const float y = rows[i];
        fillShape(
            p, 12, y - 8, 142, y + 42,
            [&](float x, float yy) { return sdBox(x, yy, 77, y + 17, 64, 23, 10); },
            [&](float x, float yy, int ix, int iy)
            {
                const float d = -sdBox(x, yy, 77, y + 17, 64, 23, 10);
                if (d < 2)
                    return pal::gold().at(yy < y + 17 ? 0.3f : 0.7f, ix, iy);
                return pal::slate().at(0.12f + 0.1f * (yy - y) / 40, ix, iy);
            });
    }
    Image icon(64, 64);
    drawKey(icon, 32, 32, 1.4f, 0.35f, pal::blue());
    outline(icon, pal::ink);
    p.draw(icon.scaled(44, 44), 36, 22);
    icon = Image(64, 64);
    drawKey(icon, 32, 32, 1.4f, 0.35f, pal::gold());
    outline(icon, pal::ink);
    p.draw(icon.scaled(44, 44), 36, 72);
    icon = Image(64, 64);
    drawBomb(icon, 32, 32, 1, 0);
    outline(icon, pal::ink);
    p.draw(icon.scaled(46, 46), 36, 121);
    // Bar troughs; the fills rise from y 611 to at most y 246.
    const float bars[2][2] = {{25, 57}, {96, 128}};
    for (const auto& b : bars)
    {
        fillShape(
            p, b[0] - 6, 240, b[1] + 6, 618,
            [&](float x, float y) { return sdBox(x, y, (b[0] + b[1]) / 2, 429, 20, 188, 6); },
            [&](float x, float y, int ix, int iy)
            {
                const float d = -sdBox(x, y, (b[0] + b[1]) / 2, 429, 20, 188, 6);
                if (d < 3)
                    return pal::gold().at(x < (b[0] + b[1]) / 2 ? 0.8f : 0.35f, ix, iy);
                if (d < 4)
                    return pal::ink;
                return pal::slate().at(0.05f + 0.15f * ((x - b[0]) / 32), ix, iy);
            });
        // Scale marks every quarter.
        for (int k = 1; k < 4; ++k)
            rect(p, b[1] - 6, 611 - 365 * k / 4.0f - 0.5f, b[1] + 1, 611 - 365 * k / 4.0f + 0.5f,
                 withAlpha(pal::gold().shades[2], 0.7f));
    }
    icon = Image(64, 64);
    drawApple(icon, 32, 32, 1);
    outline(icon, pal::ink);
    p.draw(icon.scaled(48, 48), 17, 628);
    icon = Image(64, 64);
    drawDiamond(icon, 32, 34, 1, 3);
    outline(icon, pal::ink);
    p.draw(icon.scaled(48, 48), 88, 628);
    // Rivets down the rim.
    for (int y = 200; y < 768; y += 120)
        disc(p, right - 5, y, 2, pal::gold().shades[4]);
    return p;
}

Image hudPicture()
{
    const Image p = hudPanel();
    Image out(512, 384);
    for (int y = 0; y < 384; ++y)
        for (int x = 0; x < 254; ++x)
        {
            out.at(x, y) = p.at(x, y);
            out.at(256 + x, y) = p.at(x, 384 + y);
        }
    return out;
}

// A bar fill. The game draws the picture's top row at the bar's foot (y 611) and squeezes the
// rows into the filled height, so the brightest end sits at the bottom of the picture.
Image barFill(const Ramp& r, uint32_t seed)
{
    Image f(64, 256);
    Rng rng(seed);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 64; ++x)
        {
            const float u = (x + 0.5f) / 57.6f; // 0.9 of the width is shown
            float t = 0.4f + 0.6f * std::sin(clamp01(u) * kPi) - 0.25f * std::max(0.0f, u - 0.55f);
            if (u > 0.2f && u < 0.32f)
                t += 0.25f;
            t += 0.12f * (y / 230.0f);
            f.at(x, y) = r.smoothAt(t);
        }
    for (int i = 0; i < 14; ++i)
    {
        const float bx = rng.range(10, 48), by = rng.range(10, 225), br = rng.range(2, 4.5f);
        disc(f, bx, by, br, withAlpha(r.shades.back(), 0.45f));
    }
    return f;
}

Image playerLight()
{
    Image f(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
        {
            const float d = std::hypot(x + 0.5f - 128, y + 0.5f - 128) / 128.0f;
            f.at(x, y) = {0, 0, 0.02f, smooth(0.16f, 0.62f, d)};
        }
    return f;
}

Image arrow(bool up)
{
    Image f(64, 32);
    std::vector<float> tri =
        up ? std::vector<float>{32, 4, 58, 28, 6, 28} : std::vector<float>{6, 4, 58, 4, 32, 28};
    fillShape(
        f, 0, 0, 64, 32, [&](float x, float y) { return sdPolygon(x, y, tri); },
        [&](float x, float y, int ix, int iy)
        { return pal::gold().at(0.9f - (y / 32) * 0.6f - x / 200, ix, iy); });
    outline(f, pal::ink);
    return f;
}

Image sliderFill()
{
    Image f(128, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 128; ++x)
        {
            const float v = (y + 0.5f) / 25.6f; // 0.8 of the height is shown
            const Color along = mix(rgb(0x2c8a3a), rgb(0xf0d040), x / 127.0f);
            const float lit =
                0.7f + 0.5f * std::sin(clamp01(v) * kPi) - (v > 0.75f ? 0.35f : 0) + (v < 0.25f ? 0.2f : 0);
            f.at(x, y) = {clamp01(along.r * lit), clamp01(along.g * lit), clamp01(along.b * lit), 1};
        }
    return f;
}

Image button()
{
    Image f(512, 128);
    panel(f, 4, 4, 508, 124, 34, 8, 0.96f);
    // A gloss across the upper half.
    fillShape(
        f, 16, 14, 496, 64, [](float x, float y) { return sdBox(x, y, 256, 38, 236, 22, 20); },
        [](float, float y, int, int) { return rgb(0xffffff, 0.12f * (1 - (y - 14) / 50)); });
    return f;
}

// Lettering in a picture with the heading font's look.
TextStyle lettering(float pixels, int top, int bottom)
{
    TextStyle st;
    st.font = fontPath("DejaVuSans-Bold.ttf");
    st.pixels = pixels;
    st.top = rgb(top);
    st.bottom = rgb(bottom);
    st.edge = pal::ink;
    st.edgeWidth = pixels / 14;
    st.shadow = 0.6f;
    st.shadowOffset = pixels / 16;
    return st;
}

Image splash()
{
    Image f(512, 256);
    panel(f, 8, 8, 504, 248, 30, 6, 1.0f);
    const TextStyle st = lettering(96, 0xfff0b0, 0xd07a20);
    const float w = measureText("vormel", st);
    drawText(f, 256 - w / 2, 160, "vormel", st);
    // A tunnel that winds under the name.
    for (int i = 0; i < 60; ++i)
    {
        const float x = 110 + i * 5, y = 192 + 8 * std::sin(i * 0.25f);
        disc(f, x, y, 4.5f, pal::fur().shades[3]);
    }
    Image mole(64, 64);
    drawMole(mole, 0, 0, 1, {MoleView::Side, 0.25f, false});
    outline(mole, pal::ink);
    f.draw(mole, 402, 158);
    return f;
}

Image creditsBackground()
{
    Image f(1024, 768);
    const TilesetStyle earth{"",  ramp({0x1e1008, 0x3a2210, 0x5a381c, 0x7c522a, 0x9e7040}), {}, {}, {}, 3,
                             true};
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x)
        {
            // Layered earth with soft strata.
            const float n = fractalNoise(x / 48.0f, y / 48.0f, 0, 13, 4);
            const float strata = 0.12f * std::sin(y / 23.0f + n * 5);
            float t = 0.35f + 0.5f * (n - 0.5f) + strata;
            Color c = earth.sand.smoothAt(t);
            // The right side, where the text scrolls, is darker.
            const float dark = smooth(330, 470, float(x));
            c = mix(c, rgb(0x0a0610), dark * 0.75f);
            f.at(x, y) = c;
        }
    // A dug tunnel with the mole, gems and an apple in the earth on the left.
    const Ramp cave = ramp({0x0e0a08, 0x1a1410, 0x261e18, 0x32281e});
    fillShape(
        f, 0, 340, 440, 660,
        [](float x, float y)
        {
            const float rough = (fractalNoise(x / 14.0f, y / 14.0f, 0, 19, 2) - 0.5f) * 14;
            return sdBox(x, y, 170, 500, 270, 88, 50) + rough;
        },
        [&](float x, float y, int ix, int iy)
        {
            const float n = fractalNoise(x / 16.0f, y / 16.0f, 0, 17, 3);
            return cave.at(0.3f + 0.7f * (n - 0.5f) + 0.3f * (y - 420) / 160, ix, iy);
        });
    Image big(256, 256);
    drawMole(big, 0, 0, 4, {MoleView::Side, 0.2f, false});
    outline(big, pal::ink);
    outline(big, withAlpha(pal::ink, 0.6f));
    f.draw(big, 90, 340);
    Image gem(64, 64);
    drawDiamond(gem, 32, 34, 1, 1);
    outline(gem, pal::ink);
    f.draw(gem.scaled(96, 96), 250, 190);
    f.draw(gem, 60, 180);
    gem = Image(64, 64);
    drawApple(gem, 32, 32, 1);
    outline(gem, pal::ink);
    f.draw(gem, 330, 660);
    return f;
}

Image creditsOverlay()
{
    Image f(1024, 768);
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x)
        {
            // Dark bands at the top and the bottom that the lines scroll out of and into.
            const float top = smooth(150, 0, float(y)), bottom = smooth(640, 768, float(y));
            f.at(x, y) = {0.02f, 0.01f, 0.03f, std::max(top, bottom) * 0.85f};
        }
    const TextStyle st = lettering(84, 0xfff4c0, 0xe08a28);
    drawText(f, 40, 118, "Quarrow", st);
    const TextStyle sub = lettering(26, 0xffffff, 0xd8d8e8);
    drawText(f, 48, 160, "a game by vormel", sub);
    // A gold rule between the picture and the text.
    rect(f, 412, 150, 415, 640, withAlpha(pal::gold().shades[2], 0.8f));
    return f;
}

} // namespace

bool makeInterface(const std::string& dir)
{
    bool ok = hudPicture().savePng(dir + "/hud.png");
    ok = barFill(pal::appleRed(), 5).savePng(dir + "/hud-apple.png") && ok;
    ok = barFill(pal::gem(), 6).savePng(dir + "/hud-diamond.png") && ok;
    ok = playerLight().savePng(dir + "/player-light.png") && ok;
    Image black(8, 8);
    black.fill(rgb(0x000000));
    ok = black.savePng(dir + "/black.png") && ok;
    Image menu(440, 300);
    panel(menu, 0, 0, 440, 300, 22, 7, 0.94f);
    ok = menu.savePng(dir + "/menu-bg.png") && ok;
    ok = arrow(true).savePng(dir + "/menu-more-up.png") && ok;
    ok = arrow(false).savePng(dir + "/menu-more-down.png") && ok;
    ok = sliderFill().savePng(dir + "/menu-slider.png") && ok;
    ok = button().savePng(dir + "/button-bg.png") && ok;
    Image message(1024, 256);
    panel(message, 0, 0, 1024, 256, 28, 8, 0.95f);
    ok = message.savePng(dir + "/message-bg.png") && ok;
    ok = creditsBackground().savePng(dir + "/credits-bg.png") && ok;
    ok = creditsOverlay().savePng(dir + "/credits.png") && ok;
    ok = splash().savePng(dir + "/vormel.png") && ok;
    return ok;
}
