#include "Crypt.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

// The build's working folder guards levels.ini and every level it lists with the game's own hash.
TEST(HashSeed, BuildDataPassesItsOwnChecks)
{
    const std::string folder = std::string(QUARROW_DATA_DIR) + "/";
    std::map<std::string, std::string> table;
    std::istringstream seed(readFile(folder + "hashes.ini"));
    std::string line;
    while (std::getline(seed, line))
    {
        const size_t tab = line.find('\t');
        ASSERT_EQ(tab, 32u) << line;
        EXPECT_EQ(line.find_first_not_of("0123456789ABCDEF"), 32u) << line;
        table[line.substr(tab + 1)] = line.substr(0, tab);
    }

    std::vector<std::string> guarded = {"levels.ini"};
    std::ifstream list((folder + "levels.ini").c_str());
    ASSERT_TRUE(list.is_open());
    std::string word;
    while (list >> word)
    {
        if (word.size() > 2)
        {
            guarded.push_back(word);
        }
    }
    EXPECT_GT(guarded.size(), 1u);
    for (const std::string& name : guarded)
    {
        ASSERT_EQ(table.count(name), 1u) << name;
        EXPECT_EQ(table[name], Crypt::md5File(folder + name)) << name;
        std::ifstream file((folder + name).c_str());
        EXPECT_TRUE(file.is_open()) << name;
    }
    EXPECT_EQ(table.size(), std::set<std::string>(guarded.begin(), guarded.end()).size());
}
