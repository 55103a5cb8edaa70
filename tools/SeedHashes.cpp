// Writes the working folder's seed "hashes.ini": the salted hash of "levels.ini" and of every
// level file it lists, computed by the game's own Crypt::md5File.
//
// Usage: quarrow_seed_hashes <working folder>

#include "Crypt.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s <working folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";

    // Keys are the names the game checks: "levels.ini" and each path exactly as listed.
    std::map<std::string, std::string> table;
    table["levels.ini"] = Crypt::md5File(folder + "levels.ini");
    std::ifstream list((folder + "levels.ini").c_str());
    if (!list.is_open())
    {
        std::fprintf(stderr, "seed hashes: no %slevels.ini\n", folder.c_str());
    }
    std::string word;
    while (list >> word)
    {
        if (word.size() > 2)
        {
            std::ifstream level((folder + word).c_str());
            if (!level.is_open())
            {
                // Left out, so the game reports it instead of loading a level that is not there.
                std::fprintf(stderr, "seed hashes: warning: %s is listed but missing\n", word.c_str());
                continue;
            }
            table[word] = Crypt::md5File(folder + word);
        }
    }

    const std::string path = folder + "hashes.ini";
    std::ofstream out(path.c_str(), std::ios::out | std::ios::trunc);
    for (std::map<std::string, std::string>::const_iterator it = table.begin(); it != table.end(); ++it)
    {
        out << it->second << '\t' << it->first << '\n';
    }
    out.close();
    if (out.fail())
    {
        std::fprintf(stderr, "seed hashes: can't write %s\n", path.c_str());
        return 1;
    }
    return 0;
}
