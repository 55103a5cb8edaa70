// Writes one family of the game's pictures into a textures folder.
//
// Usage: quarrow_gen_textures <textures folder> sprites|tiles|interface|fonts

#include "Textures.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s <textures folder> sprites|tiles|interface|fonts\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    mkdir(dir.c_str(), 0755);
    bool ok = false;
    if (std::strcmp(argv[2], "sprites") == 0)
        ok = makeSprites(dir);
    else if (std::strcmp(argv[2], "tiles") == 0)
        ok = makeTiles(dir);
    else if (std::strcmp(argv[2], "interface") == 0)
        ok = makeInterface(dir);
    else if (std::strcmp(argv[2], "fonts") == 0)
        ok = makeFonts(dir);
    else
        std::fprintf(stderr, "unknown family %s\n", argv[2]);
    return ok ? 0 : 1;
}
