#pragma once

#include <map>
#include <string>
#include <vector>

class FileReader;
class FileTransaction;

// Guards the files that decide what a player may play: expected hashes from the application-data
// "hashes.ini", checked before a file is used and updated after the game rewrites one.
class HashManager
{
  public:
    // Reads "hashes.ini", seeding it from the working folder's copy when it is missing or empty.
    // Throws Exception* when there is nothing to seed it from or it cannot be read.
    HashManager();
    virtual ~HashManager();

    // True when file is listed and its salted hash matches exactly. Otherwise logs why and asks
    // the program to quit (after the current step).
    bool check(const std::string& file);
    // Re-hashes file into the table and replaces "hashes.ini", sorted by file name. False when the
    // table could not be written (logged); the table in memory holds the new hash either way.
    bool updateHash(const std::string& file);
    // Finishes a save of guarded files: stages "hashes.ini" with the hashes of the staged copies
    // of `guarded` (each named by its target path) and commits the save, so the files and their
    // hashes change together or not at all. The table in memory changes only when the commit
    // succeeded; false, with the reason in save.error(), when it did not.
    bool commitWithHashes(FileTransaction& save, const std::vector<std::string>& guarded);

  private:
    static std::string tablePath();
    void readTable(FileReader& in, const std::string& path);
    bool writeTable(const std::string& path) const;

    // File name (as the callers name it) to hash text; byte-wise order.
    std::map<std::string, std::string> hashes;
};
