#include "HashManager.h"

#include "Core.h"
#include "Crypt.h"
#include "Exception.h"

#include <cstdio>
#include <fstream>

namespace
{
// Lines are read as into a 400-character buffer.
const size_t maxLineLength = 399;
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
    if (const std::string actual = Crypt::md5File(file); actual.empty() || actual != entry->second)
    {
        Core::log("HashManager: " + file + " is corrupted");
        Core::quit();
        return false;
    }
    return true;
}

void HashManager::updateHash(const std::string& file)
{
    hashes[file] = Crypt::md5File(file);
    writeTable(tablePath());
}

void HashManager::writeTable(const std::string& path) const
{
    // Written beside the old table and renamed over it, so an interrupted write never leaves a
    // truncated table that would lock every profile out.
    const std::string temp = path + ".tmp";
    std::ofstream out(temp.c_str(), std::ios::out | std::ios::trunc);
    if (!out.is_open())
    {
        Core::log("HashManager: Can't write " + path);
        return;
    }
    for (std::map<std::string, std::string>::const_iterator it = hashes.begin(); it != hashes.end(); ++it)
    {
        out << it->second << '\t' << it->first << '\n';
        out.flush();
    }
    out.close();
    if (out.fail() || std::rename(temp.c_str(), path.c_str()) != 0)
    {
        Core::log("HashManager: Can't write " + path);
        std::remove(temp.c_str());
    }
}
