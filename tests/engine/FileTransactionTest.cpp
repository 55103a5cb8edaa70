#include "FileTransaction.h"
#include "TestEnv.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

// Interrupted saves of real processes (killed, or on a full disk, at every file change) are
// tested with the profiles; these cases build the states such an interruption leaves by hand.

namespace
{

bool exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

struct Folder
{
    Folder() : path(makeTempDir("quarrow-transaction") + "/")
    {
        writeFile(path + "a.ini", "old a\n");
        writeFile(path + "b.ini", "old b\n");
    }
    std::string path;
};

} // namespace

TEST(FileTransaction, CommitPutsEveryFileInPlaceAndLeavesNothingBeside)
{
    Folder folder;
    {
        FileTransaction save(folder.path);
        ASSERT_TRUE(save.stage(folder.path + "a.ini", "new a\n"));
        ASSERT_TRUE(save.stage(folder.path + "c.ini", "new c\n"));
        EXPECT_EQ(readFile(folder.path + "a.ini"), "old a\n");
        ASSERT_TRUE(save.commit()) << save.error();
    }
    EXPECT_EQ(readFile(folder.path + "a.ini"), "new a\n");
    EXPECT_EQ(readFile(folder.path + "b.ini"), "old b\n");
    EXPECT_EQ(readFile(folder.path + "c.ini"), "new c\n");
    EXPECT_FALSE(exists(folder.path + "a.ini.new"));
    EXPECT_FALSE(exists(folder.path + FileTransaction::journalName));
}

TEST(FileTransaction, AnUncommittedSaveChangesNothing)
{
    Folder folder;
    {
        FileTransaction save(folder.path);
        ASSERT_TRUE(save.stage(folder.path + "a.ini", "new a\n"));
        // A file outside the folder spoils the save: nothing of it may land.
        EXPECT_FALSE(save.stage("/tmp/elsewhere.ini", "x"));
        EXPECT_FALSE(save.commit());
        EXPECT_NE(save.error().find("/tmp/elsewhere.ini"), std::string::npos);
    }
    EXPECT_EQ(readFile(folder.path + "a.ini"), "old a\n");
    EXPECT_FALSE(exists(folder.path + "a.ini.new"));
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
        writeFile(folder.path + (c.aRenamed ? "a.ini" : "a.ini.new"), "new a\n");
        writeFile(folder.path + "b.ini.new", "new b\n");
        writeFile(folder.path + "save.journal.tmp", "a.ini\n");
        if (c.journal)
        {
            writeFile(folder.path + FileTransaction::journalName, "a.ini\nb.ini\nend\n");
        }
        FileTransaction::recover(folder.path);
        EXPECT_EQ(readFile(folder.path + "a.ini"), c.a);
        EXPECT_EQ(readFile(folder.path + "b.ini"), c.b);
        for (const char* left : {"a.ini.new", "b.ini.new", "save.journal.tmp", FileTransaction::journalName})
        {
            EXPECT_FALSE(exists(folder.path + left)) << left;
        }
    }
}

TEST(FileTransaction, AJournalCutShortOrNamingOtherFoldersIsNoCommit)
{
    for (const char* journal : {"a.ini\n", "a.ini\nb.ini", "../a.ini\nend\n", "a.ini\n/etc/passwd\nend\n"})
    {
        SCOPED_TRACE(journal);
        Folder folder;
        writeFile(folder.path + "a.ini.new", "new a\n");
        writeFile(folder.path + FileTransaction::journalName, journal);
        FileTransaction::recover(folder.path);
        EXPECT_EQ(readFile(folder.path + "a.ini"), "old a\n");
        EXPECT_FALSE(exists(folder.path + "a.ini.new"));
    }
}

TEST(FileTransaction, ASaveLeftCommittedButUnfinishedIsFinishedBeforeTheNextOne)
{
    Folder folder;
    // What a commit whose rename of a.ini failed leaves behind.
    writeFile(folder.path + "a.ini.new", "new a\n");
    writeFile(folder.path + FileTransaction::journalName, "a.ini\nend\n");
    {
        FileTransaction save(folder.path);
        ASSERT_TRUE(save.stage(folder.path + "b.ini", "new b\n"));
        ASSERT_TRUE(save.commit()) << save.error();
    }
    EXPECT_EQ(readFile(folder.path + "a.ini"), "new a\n");
    EXPECT_EQ(readFile(folder.path + "b.ini"), "new b\n");
    EXPECT_FALSE(exists(folder.path + FileTransaction::journalName));
}
