#include "HashFixture.h"

#include "Crypt.h"

#include <fstream>
#include <map>

void writeHashes(const std::string& workDir)
{
    const std::string folder = workDir + "/";
    std::map<std::string, std::string> table;
    table["levels.ini"] = Crypt::md5File(folder + "levels.ini");
    std::ifstream list((folder + "levels.ini").c_str());
    std::string word;
    while (list >> word)
    {
        if (word.size() > 2)
        {
            table[word] = Crypt::md5File(folder + word);
        }
    }
    std::ofstream out((folder + "hashes.ini").c_str(), std::ios::out | std::ios::trunc);
    for (std::map<std::string, std::string>::const_iterator it = table.begin(); it != table.end(); ++it)
    {
        out << it->second << '\t' << it->first << '\n';
    }
}
