// Writes one picture that shows every texture of a working folder, each cut into its frame grid
// with the frame numbers written on it (frames the game never shows are greyed), for reviewing
// the art at a glance.
//
// Usage: quarrow_contact_sheet <working folder> <output png>

#include "Textures.h"

#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sys/stat.h>

using namespace art;

namespace
{

struct Grid
{
    int cols = 1, rows = 1, used = 1;
};

// The frame grids the game cuts the pictures into, and how many frames it shows.
Grid gridOf(const std::string& name)
{
    static const std::map<std::string, Grid> grids = {
        {"mole.png", {8, 8, 49}},     {"red-ant.png", {8, 8, 36}},    {"green-ant.png", {8, 8, 36}},
        {"keys.png", {8, 8, 64}},     {"diamond.png", {4, 4, 8}},     {"explosion.png", {4, 4, 7}},
        {"bomb.png", {2, 2, 4}},      {"door-yellow.png", {2, 2, 4}}, {"door-blue.png", {2, 2, 4}},
        {"door-exit.png", {2, 2, 4}}, {"font1.png", {16, 16, 256}},   {"font2.png", {16, 16, 256}},
        {"font3.png", {16, 16, 256}}, {"tileset.png", {16, 16, -1}}};
    const size_t slash = name.rfind('/');
    const auto it = grids.find(slash == std::string::npos ? name : name.substr(slash + 1));
    return it == grids.end() ? Grid{} : it->second;
}

// Tilesets use only the wall, the round wall and the sixteen sand cells.
bool frameUsed(const Grid& g, int frame)
{
    if (g.used >= 0)
        return frame < g.used;
    const int col = frame % 16, row = frame / 16;
    return (row == 0 && (col == 0 || col == 2)) || ((row == 2 || row == 4) && col % 2 == 0);
}

void listPngs(const std::string& root, const std::string& rel, std::vector<std::string>& out)
{
    DIR* d = opendir((root + "/" + rel).c_str());
    if (!d)
        return;
    std::vector<std::string> names;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.')
            names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& n : names)
    {
        const std::string path = rel.empty() ? n : rel + "/" + n;
        struct stat st;
        if (stat((root + "/" + path).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            listPngs(root, path, out);
        else if (n.size() > 4 && n.substr(n.size() - 4) == ".png")
            out.push_back(path);
    }
}

TextStyle labelStyle(float px)
{
    TextStyle st;
    st.font = fontPath("DejaVuSans-Bold.ttf");
    st.pixels = px;
    st.top = st.bottom = rgb(0xffffff);
    st.edge = rgb(0x000000);
    st.edgeWidth = 1.5f;
    st.shadow = 0;
    return st;
}

// The label over an entry: its name and its size in pixels.
std::string caption(const std::string& name, const Image& img)
{
    return name + "  " + std::to_string(img.w()) + "x" + std::to_string(img.h());
}

// ---- Mock screens: the pictures put together the way the game draws them. ----------------

struct Pictures
{
    std::string root;
    std::map<std::string, Image> cache;
    const Image& get(const std::string& name)
    {
        auto it = cache.find(name);
        if (it != cache.end())
            return it->second;
        Image img;
        loadPng(root + "/" + name, img);
        return cache[name] = img;
    }
};

// Copies a frame of a grid picture (or a sub-rectangle) scaled into the destination rectangle.
void blit(Image& dst, const Image& src, float sx0, float sy0, float sx1, float sy1, int dx0, int dy0, int dx1,
          int dy1, float alpha = 1)
{
    for (int y = std::max(0, dy0); y < std::min(dst.h(), dy1); ++y)
        for (int x = std::max(0, dx0); x < std::min(dst.w(), dx1); ++x)
        {
            const int sx = int(sx0 + (x - dx0 + 0.5f) * (sx1 - sx0) / (dx1 - dx0));
            const int sy = int(sy0 + (y - dy0 + 0.5f) * (sy1 - sy0) / (dy1 - dy0));
            if (!src.inside(sx, sy))
                continue;
            Color c = src.at(sx, sy);
            c.a *= alpha;
            dst.blend(x, y, c);
        }
}

void frameAt(Image& dst, const Image& sheet, int cols, int rows, int frame, int cx, int cy)
{
    const int fw = sheet.w() / cols, fh = sheet.h() / rows;
    const int sx = (frame % cols) * fw, sy = (frame / cols) * fh;
    blit(dst, sheet, sx, sy, sx + fw, sy + fh, cx - fw / 2, cy - fh / 2, cx + fw / 2, cy + fh / 2);
}

// Prints like the game's bitmap font: cells of 1/16, advancing by 0.6 of a cell.
void print(Image& dst, const Image& font, float x, float y, const std::string& text, float scale = 1)
{
    const float cw = font.w() / 16.0f, ch = font.h() / 16.0f;
    for (unsigned char c : text)
    {
        const float sx = (c % 16) * cw, sy = (c / 16) * ch;
        blit(dst, font, sx, sy, sx + cw, sy + ch, int(x), int(y), int(x + cw * scale), int(y + ch * scale));
        x = float(int(x + 0.6f * cw * scale));
    }
}

Image mockScreen(Pictures& pics, const std::string& tileset, bool hud)
{
    static const char* map[] = {"################", "#..++++O+++....#", "#.x+++..++.d.k.#",
                                "#++r++......++B#", "#+++.+++O+++++.#", "#.p+..1...2.+++#",
                                "#.M.......a..b.#", "#+++++.d...++++#", "#....+....g....#",
                                "####O########O##", "################", "################"};
    const int W = 16, H = 12;
    Image scr(1024, 768);
    scr.fill(rgb(0x000000));
    const int ox = hud ? 150 : 0;
    const Image& back = pics.get(tileset + "/tile-empty.png");
    const Image& tiles = pics.get(tileset + "/tileset.png");
    auto at = [&](int x, int y) { return (x < 0 || y < 0 || x >= W || y >= H) ? '#' : map[y][x]; };
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            blit(scr, back, 0, 0, back.w(), back.h(), ox + x * 64, y * 64, ox + x * 64 + 64, y * 64 + 64);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
        {
            const int cx = ox + x * 64 + 32, cy = y * 64 + 32;
            switch (at(x, y))
            {
            case 'r':
                frameAt(scr, pics.get(tileset + "/rock.png"), 1, 1, 0, cx, cy);
                break;
            case 'd':
                frameAt(scr, pics.get("diamond.png"), 4, 4, (x + y) % 8, cx, cy);
                break;
            case 'k':
                frameAt(scr, pics.get("keys.png"), 8, 8, 32, cx, cy);
                break;
            case 'B':
                frameAt(scr, pics.get("box.png"), 1, 1, 0, cx, cy);
                break;
            case 'p':
                frameAt(scr, pics.get("apple.png"), 1, 1, 0, cx, cy);
                break;
            case 'b':
                frameAt(scr, pics.get("bomb.png"), 2, 2, 0, cx, cy);
                break;
            case 'M':
                frameAt(scr, pics.get("mole.png"), 8, 8, 3, cx, cy);
                break;
            case 'a':
                frameAt(scr, pics.get("red-ant.png"), 8, 8, 2, cx, cy);
                break;
            case 'g':
                frameAt(scr, pics.get("green-ant.png"), 8, 8, 14, cx, cy);
                break;
            default:
                break;
            }
        }
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
        {
            const int cx = ox + x * 64 + 32, cy = y * 64 + 32;
            const char c = at(x, y);
            if (c == 'x')
                frameAt(scr, pics.get("door-exit.png"), 2, 2, 0, cx, cy);
            if (c == '1')
                frameAt(scr, pics.get("door-yellow.png"), 2, 2, 0, cx, cy);
            if (c == '2')
                frameAt(scr, pics.get("door-blue.png"), 2, 2, 3, cx, cy);
        }
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
        {
            const char c = at(x, y);
            float u = -1, v = 0;
            if (c == '#')
                u = 0;
            else if (c == 'O')
                u = 0.125f;
            else if (c == '+')
            {
                const int mask = (at(x, y - 1) != '+') | (at(x + 1, y) != '+') << 1 |
                                 (at(x, y + 1) != '+') << 2 | (at(x - 1, y) != '+') << 3;
                u = (mask & 7) * 0.125f;
                v = ((mask >> 3) + 1) * 0.125f;
            }
            if (u >= 0)
                blit(scr, tiles, u * tiles.w(), v * tiles.h(), (u + 0.0625f) * tiles.w(),
                     (v + 0.0625f) * tiles.h(), ox + x * 64, y * 64, ox + x * 64 + 64, y * 64 + 64);
        }
    if (!hud)
        return scr;
    const Image& light = pics.get("player-light.png");
    blit(scr, light, 0, 0, light.w(), light.h(), ox + 2 * 64 + 32 - 1000, 6 * 64 + 32 - 1000,
         ox + 2 * 64 + 32 + 1000, 6 * 64 + 32 + 1000, 0.5f);
    const Image& font1 = pics.get("font1.png");
    print(scr, font1, 180, 22, "score: 1234");
    print(scr, font1, 1004 - 0.6f * 32 * 15, 22, "level: tutorial");
    const Image& panel = pics.get("hud.png");
    blit(scr, panel, 0, 0, 0.496f * panel.w(), panel.h(), 0, 0, 254, 384);
    blit(scr, panel, 0.5f * panel.w(), 0, 0.996f * panel.w(), panel.h(), 0, 384, 254, 768);
    print(scr, font1, 95, 27, "2");
    print(scr, font1, 95, 77, "0");
    print(scr, font1, 95, 127, "13");
    // Bars: the picture's top row at y 611, squeezed into the filled height.
    const Image& apple = pics.get("hud-apple.png");
    const Image& gem = pics.get("hud-diamond.png");
    const int appleTop = int(611 - 1.825f * 140), gemTop = int(611 - 365 * 0.4f);
    for (int y = appleTop; y < 611; ++y)
        blit(scr, apple, 0, 0.9f * apple.h() * (611 - y - 1) / (611 - appleTop), 0.9f * apple.w(),
             0.9f * apple.h() * (611 - y) / (611 - appleTop), 25, y, 57, y + 1);
    for (int y = gemTop; y < 611; ++y)
        blit(scr, gem, 0, 0.9f * gem.h() * (611 - y - 1) / (611 - gemTop), 0.9f * gem.w(),
             0.9f * gem.h() * (611 - y) / (611 - gemTop), 96, y, 128, y + 1);
    return scr;
}

Image mockMenu(Pictures& pics, const std::string& tileset)
{
    Image scr = mockScreen(pics, tileset, true);
    const Image& black = pics.get("black.png");
    blit(scr, black, 0, 0, black.w(), black.h(), 0, 0, 1024, 768, 0.85f);
    const Image& bg = pics.get("menu-bg.png");
    blit(scr, bg, 0, 0, bg.w(), bg.h(), 292, 254, 732, 554);
    const Image& font1 = pics.get("font1.png");
    const Image& font2 = pics.get("font2.png");
    const Image& font3 = pics.get("font3.png");
    auto centred = [&](const Image& font, float cx, float cy, const std::string& t, float s)
    {
        const float cw = font.w() / 16.0f * s;
        print(scr, font, cx - 0.3f * t.size() * cw, cy - cw / 2, t, s);
    };
    centred(font1, 512, 245, "main menu", 1.3f);
    const char* rows[] = {"start game", "load game", "options", "highscores", "credits", "exit"};
    for (int r = 0; r < 6; ++r)
        centred(r == 1 ? font1 : font2, 512, 388 - 15 * 6 + 30 * (r + 1), rows[r], r == 1 ? 1.25f : 1.1f);
    const Image& up = pics.get("menu-more-down.png");
    blit(scr, up, 0, 0, up.w(), up.h(), 496, 508, 531, 530);
    const Image& msg = pics.get("message-bg.png");
    blit(scr, msg, 0, 0, msg.w(), msg.h(), 192, 590, 982, 760);
    centred(font3, 587, 625, "Dig through the sand with the arrow keys.", 1);
    centred(font3, 587, 655, "Collect every diamond to open the exit!", 1);
    const Image& btn = pics.get("button-bg.png");
    blit(scr, btn, 0, 0, btn.w(), btn.h(), 592 - 149, 712 - 37, 592 + 149, 712 + 37);
    centred(font1, 592, 712, "ok", 1.1f);
    return scr;
}

Image mockCredits(Pictures& pics, const std::string& workingFolder)
{
    Image scr(1024, 768);
    const Image& bg = pics.get("credits-bg.png");
    blit(scr, bg, 0, 0, bg.w(), bg.h(), 0, 0, 1024, 768);
    std::ifstream in((workingFolder + "/credits.txt").c_str());
    std::string line;
    float y = 120;
    bool heading = false;
    while (std::getline(in, line) && y < 760)
    {
        y += 35;
        if (line.empty())
        {
            heading = true;
            continue;
        }
        print(scr, pics.get(heading ? "font2.png" : "font1.png"), 430, y, line);
        heading = false;
    }
    const Image& over = pics.get("credits.png");
    blit(scr, over, 0, 0, over.w(), over.h(), 0, 0, 1024, 768);
    return scr;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s <working folder> <output png>\n", argv[0]);
        return 2;
    }
    const std::string root = std::string(argv[1]) + "/textures";
    std::vector<std::string> files;
    listPngs(root, "", files);
    const int pageW = 2200, margin = 16;
    Pictures pics{root, {}};
    std::vector<std::pair<std::string, Image>> scenes = {
        {"mock: play screen, tileset1", mockScreen(pics, "tileset1", true)},
        {"mock: menu and message over the play screen", mockMenu(pics, "tileset1")},
        {"mock: tileset2", mockScreen(pics, "tileset2", false)},
        {"mock: tileset3", mockScreen(pics, "tileset3", false)},
        {"mock: tileset4", mockScreen(pics, "tileset4", false)},
        {"mock: credits", mockCredits(pics, argv[1])}};
    // First pass lays the entries out in rows; the second draws them.
    struct Entry
    {
        std::string name;
        Image img;
        float scale;
        int x, y, w, h, iw;
    };
    std::vector<Entry> entries;
    int x = margin, y = margin, rowH = 0;
    for (size_t i = 0; i < files.size() + scenes.size(); ++i)
    {
        Entry e;
        if (i < files.size())
        {
            e.name = files[i];
            if (!loadPng(root + "/" + e.name, e.img))
            {
                std::fprintf(stderr, "contact sheet: cannot read %s\n", e.name.c_str());
                continue;
            }
        }
        else
        {
            e.name = scenes[i - files.size()].first;
            e.img = scenes[i - files.size()].second;
        }
        const std::string& f = e.name;
        const Grid g = gridOf(f);
        const int frameW = e.img.w() / g.cols;
        // Small pictures are enlarged so that a frame is at least 96 pixels wide; big ones halved.
        e.scale = e.img.w() > 900 ? 0.75f : (frameW < 96 && g.cols * 96 <= 1024 ? 96.0f / frameW : 1.0f);
        if (frameW * e.scale > 400 && g.cols == 1)
            e.scale = std::min(e.scale, 400.0f / frameW);
        // Glyph and tile cells are shown at least 48 pixels wide, room for a glyph and its label.
        if (g.cols == 16 && frameW * e.scale < 48)
            e.scale = 48.0f / frameW;
        if (i >= files.size())
            e.scale = 1;
        e.iw = int(e.img.w() * e.scale);
        e.w = std::max(e.iw, int(measureText(caption(e.name, e.img), labelStyle(18))) + 8);
        e.h = int(e.img.h() * e.scale) + 30;
        if (x + e.w + margin > pageW)
        {
            x = margin;
            y += rowH + margin;
            rowH = 0;
        }
        e.x = x;
        e.y = y;
        x += e.w + margin;
        rowH = std::max(rowH, e.h);
        entries.push_back(std::move(e));
    }
    Image page(pageW, y + rowH + margin);
    page.fill(rgb(0x202028));
    const TextStyle title = labelStyle(18), small = labelStyle(11);
    for (const Entry& e : entries)
    {
        drawText(page, e.x, e.y + 20, caption(e.name, e.img), title);
        const int top = e.y + 30;
        const Image shown = e.scale == 1.0f ? e.img : e.img.scaled(e.iw, e.h - 30);
        // Checkerboard under the picture shows its transparency.
        for (int yy = 0; yy < shown.h(); ++yy)
            for (int xx = 0; xx < shown.w(); ++xx)
                page.at(e.x + xx, top + yy) = ((xx / 8 + yy / 8) % 2) ? rgb(0x5a5a64) : rgb(0x46464e);
        page.draw(shown, e.x, top);
        const Grid g = gridOf(e.name);
        if (g.cols == 1 && g.rows == 1)
            continue;
        const float fw = float(shown.w()) / g.cols, fh = float(shown.h()) / g.rows;
        for (int fr = 0; fr < g.cols * g.rows; ++fr)
        {
            const int fx = e.x + int((fr % g.cols) * fw), fy = top + int((fr / g.cols) * fh);
            rect(page, fx, fy, fx + fw, fy + 1, rgb(0xff40ff, 0.5f));
            rect(page, fx, fy, fx + 1, fy + fh, rgb(0xff40ff, 0.5f));
            if (!frameUsed(g, fr))
                rect(page, fx + 1, fy + 1, fx + fw, fy + fh, rgb(0x000000, 0.55f));
            if (g.cols <= 8)
                drawText(page, fx + 3, fy + 12, std::to_string(fr), small);
            else if (frameUsed(g, fr))
            {
                // Two hex digits, row then column: a glyph cell's byte, a tile cell's place.
                char hex[12];
                std::snprintf(hex, sizeof hex, "%02X", fr);
                drawText(page, fx + fw - measureText(hex, small) - 2, fy + 11, hex, small);
            }
        }
    }
    if (!page.savePng(argv[2]))
        return 1;
    std::printf("contact sheet: %s (%zu pictures)\n", argv[2], entries.size());
    return 0;
}
