// Writes one picture that shows every texture of a working folder, each cut into its frame grid
// with the frame numbers written on it (frames the game never shows are greyed), for reviewing
// the art at a glance.
//
// Usage: quarrow_contact_sheet <working folder> <output png>

#include "Textures.h"

#include <cstdio>
#include <dirent.h>
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
    // First pass lays the entries out in rows; the second draws them.
    struct Entry
    {
        std::string name;
        Image img;
        float scale;
        int x, y, w, h;
    };
    std::vector<Entry> entries;
    int x = margin, y = margin, rowH = 0;
    for (const std::string& f : files)
    {
        Entry e;
        e.name = f;
        if (!loadPng(root + "/" + f, e.img))
        {
            std::fprintf(stderr, "contact sheet: cannot read %s\n", f.c_str());
            continue;
        }
        const Grid g = gridOf(f);
        const int frameW = e.img.w() / g.cols;
        // Small pictures are enlarged so that a frame is at least 96 pixels wide; big ones halved.
        e.scale = e.img.w() > 900 ? 0.75f : (frameW < 96 && g.cols * 96 <= 1024 ? 96.0f / frameW : 1.0f);
        if (frameW * e.scale > 400 && g.cols == 1)
            e.scale = std::min(e.scale, 400.0f / frameW);
        e.w = int(e.img.w() * e.scale);
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
        drawText(page, e.x, e.y + 20,
                 e.name + "  " + std::to_string(e.img.w()) + "x" + std::to_string(e.img.h()), title);
        const int top = e.y + 30;
        const Image shown = e.scale == 1.0f ? e.img : e.img.scaled(e.w, e.h - 30);
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
        }
    }
    if (!page.savePng(argv[2]))
        return 1;
    std::printf("contact sheet: %s (%zu pictures)\n", argv[2], entries.size());
    return 0;
}
