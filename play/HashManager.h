#pragma once

#include <map>
#include <string>

class FileReader;

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
    // Re-hashes file into the table and rewrites "hashes.ini" sorted by file name. Reports nothing.
    void updateHash(const std::string& file);

  private:
    static std::string tablePath();
    void readTable(FileReader& in, const std::string& path);
    void writeTable(const std::string& path) const;

    // File name (as the callers name it) to hash text; byte-wise order.
    std::map<std::string, std::string> hashes;
};
