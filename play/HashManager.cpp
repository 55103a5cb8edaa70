#include "HashManager.h"

#include "Core.h"
#include "Crypt.h"
#include "Exception.h"
#include "FileTransaction.h"
#include "FileWriter.h"

#include <cstdio>
#include <fstream>

namespace
{
// Lines are read as into a 400-character buffer.
const size_t maxLineLength = 399;

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

    std::ifstream in(path.c_str());
    if (!in.is_open())
    {
        // First start: the game's own table from the working folder becomes the player's copy.
        std::ifstream seed("hashes.ini", std::ios::in | std::ios::binary);
        std::ofstream copy(path.c_str(), std::ios::out | std::ios::binary | std::ios::trunc);
        if (seed.is_open() && copy.is_open())
        {
            copy << seed.rdbuf();
        }
        seed.close();
        copy.close();
        in.clear();
        in.open(path.c_str());
    }
    if (!in.is_open())
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

void HashManager::readTable(std::istream& in, const std::string& path)
{
    std::string line;
    while (std::getline(in, line))
    {
        // A file written on another platform may end its lines with CR LF.
        if (!line.empty() && line[line.size() - 1] == '\r')
        {
            line.erase(line.size() - 1);
        }
        line = line.substr(0, line.find('\0'));
        const bool tooLong = line.size() > maxLineLength;
        if (tooLong)
        {
            line.erase(maxLineLength);
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
    if (Crypt::md5File(file) != entry->second)
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
