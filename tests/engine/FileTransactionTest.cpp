#include "FileTransaction.h"
#include "Core.h"
#include "TestEnv.h"

#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Interrupted saves of real processes (killed, or on a full disk, at every file change) are
// tested with the profiles; these cases build the states such an interruption leaves by hand.

namespace
{

bool exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// Files of the player's and of a level maker's that end like the game's staged files (the data
// folder is the working folder when neither HOME nor XDG_DATA_HOME is set).
const char* const othersFiles[] = {"notes.tmp", "draft.new", "levels.ini.new", "levels.ini",
                                   "users.ini.bak.new"};

void writeOthersFiles(const std::string& folder)
{
    for (const char* name : othersFiles)
        writeFile(folder + name, std::string("mine: ") + name);
}

void expectOthersFilesKept(const std::string& folder)
{
    for (const char* name : othersFiles)
        EXPECT_EQ(readFile(folder + name), std::string("mine: ") + name) << name;
}

struct Folder
{
    Folder() : path(makeTempDir("quarrow-transaction") + "/")
    {
        writeFile(path + "user_a.ini", "old a\n");
        writeFile(path + "user_b.ini", "old b\n");
    }
    std::string path;
};

} // namespace

TEST(FileTransaction, CommitPutsEveryFileInPlaceAndLeavesNothingBeside)
{
    Folder folder;
    {
        FileTransaction save(folder.path);
        ASSERT_TRUE(save.stage(folder.path + "user_a.ini", "new a\n"));
        ASSERT_TRUE(save.stage(folder.path + "user_c.ini", "new c\n"));
        EXPECT_EQ(readFile(folder.path + "user_a.ini"), "old a\n");
        ASSERT_TRUE(save.commit()) << save.error();
    }
    EXPECT_EQ(readFile(folder.path + "user_a.ini"), "new a\n");
    EXPECT_EQ(readFile(folder.path + "user_b.ini"), "old b\n");
    EXPECT_EQ(readFile(folder.path + "user_c.ini"), "new c\n");
    EXPECT_FALSE(exists(folder.path + "user_a.ini.new"));
    EXPECT_FALSE(exists(folder.path + FileTransaction::journalName));
}

TEST(FileTransaction, AnUncommittedSaveChangesNothing)
{
    Folder folder;
    {
        FileTransaction save(folder.path);
        ASSERT_TRUE(save.stage(folder.path + "user_a.ini", "new a\n"));
        // A file outside the folder spoils the save: nothing of it may land.
        EXPECT_FALSE(save.stage("/tmp/elsewhere.ini", "x"));
        EXPECT_FALSE(save.commit());
        EXPECT_NE(save.error().find("/tmp/elsewhere.ini"), std::string::npos);
    }
    EXPECT_EQ(readFile(folder.path + "user_a.ini"), "old a\n");
    EXPECT_FALSE(exists(folder.path + "user_a.ini.new"));
}

TEST(FileTransaction, RecoveryFinishesACommittedSaveAndDropsAnUnfinishedOne)
{
    struct Case
    {
        const char* name;
        bool journal;
        bool aRenamed; // a.ini was already in place when the save stopped
        const char* a;
        const char* b;
    };
    for (const Case& c : {Case{"before the commit", false, false, "old a\n", "old b\n"},
                          Case{"at the commit", true, false, "new a\n", "new b\n"},
                          Case{"half put in place", true, true, "new a\n", "new b\n"}})
    {
        SCOPED_TRACE(c.name);
        Folder folder;
        writeFile(folder.path + (c.aRenamed ? "user_a.ini" : "user_a.ini.new"), "new a\n");
        writeFile(folder.path + "user_b.ini.new", "new b\n");
        writeFile(folder.path + "save.journal.tmp", "user_a.ini\n");
        // The other files the game stages or writes beside their targets, cut off as well.
        for (const char* left : {"config.ini.tmp", "hashes.ini.tmp", "hashes.ini.new", "users.ini.new"})
            writeFile(folder.path + left, "half");
        ASSERT_EQ(mkdir((folder.path + "user_c.ini.new").c_str(), 0755), 0);
        writeOthersFiles(folder.path);
        if (c.journal)
        {
            writeFile(folder.path + FileTransaction::journalName, "user_a.ini\nuser_b.ini\nend\n");
        }
        FileTransaction::recover(folder.path);
        EXPECT_EQ(readFile(folder.path + "user_a.ini"), c.a);
        EXPECT_EQ(readFile(folder.path + "user_b.ini"), c.b);
        for (const char* left :
             {"user_a.ini.new", "user_b.ini.new", "save.journal.tmp", FileTransaction::journalName,
              "config.ini.tmp", "hashes.ini.tmp", "hashes.ini.new", "users.ini.new", "user_c.ini.new"})
        {
            EXPECT_FALSE(exists(folder.path + left)) << left;
        }
        expectOthersFilesKept(folder.path);
    }
}

TEST(FileTransaction, AJournalCutShortOrNamingOtherFoldersIsNoCommit)
{
    for (const char* journal : {"user_a.ini\n", "user_a.ini\nuser_b.ini", "../user_a.ini\nend\n",
                                "user_a.ini\n/etc/passwd\nend\n", "user_a.ini\nlevels.ini\nend\n"})
    {
        SCOPED_TRACE(journal);
        Folder folder;
        writeFile(folder.path + "user_a.ini.new", "new a\n");
        writeOthersFiles(folder.path);
        writeFile(folder.path + FileTransaction::journalName, journal);
        FileTransaction::recover(folder.path);
        EXPECT_EQ(readFile(folder.path + "user_a.ini"), "old a\n");
        EXPECT_FALSE(exists(folder.path + "user_a.ini.new"));
        expectOthersFilesKept(folder.path);
    }
}

TEST(FileTransaction, ASaveLeftCommittedButUnfinishedIsFinishedBeforeTheNextOne)
{
    Folder folder;
    // What a commit whose rename of a.ini failed leaves behind.
    writeFile(folder.path + "user_a.ini.new", "new a\n");
    writeFile(folder.path + FileTransaction::journalName, "user_a.ini\nend\n");
    {
        FileTransaction save(folder.path);
        ASSERT_TRUE(save.stage(folder.path + "user_b.ini", "new b\n"));
        ASSERT_TRUE(save.commit()) << save.error();
    }
    EXPECT_EQ(readFile(folder.path + "user_a.ini"), "new a\n");
    EXPECT_EQ(readFile(folder.path + "user_b.ini"), "new b\n");
    EXPECT_FALSE(exists(folder.path + FileTransaction::journalName));
}

// A folder in the place of a staged file, with something in it: it is never emptied, the log says
// why it stays, and the save it blocks names it.
TEST(FileTransaction, AFolderThatIsNotEmptyInAStagedFilesPlaceIsNamedAndKept)
{
    const std::string appData = useFreshAppData();
    ASSERT_EQ(Core::getAppDataDir(), appData); // made here
    writeFile(appData + "users.ini", "ann\n");
    ASSERT_EQ(mkdir((appData + "users.ini.new").c_str(), 0755), 0);
    writeFile(appData + "users.ini.new/mine.txt", "mine");
    Core::init("no-such-folder/config.ini"); // recovers, then fails at the settings
    FileTransaction save(appData);
    EXPECT_FALSE(save.stage(appData + "users.ini", "ann\nbob\n"));
    EXPECT_EQ(save.error(), appData + "users.ini.new: open failed (Is a directory)");
    Core::shutdown();
    EXPECT_EQ(readFile(appData + "users.ini.new/mine.txt"), "mine");
    EXPECT_EQ(readFile(appData + "users.ini"), "ann\n");
    EXPECT_NE(
        readFile(appData + "log.txt")
            .find(
                "FileTransaction: " + appData +
                "users.ini.new is a folder that is not empty, it stays and blocks every save of its file\n"),
        std::string::npos)
        << readFile(appData + "log.txt");
}

// At start-up, recovery renames only files the game staged, and never over a link of the
// player's; a journal that is no plain file is never read. None of it may hang the start.
TEST(FileTransaction, RecoveryPutsInPlaceOnlyWhatTheGameStagedAndNeverOverALink)
{
    struct Case
    {
        const char* name;
        const char* journal; // its text, or null for a FIFO in its place
        const char* staged;  // the staged file named by the journal
        bool stagedIsFifo;   // a FIFO in the staged file's place
        const char* target;  // the file the staged one would replace
        bool targetIsLink;   // a link to a file in a folder of the player's
        const char* logLine; // after "FileTransaction: <data folder>"
    };
    const std::vector<Case> cases = {
        {"the journal names config.ini, a link", "config.ini\nend\n", "config.ini.new", false, "config.ini",
         true, "config.ini is a link, left as it is"},
        {"a FIFO as the journal", nullptr, "users.ini.new", false, "users.ini", false,
         "save.journal is a FIFO, not a journal of the game's, not read"},
        {"a FIFO staged as users.ini", "users.ini\nend\n", "users.ini.new", true, "users.ini", false,
         "users.ini.new is a FIFO, not a file the game staged, not put in place"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        // Made here: the game's own look-up is left to the child, as it keeps its first answer.
        const std::string appData = useFreshAppData();
        ASSERT_EQ(mkdir(appData.substr(0, appData.size() - std::strlen("Quarrow/")).c_str(), 0755), 0);
        ASSERT_EQ(mkdir(appData.c_str(), 0755), 0);
        const std::string home = makeTempDir("quarrow-transaction-home") + "/settings.ini";
        writeFile(home, "mine\n");
        if (c.targetIsLink)
        {
            ASSERT_EQ(symlink(home.c_str(), (appData + c.target).c_str()), 0);
        }
        else
        {
            writeFile(appData + c.target, "old\n");
        }
        if (c.stagedIsFifo)
        {
            ASSERT_EQ(mkfifo((appData + c.staged).c_str(), 0644), 0);
        }
        else
        {
            writeFile(appData + c.staged, "staged\n");
        }
        if (c.journal != nullptr)
        {
            writeFile(appData + FileTransaction::journalName, c.journal);
        }
        else
        {
            ASSERT_EQ(mkfifo((appData + FileTransaction::journalName).c_str(), 0644), 0);
        }

        // A start that would block on a FIFO is ended by the alarm instead of hanging the test.
        const pid_t child = fork();
        if (child == 0)
        {
            alarm(20);
            Core::init("no-such-folder/config.ini"); // recovers, then fails at the settings
            Core::shutdown();
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);

        struct stat info;
        ASSERT_EQ(lstat((appData + c.target).c_str(), &info), 0);
        if (c.targetIsLink)
        {
            char text[4096] = {};
            EXPECT_TRUE(S_ISLNK(info.st_mode));
            EXPECT_GT(readlink((appData + c.target).c_str(), text, sizeof(text) - 1), 0);
            EXPECT_EQ(std::string(text), home);
        }
        else
        {
            // Read only when plain: a FIFO put in place would block the read.
            ASSERT_TRUE(S_ISREG(info.st_mode));
            EXPECT_EQ(readFile(appData + c.target), "old\n");
        }
        EXPECT_EQ(readFile(home), "mine\n");
        EXPECT_EQ(lstat((appData + c.staged).c_str(), &info), -1);
        EXPECT_EQ(lstat((appData + FileTransaction::journalName).c_str(), &info), -1);
        const std::string log = readFile(appData + "log.txt");
        EXPECT_NE(log.find("FileTransaction: " + appData + c.logLine + "\n"), std::string::npos) << log;
    }
}
