#include "HashManager.h"

#include "Core.h"
#include "Crypt.h"
#include "Exception.h"
#include "FileReader.h"
#include "FileTransaction.h"
#include "FileWriter.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Lines are read as into a 400-character buffer.
const size_t maxLineLength = 399;
// Far more than any table of levels and profiles needs.
const size_t maxTableSize = 16 * 1024 * 1024;

// A copy that is missing, or empty as an interrupted first start could leave it, guards nothing.
bool needsSeed(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
    {
        return errno == ENOENT;
    }
    return S_ISREG(info.st_mode) && info.st_size == 0;
}

std::string workingFolder()
{
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof(buffer)) != nullptr ? std::string(buffer)
                                                     : std::string("the working folder");
}

// The game's own table from the working folder becomes the player's copy. Without a readable,
// non-empty table there the game was started from the wrong folder: nothing is written, so a
// later start from the right folder still seeds the copy.
void seedTable(const std::string& path)
{
    std::string table;
    std::string error;
    if (!FileReader::readFile("hashes.ini", maxTableSize, table, error) || table.empty())
    {
        const std::string why = error.empty() ? std::string("is empty") : error;
        throw new Exception("HashManager: no game data in " + workingFolder() + " (hashes.ini: " + why +
                            "), start the game from the folder that holds its data");
    }
    if (!FileWriter::replace(path, table, error))
    {
        throw new Exception("HashManager: Can't copy hashes.ini to " + path + ": " + error);
    }
}

// "hashes.ini" as the game has always written it: hash, tab, file name, "\n", in table order.
std::string tableText(const std::map<std::string, std::string>& table)
{
    std::string text;
    for (const auto& entry : table)
    {
        text += entry.second + '\t' + entry.first + '\n';
    }
    return text;
}
} // namespace

std::string HashManager::tablePath()
{
    return Core::getAppDataDir() + "hashes.ini";
}

HashManager::HashManager()
{
    Core::log("HashManager: init");
    const std::string path = tablePath();

    if (needsSeed(path))
    {
        seedTable(path);
    }
    FileReader in(path, FileReader::text, maxTableSize);
    if (!in.isOpen())
    {
        throw new Exception("HashManager: Can't open " + path + " for read");
    }
    readTable(in, path);
}

HashManager::~HashManager()
{
    hashes.clear();
    Core::log("HashManager: done");
}

void HashManager::readTable(FileReader& in, const std::string& path)
{
    std::string line;
    bool tooLong = false;
    while (in.readLine(line, maxLineLength, &tooLong))
    {
        // The length counts the line as read; a NUL then ends the text as it ends a C string.
        const size_t nul = line.find('\0');
        if (nul != std::string::npos)
        {
            line.erase(nul);
        }

        const size_t tab = line.find('\t');
        if (!line.empty() && tab != std::string::npos)
        {
            hashes[line.substr(tab + 1)] = line.substr(0, tab);
        }
        if (tooLong)
        {
            Core::log("HashManager: line longer than 399 characters in " + path + ", the rest is not read");
            break;
        }
    }
    // Going on with part of the table would drop the rest from the next rewrite of the file.
    if (in.failed())
    {
        Core::log("HashManager: Can't read " + path + ": " + in.error());
        throw new Exception("HashManager: Can't open " + path + " for read");
    }
}

bool HashManager::check(const std::string& file)
{
    const std::map<std::string, std::string>::const_iterator entry = hashes.find(file);
    if (entry == hashes.end())
    {
        Core::log("HashManager: " + file + " not found in hashes.ini");
        Core::quit();
        return false;
    }
    if (const std::string actual = Crypt::md5File(file); actual.empty() || actual != entry->second)
    {
        Core::log("HashManager: " + file + " is corrupted");
        Core::quit();
        return false;
    }
    return true;
}

bool HashManager::updateHash(const std::string& file)
{
    hashes[file] = Crypt::md5File(file);
    return writeTable(tablePath());
}

bool HashManager::commitWithHashes(FileTransaction& save, const std::vector<std::string>& guarded)
{
    std::map<std::string, std::string> table = hashes;
    for (const std::string& file : guarded)
    {
        table[file] = Crypt::md5File(FileTransaction::stagedPath(file));
    }
    if (!save.stage(tablePath(), tableText(table)) || !save.commit())
    {
        return false;
    }
    hashes.swap(table);
    return true;
}

bool HashManager::writeTable(const std::string& path) const
{
    // Beside the old table and renamed over it: an interrupted write never leaves a truncated
    // table that would lock every profile out.
    std::string error;
    if (!FileWriter::replace(path, tableText(hashes), error))
    {
        Core::log("HashManager: Can't write " + error);
        return false;
    }
    return true;
}
