#include "UserManager.h"
#include "Core.h"
#include "Crypt.h"
#include "Exception.h"
#include "FileTransaction.h"
#include "Game.h"
#include "Harness.h"
#include "HashManager.h"
#include "MenuTestSupport.h"
#include "NonPlainFiles.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace
{

// A working folder whose "levels.ini" lists count small levels.
std::string workDirWithLevels(int count)
{
    std::map<std::string, std::string> files;
    std::string list;
    for (int i = 0; i < count; i++)
    {
        const std::string name = "levels/easy/level" + std::to_string(i) + ".txt";
        list += name + "\n";
        files[name] = "5 5\ntileset1\nlevel.ogg\n#####\n#p.x#\n#...#\n#...#\n#####\n0\n";
    }
    files["levels.ini"] = list;
    return makeWorkDir(files);
}

UserManager* profiles()
{
    return Core::getGame()->getUserManager();
}

// A profile's line in "hashes.ini": the profile is listed by its file name.
std::string hashesLineOf(const std::string& folder, const std::string& name)
{
    return Crypt::md5File(folder + name) + "\t" + name + "\n";
}

} // namespace

TEST(UserManager, FirstStartCreatesAnEmptyUsersFile)
{
    Harness harness(workDirWithLevels(3));
    ASSERT_EQ(harness.initResult(), 0);
    const std::string path = harness.appData() + "users.ini";
    EXPECT_NE(harness.logText().find("UserManager: init\nUserManager: " + path +
                                     " not exists, trying to create\n" + "UserManager: " + path +
                                     " created\n"),
              std::string::npos);
    EXPECT_EQ(access(path.c_str(), F_OK), 0);
    EXPECT_EQ(readFile(path), "");
    EXPECT_EQ(profiles()->getUserCount(), 0);
    EXPECT_EQ(profiles()->firstUserName(), "");
    EXPECT_EQ(profiles()->getUserName(), "");
}

TEST(UserManager, NamesAreWordsOfUsersIniAndNewOnesAreAppended)
{
    Harness harness(workDirWithLevels(3));
    ASSERT_EQ(harness.initResult(), 0);
    writeFile(harness.appData() + "users.ini", "Ann Bob\r\nCid\r\n");
    UserManager users;
    EXPECT_EQ(users.getUserCount(), 3);
    EXPECT_EQ(users.firstUserName(), "Ann");
    EXPECT_EQ(users.nextUserName(), "Bob");
    EXPECT_EQ(users.nextUserName(), "Cid");
    EXPECT_EQ(users.nextUserName(), "");

    users.createUser("Dan");
    EXPECT_EQ(readFile(harness.appData() + "users.ini"), "Ann\nBob\nCid\nDan\n");
    const std::string profile = harness.appData() + "user_Dan.ini";
    EXPECT_EQ(readFile(profile), "0\n0\n0\n0\n");
    EXPECT_NE(
        readFile(harness.appData() + "hashes.ini").find(hashesLineOf(harness.appData(), "user_Dan.ini")),
        std::string::npos);
    EXPECT_EQ(users.getUserName(), "");

    users.loadUser("Dan");
    EXPECT_TRUE(Core::isRunning());
    EXPECT_EQ(users.getUserName(), "Dan");
    EXPECT_EQ(users.getReachedLevel(), 0);
    EXPECT_EQ(users.getTotalScore(-1), 0);
}

TEST(UserManager, CreatingAListedNameResetsOnlyItsProfile)
{
    Harness harness(workDirWithLevels(3));
    ASSERT_EQ(harness.initResult(), 0);
    UserManager* users = profiles();
    users->createUser("Bob");
    users->loadUser("Bob");
    users->setScore(1, 50);
    users->setReachedLevel(2);
    users->saveUser();
    const std::string profile = harness.appData() + "user_Bob.ini";
    EXPECT_EQ(readFile(profile), "2\n0\n50\n0\n");
    const std::string names = readFile(harness.appData() + "users.ini");

    users->createUser("Bob");
    EXPECT_EQ(readFile(profile), "0\n0\n0\n0\n");
    EXPECT_EQ(readFile(harness.appData() + "users.ini"), names);
    EXPECT_EQ(users->getUserCount(), 1);
    EXPECT_EQ(users->getScore(1), 50); // memory stays until the next load
    users->loadUser("Bob");
    EXPECT_TRUE(Core::isRunning());
    EXPECT_EQ(users->getScore(1), 0);
}

TEST(UserManager, HandEditedProfileEndsTheProgramOnItsNextLoad)
{
    Harness harness(workDirWithLevels(3));
    ASSERT_EQ(harness.initResult(), 0);
    UserManager* users = profiles();
    users->createUser("Ann");
    users->loadUser("Ann");
    users->setScore(0, 10);
    users->saveUser();
    const std::string profile = harness.appData() + "user_Ann.ini";
    writeFile(profile, "2\n999\n0\n0\n");

    users->loadUser("Ann");
    EXPECT_NE(harness.logText().find("HashManager: " + profile + " is corrupted\nCore: quit signal\n"),
              std::string::npos);
    EXPECT_FALSE(Core::isRunning());
    EXPECT_EQ(users->getScore(0), 10);
    EXPECT_EQ(users->getReachedLevel(), 0);
}

namespace
{

// Loads a profile written for a list of 10 levels (reached level 9, scores 1 to 10).
void loadTenLevelProfile(const Harness& harness)
{
    const std::string profile = harness.appData() + "user_Eve.ini";
    writeFile(profile, "9\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n");
    Core::getGame()->getHashManager()->updateHash(profile);
    profiles()->loadUser("Eve");
    ASSERT_TRUE(Core::isRunning());
    ASSERT_EQ(profiles()->getUserName(), "Eve");
}

} // namespace

TEST(UserManager, TenLevelProfileLoadedWithTwelveLevels)
{
    Harness harness(workDirWithLevels(12));
    ASSERT_EQ(harness.initResult(), 0);
    loadTenLevelProfile(harness);
    UserManager* users = profiles();
    EXPECT_EQ(users->getReachedLevel(), 9);
    EXPECT_EQ(users->getScore(9), 10);
    EXPECT_EQ(users->getScore(10), 0);
    EXPECT_EQ(users->getScore(11), 0);
    users->saveUser();
    EXPECT_EQ(readFile(harness.appData() + "user_Eve.ini"), "9\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n0\n0\n");
}

TEST(UserManager, TenLevelProfileLoadedWithEightLevels)
{
    Harness harness(workDirWithLevels(8));
    ASSERT_EQ(harness.initResult(), 0);
    loadTenLevelProfile(harness);
    UserManager* users = profiles();
    EXPECT_EQ(users->getScore(7), 8);
    EXPECT_EQ(users->getTotalScore(-1), 36);
    // Level 9 is not in this list: the last one is the furthest a player can start.
    EXPECT_EQ(users->getReachedLevel(), 7);
    users->saveUser();
    EXPECT_EQ(readFile(harness.appData() + "user_Eve.ini"), "7\n1\n2\n3\n4\n5\n6\n7\n8\n");
}

TEST(UserManager, TotalScoreLeavesOutOneLevelAndReachedLevelIsBounded)
{
    Harness harness(workDirWithLevels(4));
    ASSERT_EQ(harness.initResult(), 0);
    UserManager* users = profiles();
    for (int i = 0; i < 4; i++)
    {
        users->setScore(i, 10 * (i + 1));
    }
    EXPECT_EQ(users->getTotalScore(2), 70);
    EXPECT_EQ(users->getTotalScore(7), 100);
    users->setReachedLevel(3);
    EXPECT_EQ(users->getReachedLevel(), 3);
    users->setReachedLevel(4);
    EXPECT_EQ(users->getReachedLevel(), 0);
}

TEST(UserManager, LetterCaseMakesTwoPlayers)
{
    Harness harness(workDirWithLevels(2));
    ASSERT_EQ(harness.initResult(), 0);
    UserManager* users = profiles();
    users->createUser("bob");
    users->createUser("Bob");
    EXPECT_EQ(readFile(harness.appData() + "users.ini"), "bob\nBob\n");
    users->loadUser("bob");
    users->setScore(0, 5);
    users->saveUser();
    users->loadUser("Bob");
    EXPECT_EQ(users->getScore(0), 0);
    users->loadUser("bob");
    EXPECT_EQ(users->getScore(0), 5);
    EXPECT_TRUE(Core::isRunning());
}

TEST(UserManager, FailedWriteLeavesTheOldProfileReadable)
{
    Harness harness(workDirWithLevels(3));
    ASSERT_EQ(harness.initResult(), 0);
    UserManager* users = profiles();
    users->createUser("Ann");
    users->loadUser("Ann");
    users->setScore(0, 10);
    users->saveUser();
    const std::string profile = harness.appData() + "user_Ann.ini";
    // The new profile is written beside the old one first; make that impossible.
    ASSERT_EQ(mkdir(FileTransaction::stagedPath(profile).c_str(), 0755), 0);

    users->setScore(0, 99);
    std::string message;
    try
    {
        users->saveUser();
    }
    catch (Exception* e)
    {
        message = e->getMessage();
        delete e;
    }
    EXPECT_EQ(message, "UserManager: Can't open " + profile + " for write");
    EXPECT_EQ(readFile(profile), "0\n10\n0\n0\n");
    users->loadUser("Ann");
    EXPECT_TRUE(Core::isRunning());
    EXPECT_EQ(users->getScore(0), 10);

    // Completing a level saves the profile: the failure is logged and play goes on.
    Game* game = Core::getGame();
    game->initLevel(0);
    game->setState(2, true);
    harness.step();
    game->levelCompleted();
    EXPECT_NE(harness.logText().find("UserManager: Can't open " + profile + " for write"), std::string::npos);
    EXPECT_EQ(game->getState(), 4);
    EXPECT_EQ(readFile(profile), "0\n10\n0\n0\n");
    harness.step(3);
    EXPECT_TRUE(Core::isRunning());
}

// The profile and its hash are one save: when the table cannot be written, neither is the profile,
// the new name is not listed, and the caller hears of it.
TEST(UserManager, SaveWhoseHashCannotBeWrittenChangesNothing)
{
    Harness harness(workDirWithLevels(3));
    ASSERT_EQ(harness.initResult(), 0);
    UserManager* users = profiles();
    users->createUser("Ann");
    users->loadUser("Ann");
    users->setScore(0, 10);
    users->saveUser();
    const std::string hashes = harness.appData() + "hashes.ini";
    const std::string table = readFile(hashes);
    // The new table is written beside the old one first; make that impossible.
    ASSERT_EQ(mkdir(FileTransaction::stagedPath(hashes).c_str(), 0755), 0);

    const struct
    {
        const char* what;
        const char* profile;
        void (*save)(UserManager*);
    } cases[] = {
        {"new player", "user_Bob.ini", [](UserManager* u) { u->createUser("Bob"); }},
        {"level save", "user_Ann.ini",
         [](UserManager* u)
         {
             u->setScore(0, 99);
             u->saveUser();
         }},
    };
    for (const auto& c : cases)
    {
        std::string message;
        try
        {
            c.save(users);
        }
        catch (Exception* e)
        {
            message = e->getMessage();
            delete e;
        }
        EXPECT_EQ(message.rfind("UserManager: Can't save " + harness.appData() + c.profile + ": ", 0), 0u)
            << c.what << ": " << message;
        EXPECT_EQ(readFile(hashes), table) << c.what;
        EXPECT_EQ(readFile(harness.appData() + "users.ini"), "Ann\n") << c.what;
        EXPECT_EQ(readFile(harness.appData() + "user_Ann.ini"), "0\n10\n0\n0\n") << c.what;
        EXPECT_EQ(access((harness.appData() + "user_Bob.ini").c_str(), F_OK), -1) << c.what;
        EXPECT_EQ(users->getUserCount(), 1) << c.what;
        EXPECT_FALSE(users->userExists("Bob")) << c.what;
    }
    users->loadUser("Ann");
    EXPECT_TRUE(Core::isRunning());
    EXPECT_EQ(users->getScore(0), 10);
}

TEST(UserManager, ProfileThatCannotBeCreatedFromTheMenuKeepsTheGameRunning)
{
    Harness harness(makeWorkDir(menuLevelFiles()));
    ASSERT_EQ(harness.initResult(), 0);
    const std::string profile = harness.appData() + "user_ann.ini";
    ASSERT_EQ(mkdir(FileTransaction::stagedPath(profile).c_str(), 0755), 0);

    createProfile(harness, "ann");
    EXPECT_NE(harness.logText().find("UserManager: Can't open " + profile + " for write"), std::string::npos);
    EXPECT_EQ(access(profile.c_str(), F_OK), -1);
    EXPECT_EQ(profiles()->getUserCount(), 0);
    harness.step(3);
    EXPECT_TRUE(Core::isRunning());
}

TEST(UserManager, ProfileThatCannotBeReadFromTheLoadPageKeepsTheGameRunning)
{
    Harness harness(makeWorkDir(menuLevelFiles()));
    ASSERT_EQ(harness.initResult(), 0);
    UserManager* users = profiles();
    users->createUser("ann");
    menu()->buildLoadMenu();
    // Listed with the hash a missing file has: the check passes and the read fails.
    const std::string profile = harness.appData() + "user_ann.ini";
    ASSERT_EQ(unlink(profile.c_str()), 0);
    Core::getGame()->getHashManager()->updateHash(profile);

    key(harness, SDLK_DOWN);
    key(harness, SDLK_RETURN); // "load game"
    ASSERT_EQ(pageId(), "load");
    key(harness, SDLK_RETURN); // "ann"
    EXPECT_NE(harness.logText().find("Menu: UserManager: Can't open " + profile + " for read\n"),
              std::string::npos);
    EXPECT_EQ(menu()->getNotice(), "can't read the profile");
    EXPECT_EQ(pageId(), "load");
    EXPECT_EQ(users->getUserName(), "");
    EXPECT_EQ(Core::getGame()->getState(), 1);
    EXPECT_FALSE(Core::getGame()->isLevelStarted());
    harness.step(3);
    EXPECT_TRUE(Core::isRunning());
}

TEST(UserManager, DamagedProfilesWithMatchingHashesReadWhatTheyCan)
{
    Harness harness(workDirWithLevels(3));
    ASSERT_EQ(harness.initResult(), 0);
    UserManager* users = profiles();
    const std::string profile = harness.appData() + "user_Zed.ini";
    const struct
    {
        std::string contents;
        int32_t reached;
        int32_t scores[3];
    } cases[] = {
        {"", 0, {0, 0, 0}},
        {"2\n", 2, {0, 0, 0}},
        {"1\n5\nzz\n7\n", 1, {5, 0, 0}},
        {"99999999999999999999\n4\n", 0, {0, 0, 0}},
        {"-3\n-1\n", 0, {-1, 0, 0}},
        {std::string("\x00\xff\x01\n\r\n", 6), 0, {0, 0, 0}},
        {"1\r\n2\r\n3\r\n4\r\n5\r\n", 1, {2, 3, 4}},
    };
    for (const auto& c : cases)
    {
        users->setReachedLevel(0);
        writeFile(profile, c.contents);
        Core::getGame()->getHashManager()->updateHash(profile);
        users->loadUser("Zed");
        ASSERT_TRUE(Core::isRunning());
        EXPECT_EQ(users->getReachedLevel(), c.reached) << c.contents;
        for (int i = 0; i < 3; i++)
        {
            EXPECT_EQ(users->getScore(i), c.scores[i]) << c.contents << " level " << i;
        }
    }
    EXPECT_EQ(users->getScore(3), 0); // outside the list
    EXPECT_EQ(users->getScore(-1), 0);
}

namespace
{

// A data home whose "vormel/Quarrow/" folder path is 4000 characters long, made of folders of
// 200 characters: every file the game keeps there still has a path within PATH_MAX.
std::string deepDataHome()
{
    const size_t folderLength = 4000;
    const size_t suffix = std::string("/vormel/Quarrow/").size();
    std::string home = makeTempDir("quarrow-deep");
    while (home.size() + suffix < folderLength)
    {
        const size_t room = folderLength - suffix - home.size() - 1;
        home += "/" + std::string(std::min<size_t>(room, 199), 'd');
        EXPECT_EQ(mkdir(home.c_str(), 0755), 0) << home.size();
    }
    return home;
}

// Every line of a table file is one the game's reader takes.
void expectLinesFitTheReader(const std::string& table)
{
    for (size_t start = 0, end = 0; start < table.size(); start = end + 1)
    {
        end = table.find('\n', start);
        EXPECT_LE((end == std::string::npos ? table.size() : end) - start, 399u);
    }
}

struct FolderSpelling
{
    const char* name;
    std::string (*saved)();                          // the data home the profile is saved under
    std::string (*reached)(const std::string& home); // the same folder, as the next start reaches it
};

void PrintTo(const FolderSpelling& c, std::ostream* os)
{
    *os << c.name;
}

class ProfileFolder : public ::testing::TestWithParam<FolderSpelling>
{
};

} // namespace

// A profile saved in one data folder loads however the next start reaches that folder, and a hand
// edit is caught there just the same.
TEST_P(ProfileFolder, ProfileLoadsHoweverItsFolderIsReached)
{
    const FolderSpelling& c = GetParam();
    const std::string work = workDirWithLevels(3);
    const std::string home = c.saved();
    {
        Harness first(work, {}, home);
        ASSERT_EQ(first.initResult(), 0) << first.logText();
        UserManager* users = profiles();
        users->createUser("kim");
        users->loadUser("kim");
        users->setScore(1, 40);
        users->setReachedLevel(2);
        users->saveUser();
        ASSERT_TRUE(Core::isRunning()) << first.logText();
    }

    Harness next(work, {}, c.reached(home));
    ASSERT_EQ(next.initResult(), 0) << next.logText();
    UserManager* users = profiles();
    users->loadUser("kim");
    EXPECT_TRUE(Core::isRunning()) << next.logText();
    EXPECT_EQ(users->getUserName(), "kim");
    EXPECT_EQ(users->getReachedLevel(), 2);
    EXPECT_EQ(users->getScore(1), 40);
    expectLinesFitTheReader(readFile(next.appData() + "hashes.ini"));

    writeFile(next.appData() + "user_kim.ini", "2\n0\n999\n0\n");
    const size_t before = next.logText().size();
    users->loadUser("kim");
    EXPECT_NE(next.logText().find("user_kim.ini is corrupted\nCore: quit signal\n", before),
              std::string::npos)
        << next.logText().substr(before);
    EXPECT_FALSE(Core::isRunning());
    EXPECT_EQ(users->getScore(1), 40);
}

INSTANTIATE_TEST_SUITE_P(
    UserManager, ProfileFolder,
    ::testing::Values(FolderSpelling{"TrailingSlash", [] { return makeTempDir("quarrow-xdg"); },
                                     [](const std::string& home) { return home + "/"; }},
                      FolderSpelling{"SymbolicLink", [] { return makeTempDir("quarrow-xdg"); },
                                     [](const std::string& home)
                                     {
                                         const std::string link = makeTempDir("quarrow-link") + "/data";
                                         EXPECT_EQ(symlink(home.c_str(), link.c_str()), 0);
                                         return link;
                                     }},
                      FolderSpelling{"CopiedElsewhere", [] { return makeTempDir("quarrow-xdg"); },
                                     [](const std::string& home)
                                     {
                                         const std::string copy = makeTempDir("quarrow-copy") + "/restored";
                                         std::filesystem::copy(home, copy,
                                                               std::filesystem::copy_options::recursive);
                                         return copy;
                                     }},
                      FolderSpelling{"DeepPath", deepDataHome, [](const std::string& home) { return home; }}),
    [](const ::testing::TestParamInfo<FolderSpelling>& info) { return std::string(info.param.name); });

namespace
{

// "hashes.ini" as older versions wrote it: the working folder's table with each profile listed by
// its full path, every line in byte-wise order of the keys.
std::string oldTable(const std::string& seed, const std::map<std::string, std::string>& profiles)
{
    std::map<std::string, std::string> table;
    for (size_t start = 0, end = 0; (end = seed.find('\n', start)) != std::string::npos; start = end + 1)
    {
        const std::string line = seed.substr(start, end - start);
        table[line.substr(line.find('\t') + 1)] = line.substr(0, line.find('\t'));
    }
    table.insert(profiles.begin(), profiles.end());
    std::string text;
    for (const auto& entry : table)
    {
        text += entry.second + "\t" + entry.first + "\n";
    }
    return text;
}

std::string hashOfText(const std::string& text)
{
    const std::string path = makeTempDir("quarrow-hash") + "/file";
    writeFile(path, text);
    return Crypt::md5File(path);
}

const char* const savedProfile = "2\n10\n40\n0\n";
const char* const olderProfile = "1\n10\n0\n0\n";

struct OldTable
{
    const char* name;
    std::string (*home)();
    // How the older version listed the profile: its hash under the folder's path, and under the
    // same path with a trailing slash (after a player was locked out and made the profile again).
    const char* hash;
    const char* slashedHash; // nullptr: not listed so
    bool corrupted;          // the profile was edited by hand since
};

void PrintTo(const OldTable& c, std::ostream* os)
{
    *os << c.name;
}

class ProfileOldTable : public ::testing::TestWithParam<OldTable>
{
};

} // namespace

// A table written by an older version, which listed a profile by its full path, still lets the
// profile load; the next save lists it by its file name alone.
TEST_P(ProfileOldTable, ProfileListedByItsFullPathStillLoads)
{
    const OldTable& c = GetParam();
    const std::string work = workDirWithLevels(3);
    const std::string seed = readFile(work + "/hashes.ini");
    const std::string home = c.home();
    std::map<std::string, std::string> listed = {{home + "/vormel/Quarrow/user_kim.ini", hashOfText(c.hash)}};
    if (c.slashedHash != nullptr)
    {
        listed[home + "//vormel/Quarrow/user_kim.ini"] = hashOfText(c.slashedHash);
    }
    Harness harness(
        work,
        {{"users.ini", "kim\n"}, {"user_kim.ini", savedProfile}, {"hashes.ini", oldTable(seed, listed)}},
        home);
    ASSERT_EQ(harness.initResult(), 0) << harness.logText();
    UserManager* users = profiles();
    users->loadUser("kim");
    if (c.corrupted)
    {
        EXPECT_NE(harness.logText().find("user_kim.ini is corrupted\nCore: quit signal\n"), std::string::npos)
            << harness.logText();
        EXPECT_FALSE(Core::isRunning());
        EXPECT_EQ(users->getUserName(), "");
        return;
    }
    ASSERT_TRUE(Core::isRunning()) << harness.logText();
    EXPECT_EQ(users->getScore(1), 40);

    users->setScore(2, 7);
    users->saveUser();
    // The levels' lines as they were, the profile's full paths gone.
    EXPECT_EQ(readFile(harness.appData() + "hashes.ini"),
              seed + hashesLineOf(harness.appData(), "user_kim.ini"));
}

INSTANTIATE_TEST_SUITE_P(
    UserManager, ProfileOldTable,
    ::testing::Values(
        OldTable{"AsSaved", [] { return makeTempDir("quarrow-xdg"); }, savedProfile, nullptr, false},
        // The older version wrote a line longer than its reader took.
        OldTable{"DeepPath", deepDataHome, savedProfile, nullptr, false},
        OldTable{"MadeAgainUnderASecondSpelling", [] { return makeTempDir("quarrow-xdg"); }, olderProfile,
                 savedProfile, false},
        OldTable{"EditedByHand", [] { return makeTempDir("quarrow-xdg"); }, olderProfile, nullptr, true},
        OldTable{"EditedByHandUnderTwoSpellings", [] { return makeTempDir("quarrow-xdg"); }, olderProfile,
                 "0\n0\n0\n0\n", true}),
    [](const ::testing::TestParamInfo<OldTable>& info) { return std::string(info.param.name); });

// A start after a save was cut off: the game's own leftovers go, an empty folder in the place of
// "users.ini.new" included, so the next profile saves; the player's files that merely end alike stay.
TEST(UserManager, AStartDropsOnlyTheGamesLeftoversAndTheNextProfileSaves)
{
    const std::string dataHome = makeTempDir("quarrow-leftovers");
    const std::string appData = dataHome + "/vormel/Quarrow/";
    ASSERT_EQ(mkdir((dataHome + "/vormel").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(appData.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((appData + "users.ini.new").c_str(), 0755), 0);
    writeFile(appData + "user_ann.ini.new", "0\n0\n0\n0\n");
    writeFile(appData + "config.ini.tmp", "sound_volume = 1\n");
    const char* const mine[] = {"notes.tmp", "draft.new", "levels.ini.new"};
    for (const char* name : mine)
        writeFile(appData + name, name);

    Harness harness(workDirWithLevels(3), {}, dataHome);
    ASSERT_EQ(harness.initResult(), 0);
    for (const char* name : mine)
        EXPECT_EQ(readFile(appData + name), name) << name;
    for (const char* gone : {"users.ini.new", "user_ann.ini.new", "config.ini.tmp"})
        EXPECT_EQ(access((appData + gone).c_str(), F_OK), -1) << gone;

    profiles()->createUser("bob");
    EXPECT_EQ(readFile(appData + "users.ini"), "bob\n");
    EXPECT_EQ(readFile(appData + "user_bob.ini"), "0\n0\n0\n0\n");
}

// Whatever stands in place of "users.ini" without being a plain file stops the start at once, with
// its name in the log, and stays as it was: its names cannot be read, and the next save would
// replace them with the new player's alone.
TEST(UserManager, AUsersFileThatIsNotAPlainFileStopsTheStartAndStays)
{
    const std::string work = workDirWithLevels(1);
    struct Case
    {
        std::string name;
        std::function<bool(const std::string&)> make;
        std::string failed; // what the log line before "Init error: " says of the file
        std::string why;
        std::string message;
    };
    std::vector<Case> cases;
    for (const NonPlain kind : {NonPlain::fifo, NonPlain::device, NonPlain::socket, NonPlain::folder})
    {
        cases.push_back({nameOf(kind), [kind](const std::string& path) { return makeNonPlain(path, kind); },
                         "can't read", refusalOf(kind), "to read"});
    }
    // A link to a missing file is not followed: the file would be made outside the folder.
    cases.push_back({"dangling link",
                     [](const std::string& path)
                     { return symlink((path + ".elsewhere").c_str(), path.c_str()) == 0; },
                     "can't create", "is a link to a missing file", "to write"});
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string xdg = makeTempDir("quarrow-users-xdg");
        const std::string appData = xdg + "/vormel/Quarrow/";
        std::filesystem::create_directories(appData);
        const std::string path = appData + "users.ini";
        if (!c.make(path))
        {
            continue; // a device node needs root
        }
        struct stat before;
        ASSERT_EQ(lstat(path.c_str(), &before), 0);
        const std::string seen =
            withinSeconds(60,
                          [&]()
                          {
                              Harness harness(work, {}, xdg);
                              return std::to_string(harness.initResult()) + "\n" + harness.logText();
                          });
        const std::string expected = "UserManager: " + c.failed + " " + path + ": " + c.why +
                                     "\nInit error: UserManager: Can't open " + path + " " + c.message + "\n";
        EXPECT_EQ(seen.substr(0, 3), "-1\n") << seen;
        EXPECT_NE(seen.find(expected), std::string::npos) << seen;
        struct stat after;
        ASSERT_EQ(lstat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode & S_IFMT, before.st_mode & S_IFMT);
        EXPECT_NE(access((path + ".elsewhere").c_str(), F_OK), 0);
    }
}

// A FIFO in place of a profile is never waited on. Listed with the hash of an empty file it fails
// the check and the game ends; listed with the hash of a missing file it passes, and the read is
// refused with the load page's error.
TEST(UserManager, AProfileThatIsAFifoIsRefusedWithoutWaiting)
{
    const std::string work = workDirWithLevels(3);
    for (const bool emptyFileHash : {true, false})
    {
        SCOPED_TRACE(emptyFileHash ? "empty file's hash" : "missing file's hash");
        // Running, the current player and the error, then the log; the profile's path as <profile>.
        const std::string seen = withinSeconds(
            60,
            [&]()
            {
                Harness harness(work);
                UserManager* users = profiles();
                users->createUser("ann");
                const std::string profile = harness.appData() + "user_ann.ini";
                emptyFileHash ? writeFile(profile, "") : (void)unlink(profile.c_str());
                Core::getGame()->getHashManager()->updateHash(profile);
                unlink(profile.c_str());
                mkfifo(profile.c_str(), 0644);
                std::string error;
                try
                {
                    users->loadUser("ann");
                }
                catch (Exception* e)
                {
                    error = e->getMessage();
                    delete e;
                }
                std::string text = std::to_string(Core::isRunning()) + " [" + users->getUserName() + "] " +
                                   error + "\n" + harness.logText();
                for (size_t at = text.find(profile); at != std::string::npos; at = text.find(profile))
                {
                    text.replace(at, profile.size(), "<profile>");
                }
                return text;
            });
        const std::string first = seen.substr(0, seen.find('\n'));
        if (emptyFileHash)
        {
            EXPECT_EQ(first, "0 [] ") << seen;
            EXPECT_NE(seen.find("HashManager: <profile> is corrupted\n"), std::string::npos) << seen;
        }
        else
        {
            EXPECT_EQ(first, "1 [] UserManager: Can't open <profile> for read") << seen;
            EXPECT_NE(seen.find("UserManager: can't read <profile>: is a FIFO\n"), std::string::npos) << seen;
        }
    }
}
