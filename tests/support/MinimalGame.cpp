#include "MinimalGame.h"

#include "Harness.h"

std::string makeMinimalGameDir()
{
    const char* level = "7 5\n"
                        "tileset1\n"
                        "Title_Music.ogg\n"
                        "#######\n"
                        "#p+b.x#\n"
                        "#.+r+.#\n"
                        "#..B..#\n"
                        "#######\n"
                        "0\n";
    return makeWorkDir({{"levels.ini", "levels/tutorial/first.txt\n"},
                        {"levels/tutorial/first.txt", level},
                        {"credits.txt", "Quarrow\n"}});
}
