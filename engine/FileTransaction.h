#pragma once

#include <string>
#include <vector>

// Replaces several files of one folder as one step: after a crash, a kill or a full disk at any
// moment, the next start sees either every old file or every new one (a profile and the hash that
// guards it, say). Each new file is written and flushed beside its target as target + ".new";
// then a journal naming the targets is put in place by one rename, the commit point; then the new
// files are renamed over their targets and the journal is removed. recover() at start-up finishes
// a save whose journal is in place and drops the pieces of one that never reached it.
class FileTransaction
{
  public:
    // The journal of the files in `folder` (a path ending in '/').
    explicit FileTransaction(const std::string& folder);
    // Drops whatever was staged and not committed.
    ~FileTransaction();
    FileTransaction(const FileTransaction&) = delete;
    FileTransaction& operator=(const FileTransaction&) = delete;

    // Writes the new contents of target (a file directly in the folder, by its full path) beside
    // it. False, with the reason in error(), when that failed; the transaction then cannot commit.
    bool stage(const std::string& target, const std::string& contents);
    // Where the staged contents of target lie until the commit.
    static std::string stagedPath(const std::string& target);

    // Puts every staged file in place. False, with the reason in error(), when the save did not
    // happen: every target is then as it was. Once the journal is in place the save counts as
    // made even if a later rename fails: the next recover() finishes it.
    bool commit();
    const std::string& error() const;

    // Finishes or drops a save that a crash interrupted, and removes the game's own left-over
    // temporary files (isGameFile names with ".new" or ".tmp"), never anyone else's. Runs before
    // anything in the folder is read. Logs what it did, and what it could not remove and why.
    static void recover(const std::string& folder);

    // The files the game itself writes in its data folder, through FileWriter::replace or a
    // transaction: "config.ini", "hashes.ini", "users.ini", "user_<name>.ini" (also "user_.ini", saved
    // when a level is finished without a profile) and the journal.
    // Only these may be staged, named in a journal, or cleaned up at start-up.
    static bool isGameFile(const std::string& name);

    // The journal's file name in the folder.
    static const char* const journalName;

  private:
    void abandon();

    std::string folder;
    std::vector<std::string> targets; // file names in the folder
    bool broken;
    bool committed;
    std::string why;
};
