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
// Lines are read as into a 400-character buffer; no line the game writes is longer.
const size_t maxLineLength = 399;
// 32 hex digits of Crypt::md5File.
const size_t hashLength = 32;
// The longest name a line the reader takes has room for.
const size_t maxNameLength = maxLineLength - hashLength - 1;
// Older versions keyed a profile by its whole path: such a line may be as long as a path can be.
const size_t maxOldLineLength = hashLength + 1 + PATH_MAX;
// Far more than any table of levels and profiles needs.
const size_t maxTableSize = 16 * 1024 * 1024;

// "users.ini" or "user_" + player name + ".ini": the files of the application-data folder.
bool isProfileName(const std::string& name)
{
    const size_t prefix = 5; // "user_"
    const size_t suffix = 4; // ".ini"
    if (name.find('/') != std::string::npos)
    {
        return false;
    }
    return name == "users.ini" || (name.size() >= prefix + suffix && name.compare(0, prefix, "user_") == 0 &&
                                   name.compare(name.size() - suffix, suffix, ".ini") == 0);
}

std::string lastComponent(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// How older versions named a profile: its full path, "/..." or "./..." with no data folder set.
// Level paths are relative to the working folder and never look like that.
bool isFullPath(const std::string& path)
{
    return path.compare(0, 1, "/") == 0 || path.compare(0, 2, "./") == 0;
}

// A key as the table file gives it, read as this version keys it.
std::string keyOfLine(const std::string& written)
{
    const std::string name = lastComponent(written);
    return isFullPath(written) && isProfileName(name) ? name : written;
}

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

std::string HashManager::keyOf(const std::string& file, std::string& why)
{
    const std::string folder = Core::getAppDataDir();
    std::string key = file;
    if (file.compare(0, folder.size(), folder) == 0 && isProfileName(file.substr(folder.size())))
    {
        key = file.substr(folder.size());
    }
    else if (isProfileName(lastComponent(file)) && (file.find('/') == std::string::npos || isFullPath(file)))
    {
        // Would read back as a profile's key: a working-folder file of that name must never pass
        // for a profile, nor a profile for it.
        why = "a profile's name outside " + folder;
        return std::string();
    }
    if (key.size() > maxNameLength)
    {
        why = "longer than " + std::to_string(maxNameLength) + " characters";
        return std::string();
    }
    return key;
}

void HashManager::readTable(FileReader& in, const std::string& path)
{
    // The keys as written of each profile named more than once, and their hashes.
    std::map<std::string, std::map<std::string, std::string>> spellings;
    std::string line;
    bool cut = false;
    size_t skipped = 0;
    while (in.readLine(line, maxOldLineLength, &cut))
    {
        const bool overlong = cut || line.size() > maxLineLength;
        // The length counts the line as read; a NUL then ends the text as it ends a C string.
        const size_t nul = line.find('\0');
        if (nul != std::string::npos)
        {
            line.erase(nul);
        }
        const size_t tab = line.find('\t');
        if (line.empty() || tab == std::string::npos)
        {
            skipped += overlong ? 1 : 0;
            continue;
        }
        const std::string hash = line.substr(0, tab);
        const std::string written = line.substr(tab + 1);
        const std::string key = keyOfLine(written);
        // An old profile line from a deep folder is taken when its new line fits; the next rewrite
        // of the table writes only lines the reader takes.
        if (cut || (overlong && nul != std::string::npos) || hash.size() + 1 + key.size() > maxLineLength)
        {
            skipped++;
            continue;
        }
        hashes[key] = hash;
        if (isProfileName(key))
        {
            spellings[key][written] = hash;
        }
    }
    if (skipped > 0)
    {
        Core::log(
            "HashManager: " + (skipped == 1 ? std::string("a line") : std::to_string(skipped) + " lines") +
            " longer than 399 characters in " + path + " skipped");
    }
    // Going on with part of the table would drop the rest from the next rewrite of the file.
    if (in.failed())
    {
        Core::log("HashManager: Can't read " + path + ": " + in.error());
        throw new Exception("HashManager: Can't open " + path + " for read");
    }
    // Older versions listed a profile once per spelling of the folder it was saved under: the one
    // the profile matches now is its hash. A profile edited by hand matches none of them.
    for (const auto& profile : spellings)
    {
        if (profile.second.size() < 2)
        {
            continue;
        }
        const std::string actual = Crypt::md5File(Core::getAppDataDir() + profile.first);
        for (const auto& spelling : profile.second)
        {
            if (spelling.second == actual)
            {
                hashes[profile.first] = actual;
            }
        }
    }
}

bool HashManager::check(const std::string& file)
{
    std::string why;
    const std::string key = keyOf(file, why);
    const std::map<std::string, std::string>::const_iterator entry =
        key.empty() ? hashes.end() : hashes.find(key);
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
    std::string why;
    const std::string key = keyOf(file, why);
    if (key.empty())
    {
        Core::log("HashManager: Can't list " + file + " in hashes.ini: " + why);
        return false;
    }
    hashes[key] = Crypt::md5File(file);
    return writeTable(tablePath());
}

bool HashManager::commitWithHashes(FileTransaction& save, const std::vector<std::string>& guarded,
                                   std::string& error)
{
    std::map<std::string, std::string> table = hashes;
    for (const std::string& file : guarded)
    {
        std::string why;
        const std::string key = keyOf(file, why);
        if (key.empty())
        {
            // Not committed: the transaction drops what was staged, and the old files stay.
            error = "can't list it in hashes.ini: " + why;
            return false;
        }
        table[key] = Crypt::md5File(FileTransaction::stagedPath(file));
    }
    if (!save.stage(tablePath(), tableText(table)) || !save.commit())
    {
        error = save.error();
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
