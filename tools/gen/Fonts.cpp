// Font pictures and lettering, rendered with FreeType from the DejaVu fonts. A font picture is
// a 16 x 16 grid of cells; byte c sits in column c % 16, row c / 16. The game advances glyphs by
// 0.6 of a cell, so we use the monospaced DejaVu faces and centre each glyph on 0.3 of the
// cell's width: a printed line then centres where the game's width estimate expects it.

#include "Textures.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <map>
#include <memory>

using namespace art;

std::string fontPath(const std::string& file)
{
    return "/usr/share/fonts/truetype/dejavu/" + file;
}

namespace
{

struct Library
{
    FT_Library lib = nullptr;
    std::map<std::string, FT_Face> faces;
    Library() { FT_Init_FreeType(&lib); }
    ~Library()
    {
        for (auto& f : faces)
            FT_Done_Face(f.second);
        FT_Done_FreeType(lib);
    }
    FT_Face face(const std::string& path, float pixels)
    {
        FT_Face& f = faces[path];
        if (!f && FT_New_Face(lib, path.c_str(), 0, &f) != 0)
        {
            std::fprintf(stderr, "cannot open font %s\n", path.c_str());
            f = nullptr;
            return nullptr;
        }
        FT_Set_Pixel_Sizes(f, 0, FT_UInt(pixels + 0.5f));
        return f;
    }
};

Library& library()
{
    static Library lib;
    return lib;
}

// Grey coverage of one glyph and where it sits relative to the pen on the baseline.
struct Glyph
{
    int w = 0, h = 0, left = 0, top = 0;
    float advance = 0;
    std::vector<float> cover;
};

Glyph renderGlyph(FT_Face face, unsigned long code)
{
    Glyph g;
    if (!face || FT_Load_Char(face, code, FT_LOAD_RENDER) != 0)
        return g;
    const FT_Bitmap& bm = face->glyph->bitmap;
    g.w = int(bm.width);
    g.h = int(bm.rows);
    g.left = face->glyph->bitmap_left;
    g.top = face->glyph->bitmap_top;
    g.advance = face->glyph->advance.x / 64.0f;
    g.cover.resize(size_t(g.w) * g.h);
    for (int y = 0; y < g.h; ++y)
        for (int x = 0; x < g.w; ++x)
            g.cover[size_t(y) * g.w + x] = bm.buffer[y * bm.pitch + x] / 255.0f;
    return g;
}

// Composites glyph coverage (already placed in a mask the size of img) as shadow, outline and
// a vertically blended fill.
void compose(Image& img, const std::vector<float>& mask, const TextStyle& st, float fillTop, float fillBottom)
{
    const int w = img.w(), h = img.h();
    const int r = int(std::ceil(st.edgeWidth));
    std::vector<float> edge(mask.size(), 0.0f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            float best = 0;
            for (int dy = -r - 1; dy <= r + 1; ++dy)
                for (int dx = -r - 1; dx <= r + 1; ++dx)
                {
                    const int xx = x + dx, yy = y + dy;
                    if (xx < 0 || yy < 0 || xx >= w || yy >= h)
                        continue;
                    const float m = mask[size_t(yy) * w + xx];
                    if (m <= 0)
                        continue;
                    const float fall = clamp01(st.edgeWidth + 0.5f - std::hypot(float(dx), float(dy)));
                    best = std::max(best, m * fall);
                }
            edge[size_t(y) * w + x] = best;
        }
    const int so = int(std::lround(st.shadowOffset));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const size_t i = size_t(y) * w + x;
            if (st.shadow > 0 && x >= so && y >= so)
            {
                // Soft shadow: the outline shape, shifted and blurred by a 3 x 3 average.
                float s = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                    {
                        const int xx = x - so + dx, yy = y - so + dy;
                        if (xx >= 0 && yy >= 0 && xx < w && yy < h)
                            s += edge[size_t(yy) * w + xx];
                    }
                img.blend(x, y, rgb(0x000000), st.shadow * s / 9.0f);
            }
            img.blend(x, y, st.edge, edge[i]);
            const float t = fillBottom > fillTop ? clamp01((y + 0.5f - fillTop) / (fillBottom - fillTop)) : 0;
            img.blend(x, y, mix(st.top, st.bottom, t), mask[i]);
        }
}

} // namespace

float measureText(const std::string& text, const TextStyle& st)
{
    FT_Face face = library().face(st.font, st.pixels);
    float w = 0;
    for (unsigned char c : text)
        w += renderGlyph(face, c).advance;
    return w;
}

float drawText(Image& img, float x, float y, const std::string& text, const TextStyle& st)
{
    FT_Face face = library().face(st.font, st.pixels);
    if (!face)
        return 0;
    // Lay the glyphs out first, then compose only the box they cover.
    std::vector<std::pair<Glyph, int>> glyphs;
    float pen = x;
    int bx0 = 1 << 30, by0 = 1 << 30, bx1 = -(1 << 30), by1 = -(1 << 30);
    for (unsigned char c : text)
    {
        Glyph g = renderGlyph(face, c);
        const int gx = int(std::lround(pen)) + g.left, gy = int(std::lround(y)) - g.top;
        if (g.w > 0)
        {
            bx0 = std::min(bx0, gx);
            by0 = std::min(by0, gy);
            bx1 = std::max(bx1, gx + g.w);
            by1 = std::max(by1, gy + g.h);
        }
        pen += g.advance;
        glyphs.push_back({std::move(g), gx});
    }
    if (bx1 <= bx0)
        return pen - x;
    const int pad = int(std::ceil(st.edgeWidth + st.shadowOffset)) + 3;
    bx0 -= pad;
    by0 -= pad;
    bx1 += pad;
    by1 += pad;
    Image local(bx1 - bx0, by1 - by0);
    std::vector<float> mask(size_t(local.w()) * local.h(), 0.0f);
    for (const auto& gp : glyphs)
    {
        const Glyph& g = gp.first;
        const int gx = gp.second - bx0, gy = int(std::lround(y)) - g.top - by0;
        for (int yy = 0; yy < g.h; ++yy)
            for (int xx = 0; xx < g.w; ++xx)
            {
                float& m = mask[size_t(gy + yy) * local.w() + gx + xx];
                m = std::max(m, g.cover[size_t(yy) * g.w + xx]);
            }
    }
    compose(local, mask, st, y - st.pixels * 0.73f - by0, y - by0);
    img.draw(local, bx0, by0);
    return pen - x;
}

namespace
{

// One font picture: every printable byte of ASCII and Latin-1.
bool fontPicture(const std::string& file, int size, const TextStyle& st)
{
    const int cell = size / 16;
    Image img(size, size);
    FT_Face face = library().face(st.font, st.pixels);
    if (!face)
        return false;
    for (int c = 32; c < 256; ++c)
    {
        if (c >= 127 && c < 160)
            continue;
        const Glyph g = renderGlyph(face, (unsigned long)c);
        if (g.w == 0)
            continue;
        Image cellImg(cell, cell);
        std::vector<float> mask(size_t(cell) * cell, 0.0f);
        // Centre the inked part on 0.3 of the cell; baseline so caps and descenders sit centred.
        const float baseline = cell * 0.5f + st.pixels * 0.245f;
        const int gx = int(std::lround(cell * 0.3f - g.w / 2.0f));
        const int gy = int(std::lround(baseline)) - g.top;
        for (int yy = 0; yy < g.h; ++yy)
            for (int xx = 0; xx < g.w; ++xx)
            {
                const int px = gx + xx, py = gy + yy;
                if (px >= 0 && py >= 0 && px < cell && py < cell)
                    mask[size_t(py) * cell + px] = g.cover[size_t(yy) * g.w + xx];
            }
        compose(cellImg, mask, st, baseline - st.pixels * 0.73f, baseline);
        img.put(cellImg, (c % 16) * cell, (c / 16) * cell);
    }
    return img.savePng(file);
}

} // namespace

bool makeFonts(const std::string& dir)
{
    // font1: headings, numbers and the selected entry: bold, large, warm at the foot.
    TextStyle heading;
    heading.font = fontPath("DejaVuSansMono-Bold.ttf");
    heading.pixels = 27;
    heading.top = rgb(0xffffff);
    heading.bottom = rgb(0xffe6a8);
    heading.edge = rgb(0x1a0e14);
    heading.edgeWidth = 2.4f;
    heading.shadow = 0.55f;
    heading.shadowOffset = 2;
    // font2: ordinary entries and labels: the book weight, a little smaller, a thinner edge.
    TextStyle label;
    label.font = fontPath("DejaVuSansMono.ttf");
    label.pixels = 25;
    label.top = rgb(0xffffff);
    label.bottom = rgb(0xe4ecf8);
    label.edge = rgb(0x10121c);
    label.edgeWidth = 1.8f;
    label.shadow = 0.45f;
    label.shadowOffset = 2;
    // font3: message text and table rows: 24-unit cells so longer lines fit the boxes.
    TextStyle body;
    body.font = fontPath("DejaVuSansMono.ttf");
    body.pixels = 20;
    body.top = rgb(0xffffff);
    body.bottom = rgb(0xf0f0f0);
    body.edge = rgb(0x0c0c14);
    body.edgeWidth = 1.5f;
    body.shadow = 0.4f;
    body.shadowOffset = 1;
    bool ok = fontPicture(dir + "/font1.png", 512, heading);
    ok = fontPicture(dir + "/font2.png", 512, label) && ok;
    ok = fontPicture(dir + "/font3.png", 384, body) && ok;
    return ok;
}
