#pragma once

#include <map>
#include <string>
#include <vector>

class FileReader;
class FileTransaction;

// Guards the files that decide what a player may play: expected hashes from the application-data
// "hashes.ini", checked before a file is used and updated after the game rewrites one.
//
// A profile ("user_" + name + ".ini" in the application-data folder) is listed by its file name
// alone, so the table holds wherever that folder lies and however its path is spelled; every other
// file by its path as the callers name it. A profile's full path, as older versions listed it, is
// read as its file name.
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
    // False, with nothing changed, when file cannot be listed (see keyOf).
    bool updateHash(const std::string& file);
    // Finishes a save of guarded files: stages "hashes.ini" with the hashes of the staged copies
    // of `guarded` (each named by its target path) and commits the save, so the files and their
    // hashes change together or not at all. The table in memory changes only when the commit
    // succeeded; false, with the reason in error, when it did not.
    bool commitWithHashes(FileTransaction& save, const std::vector<std::string>& guarded, std::string& error);

  private:
    static std::string tablePath();
    // The table's key for file: a profile's file name, or the path as given. "" (with the reason
    // in why) when file cannot be listed: a profile's name reached outside the application-data
    // folder, or a key whose line would be longer than the reader takes.
    static std::string keyOf(const std::string& file, std::string& why);
    void readTable(FileReader& in, const std::string& path);
    bool writeTable(const std::string& path) const;

    // Key (see keyOf) to hash text; byte-wise order.
    std::map<std::string, std::string> hashes;
};
