#include "HashManager.h"
#include "Core.h"
#include "Crypt.h"
#include "Game.h"
#include "Harness.h"
#include "Level.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

const char* const smallLevel = "5 5\ntileset1\nlevel.ogg\n#####\n#p.x#\n#...#\n#...#\n#####\n0\n";

std::map<std::string, std::string> twoLevels()
{
    return {{"levels.ini", "levels/easy/one.txt\nlevels/easy/two.txt\n"},
            {"levels/easy/one.txt", smallLevel},
            {"levels/easy/two.txt", smallLevel}};
}

std::string lowerCase(std::string text)
{
    for (char& c : text)
    {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// What the log gained while body ran.
template <typename F> std::string logAddedBy(const Harness& harness, F body)
{
    const size_t before = harness.logText().size();
    body();
    return harness.logText().substr(before);
}

} // namespace

TEST(HashManager, SeedIsCopiedOnlyWhenTheApplicationDataCopyIsMissingOrEmpty)
{
    const std::string dir = makeWorkDir(twoLevels());
    const std::string seed = readFile(dir + "/hashes.ini");
    Harness harness(dir);
    ASSERT_EQ(harness.initResult(), 0);
    const std::string copy = harness.appData() + "hashes.ini";
    EXPECT_EQ(readFile(copy), seed);
    EXPECT_TRUE(Core::isRunning());
    EXPECT_EQ(harness.logText().find("HashManager: levels.ini"), std::string::npos);

    // A changed seed does not refresh an existing copy...
    writeFile(dir + "/hashes.ini", "0123\tlevels.ini\n");
    {
        HashManager again;
        EXPECT_TRUE(again.check("levels.ini"));
    }
    // ...but a deleted copy, or an empty one (it guards nothing), is made again from it.
    for (const bool deleted : {true, false})
    {
        if (deleted)
        {
            ASSERT_EQ(unlink(copy.c_str()), 0);
        }
        else
        {
            writeFile(copy, "");
        }
        HashManager fresh;
        EXPECT_EQ(readFile(copy), "0123\tlevels.ini\n");
        EXPECT_EQ(logAddedBy(harness, [&] { EXPECT_FALSE(fresh.check("levels.ini")); }),
                  "HashManager: levels.ini is corrupted\nCore: quit signal\n\n");
    }
    EXPECT_EQ(access((copy + ".tmp").c_str(), F_OK), -1);
}

namespace
{

struct MissingSeed
{
    const char* name;
    bool folder; // hashes.ini is a folder; else a file with these bytes, or none (nullptr)
    const char* seed;
    const char* why;
};

void PrintTo(const MissingSeed& c, std::ostream* os)
{
    *os << c.name;
}

class HashManagerSeed : public ::testing::TestWithParam<MissingSeed>
{
};

} // namespace

// Started from a folder without the game's data: the start stops and says where it looked, and
// writes no copy, so a later start from the right folder seeds it as on a first start.
TEST_P(HashManagerSeed, WorkingFolderWithoutATableStopsTheStartAndLeavesNoCopy)
{
    const MissingSeed& c = GetParam();
    const std::string dir = makeWorkDir(twoLevels());
    ASSERT_EQ(unlink((dir + "/hashes.ini").c_str()), 0);
    if (c.folder)
    {
        ASSERT_EQ(mkdir((dir + "/hashes.ini").c_str(), 0755), 0);
    }
    else if (c.seed != nullptr)
    {
        writeFile(dir + "/hashes.ini", c.seed);
    }
    char real[PATH_MAX];
    ASSERT_NE(realpath(dir.c_str(), real), nullptr);

    Harness harness(dir);
    EXPECT_EQ(harness.initResult(), -1);
    EXPECT_NE(harness.logText().find("HashManager: init\nInit error: HashManager: no game data in " +
                                     std::string(real) + " (hashes.ini: " + c.why +
                                     "), start the game from the folder that holds its data\n"),
              std::string::npos)
        << harness.logText();
    EXPECT_EQ(access((harness.appData() + "hashes.ini").c_str(), F_OK), -1);
    EXPECT_EQ(access((harness.appData() + "hashes.ini.tmp").c_str(), F_OK), -1);
}

INSTANTIATE_TEST_SUITE_P(HashManager, HashManagerSeed,
                         ::testing::Values(MissingSeed{"None", false, nullptr, "No such file or directory"},
                                           MissingSeed{"Empty", false, "", "is empty"},
                                           MissingSeed{"Folder", true, nullptr, "is a folder"}),
                         [](const ::testing::TestParamInfo<MissingSeed>& info)
                         { return std::string(info.param.name); });

TEST(HashManager, ReadsEachLineAsHashTabFileName)
{
    std::map<std::string, std::string> files = twoLevels();
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt", "f.txt", "h.txt"})
    {
        files[name] = std::string("contents of ") + name + "\r\n";
    }
    std::string dir = makeWorkDir(files);
    const auto hashOf = [&](const std::string& name) { return Crypt::md5File(dir + "/" + name); };
    std::string seed = readFile(dir + "/hashes.ini");
    seed += "0123\ta.txt\n" + hashOf("a.txt") + "\ta.txt\n";              // a later line wins
    seed += hashOf("b.txt") + "\tb.txt\n0123\tb.txt\n";                   // in both directions
    seed += lowerCase(hashOf("c.txt")) + "\tc.txt\n\n";                   // case matters; an empty line
    seed += "\td.txt\n";                                                  // an empty hash matches nothing
    seed += "\tk.txt\n";                                                  // not even a file without a hash
    seed += hashOf("e.txt") + " e.txt\n";                                 // no tab: not an entry
    seed += hashOf("f.txt") + "\tf.txt\r\n";                              // CR LF line end
    seed += hashOf("a.txt") + "\tg.txt\n";                                // listed but missing
    seed += std::string(500, 'Z') + "\n" + hashOf("h.txt") + "\th.txt\n"; // a long line is skipped alone
    writeFile(dir + "/hashes.ini", seed);
    ASSERT_EQ(mkdir((dir + "/k.txt").c_str(), 0755), 0);

    Harness harness(dir);
    ASSERT_EQ(harness.initResult(), 0);
    EXPECT_NE(harness.logText().find("HashManager: a line longer than 399 characters in " +
                                     harness.appData() + "hashes.ini skipped\n"),
              std::string::npos);
    HashManager checker;
    const struct
    {
        const char* file;
        const char* log; // nullptr: the check passes silently
    } cases[] = {
        {"levels.ini", nullptr},   {"a.txt", nullptr},        {"b.txt", "is corrupted"},
        {"c.txt", "is corrupted"}, {"d.txt", "is corrupted"}, {"e.txt", "not found in hashes.ini"},
        {"f.txt", nullptr},        {"g.txt", "is corrupted"}, {"h.txt", nullptr},
        {"k.txt", "is corrupted"},
    };
    for (const auto& c : cases)
    {
        bool passed = false;
        const std::string added = logAddedBy(harness, [&] { passed = checker.check(c.file); });
        if (c.log == nullptr)
        {
            EXPECT_TRUE(passed) << c.file;
            EXPECT_EQ(added, "") << c.file;
        }
        else
        {
            EXPECT_FALSE(passed) << c.file;
            EXPECT_EQ(added, "HashManager: " + std::string(c.file) + " " + c.log + "\nCore: quit signal\n\n")
                << c.file;
        }
    }
}

// The length test sees the line as it was read: a NUL early in a long line does not make it short.
// Each long line is skipped in step with the lines, so nothing after it is lost from the table and
// from its next rewrite.
TEST(HashManager, LongLinesAreSkippedAndTheRestIsRead)
{
    std::map<std::string, std::string> files = twoLevels();
    files["a.txt"] = "a\n";
    files["h.txt"] = "h\n";
    files["m.txt"] = "m\n";
    const std::string dir = makeWorkDir(files);
    const auto hashOf = [&](const std::string& name) { return Crypt::md5File(dir + "/" + name); };
    std::string seed = readFile(dir + "/hashes.ini");
    seed += hashOf("a.txt") + "\ta.txt" + std::string(1, '\0') + std::string(450, 'Z') + "\n";
    seed += hashOf("h.txt") + "\t" + std::string(5000, 'h') + "\n";
    seed += hashOf("h.txt") + "\th.txt\n";
    writeFile(dir + "/hashes.ini", seed);

    Harness harness(dir);
    ASSERT_EQ(harness.initResult(), 0);
    EXPECT_NE(harness.logText().find("HashManager: 2 lines longer than 399 characters in " +
                                     harness.appData() + "hashes.ini skipped\n"),
              std::string::npos)
        << harness.logText();
    HashManager checker;
    EXPECT_EQ(logAddedBy(harness, [&] { EXPECT_FALSE(checker.check("a.txt")); }),
              "HashManager: a.txt not found in hashes.ini\nCore: quit signal\n\n");
    EXPECT_TRUE(checker.check("h.txt"));
    EXPECT_TRUE(checker.check("levels/easy/two.txt"));

    // What the rewrite keeps is every line that was read, and each fits the reader.
    EXPECT_TRUE(checker.updateHash("m.txt"));
    const std::string table = readFile(harness.appData() + "hashes.ini");
    EXPECT_NE(table.find(hashOf("h.txt") + "\th.txt\n"), std::string::npos) << table;
    EXPECT_NE(table.find(hashOf("levels/easy/two.txt") + "\tlevels/easy/two.txt\n"), std::string::npos)
        << table;
    EXPECT_EQ(table.find("ZZZ"), std::string::npos);
    EXPECT_EQ(table.find("hhhh"), std::string::npos);
}

TEST(HashManager, UpdateRewritesTheWholeTableSortedByFileName)
{
    std::map<std::string, std::string> files = twoLevels();
    files["m.txt"] = "new\n";
    const std::string dir = makeWorkDir(files);
    const std::string seed = readFile(dir + "/hashes.ini");
    writeFile(dir + "/hashes.ini", "H1\tzeta.txt\n" + seed + "H2\tabc.txt\nH3\tB.txt\nH4\tab.txt\n");
    Harness harness(dir);
    ASSERT_EQ(harness.initResult(), 0);

    HashManager checker;
    checker.updateHash("m.txt");
    const auto line = [&](const std::string& name)
    { return Crypt::md5File(dir + "/" + name) + "\t" + name + "\n"; };
    EXPECT_EQ(readFile(harness.appData() + "hashes.ini"),
              "H3\tB.txt\nH4\tab.txt\nH2\tabc.txt\n" + line("levels.ini") + line("levels/easy/one.txt") +
                  line("levels/easy/two.txt") + line("m.txt") + "H1\tzeta.txt\n");
    EXPECT_EQ(access((harness.appData() + "hashes.ini.tmp").c_str(), F_OK), -1);
    EXPECT_TRUE(checker.check("m.txt"));
    EXPECT_TRUE(Core::isRunning());
}

TEST(HashManager, CorruptedLevelIsStillLoadedAndEndsTheProgramAfterwards)
{
    const std::string dir = makeWorkDir(twoLevels());
    Harness harness(dir);
    ASSERT_EQ(harness.initResult(), 0);
    harness.step();
    writeFile(dir + "/levels/easy/two.txt", std::string(smallLevel) + "changed\n");

    const std::string added = logAddedBy(harness, [] { Core::getGame()->initLevel(1); });
    const size_t corrupted = added.find("HashManager: levels/easy/two.txt is corrupted\nCore: quit signal\n");
    ASSERT_NE(corrupted, std::string::npos) << added;
    EXPECT_NE(added.find("Level: levels/easy/two.txt loaded", corrupted), std::string::npos) << added;
    EXPECT_EQ(Core::getGame()->getLevel()->getCurrentLevel(), 1);
    EXPECT_FALSE(Core::isRunning());
}

TEST(HashManager, BinaryTableListsNothingUsable)
{
    std::map<std::string, std::string> files = twoLevels();
    files["hashes.ini"] = std::string("\x00\t\xff\r\r\n\x01\x02\tlevels.ini\x00xyz\n\t\t\n", 27);
    Harness harness(makeWorkDir(files));
    EXPECT_EQ(harness.initResult(), 0);
    EXPECT_NE(harness.logText().find("HashManager: levels.ini is corrupted"), std::string::npos);
    EXPECT_FALSE(Core::isRunning());
}

// A profile is listed by its file name alone: a file of that name anywhere but in the application-
// data folder is never checked against the profile's hash, and never listed under it. Nor is a
// file whose line would be longer than the reader takes.
TEST(HashManager, FilesTheTableCannotListAreRefused)
{
    const std::string contents = "0\n0\n0\n";
    const std::string deep = std::string(200, 'd') + "/" + std::string(170, 'f');
    std::map<std::string, std::string> files = twoLevels();
    files["user_kim.ini"] = contents;
    files[deep] = contents;
    const std::string dir = makeWorkDir(files);
    Harness harness(dir);
    ASSERT_EQ(harness.initResult(), 0);
    const std::string profile = harness.appData() + "user_kim.ini";
    writeFile(profile, contents);
    HashManager checker;
    ASSERT_TRUE(checker.updateHash(profile));
    ASSERT_TRUE(checker.check(profile));
    const std::string table = readFile(harness.appData() + "hashes.ini");

    const struct
    {
        std::string file;
        std::string why;
    } cases[] = {
        {"user_kim.ini", "a profile's name outside " + harness.appData()},
        {"./user_kim.ini", "a profile's name outside " + harness.appData()},
        {dir + "/user_kim.ini", "a profile's name outside " + harness.appData()},
        {deep, "longer than 366 characters"},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(logAddedBy(harness, [&] { EXPECT_FALSE(checker.check(c.file)); }),
                  "HashManager: " + c.file + " not found in hashes.ini\nCore: quit signal\n\n");
        EXPECT_EQ(logAddedBy(harness, [&] { EXPECT_FALSE(checker.updateHash(c.file)); }),
                  "HashManager: Can't list " + c.file + " in hashes.ini: " + c.why + "\n");
    }
    EXPECT_EQ(readFile(harness.appData() + "hashes.ini"), table);
    EXPECT_TRUE(checker.check(profile));
}
