#include "UserManager.h"

#include "Core.h"
#include "Exception.h"
#include "Game.h"
#include "HashManager.h"

#include <cstdio>
#include <fstream>
#include <sstream>

UserManager::UserManager() : cursor(0), scores(nullptr), reachedLevel(0), scoreCount(0)
{
    Core::log("UserManager: init");
    allocScores();
    reachedLevel = 0;
    ensureUsersFile();
    loadUsers();
}

UserManager::~UserManager()
{
    delete[] scores;
    Core::log("UserManager: done");
}

void UserManager::allocScores()
{
    const int32_t count = Core::getGame()->getLevelCount();
    delete[] scores;
    scoreCount = count > 0 ? count : 0;
    scores = new int32_t[scoreCount > 0 ? scoreCount : 1]();
}

std::string UserManager::profilePath(const std::string& name)
{
    return Core::getAppDataDir() + "user_" + name + ".ini";
}

void UserManager::ensureUsersFile()
{
    const std::string path = Core::getAppDataDir() + "users.ini";
    std::ifstream existing(path.c_str());
    if (existing.is_open())
    {
        return;
    }
    Core::log("UserManager: " + path + " not exists, trying to create");
    std::ofstream created(path.c_str());
    if (!created.is_open())
    {
        throw new Exception("UserManager: Can't open " + path + " to write");
    }
    created.close();
    std::ifstream reopened(path.c_str());
    if (!reopened.is_open())
    {
        throw new Exception("UserManager: Can't open " + path + " to read");
    }
    Core::log("UserManager: " + path + " created");
}

void UserManager::loadUsers()
{
    std::ifstream in((Core::getAppDataDir() + "users.ini").c_str());
    std::string word;
    while (in >> word)
    {
        users.push_back(word);
    }
}

void UserManager::writeWhole(const std::string& path, const std::string& contents)
{
    // The old file stays whole until the new one is complete beside it.
    const std::string temp = path + ".tmp";
    std::ofstream out(temp.c_str(), std::ios::out | std::ios::trunc);
    if (!out.is_open())
    {
        throw new Exception("UserManager: Can't open " + path + " for write");
    }
    out << contents;
    out.close();
    if (out.fail() || std::rename(temp.c_str(), path.c_str()) != 0)
    {
        std::remove(temp.c_str());
        throw new Exception("UserManager: Can't open " + path + " for write");
    }
}

void UserManager::saveUsers()
{
    std::string contents;
    for (cursor = 0; cursor < users.size(); cursor++)
    {
        contents += users[cursor] + "\n";
    }
    writeWhole(Core::getAppDataDir() + "users.ini", contents);
}

int UserManager::getUserCount() const
{
    return static_cast<int>(users.size());
}

std::string UserManager::firstUserName()
{
    cursor = 0;
    return cursor < users.size() ? users[cursor] : std::string();
}

std::string UserManager::nextUserName()
{
    if (cursor < users.size())
    {
        cursor++;
    }
    return cursor < users.size() ? users[cursor] : std::string();
}

bool UserManager::userExists(const std::string& name)
{
    for (cursor = 0; cursor < users.size(); cursor++)
    {
        if (users[cursor] == name)
        {
            return true;
        }
    }
    return false;
}

std::string UserManager::getUserName() const
{
    return userName;
}

int32_t UserManager::getReachedLevel() const
{
    return reachedLevel;
}

void UserManager::setReachedLevel(int32_t n)
{
    reachedLevel = Core::getGame()->getLevelCount() <= n ? 0 : n;
}

int32_t UserManager::getScore(int32_t level) const
{
    if (level < 0 || level >= scoreCount)
    {
        return 0;
    }
    return scores[level];
}

void UserManager::setScore(int32_t level, int32_t score)
{
    if (level < 0 || level >= scoreCount)
    {
        return;
    }
    scores[level] = score;
}

int32_t UserManager::getTotalScore(int32_t exceptLevel) const
{
    const int32_t count = Core::getGame()->getLevelCount();
    // Wraps like the 32-bit sum it is, without signed overflow.
    uint32_t total = 0;
    for (int32_t i = 0; i < count && i < scoreCount; i++)
    {
        if (i != exceptLevel)
        {
            total += static_cast<uint32_t>(scores[i]);
        }
    }
    return static_cast<int32_t>(total);
}

void UserManager::createUser(const std::string& name)
{
    const std::string path = profilePath(name);
    std::string contents = "0\n";
    for (int32_t i = 0; i < Core::getGame()->getLevelCount(); i++)
    {
        contents += "0\n";
    }
    writeWhole(path, contents);
    Core::getGame()->getHashManager()->updateHash(path);
    if (!userExists(name))
    {
        users.push_back(name);
        saveUsers();
    }
}

void UserManager::loadUser(const std::string& name)
{
    const std::string path = profilePath(name);
    if (!Core::getGame()->getHashManager()->check(path))
    {
        return;
    }
    std::ifstream in(path.c_str());
    if (!in.is_open())
    {
        throw new Exception("UserManager: Can't open " + path + " for read");
    }
    allocScores();

    int32_t value = 0;
    if (in >> value)
    {
        reachedLevel = value;
        for (int32_t i = 0; i < scoreCount && in >> value; i++)
        {
            scores[i] = value;
        }
    }
    // A profile from a longer level list may have reached beyond this one: keep it playable.
    const int32_t count = Core::getGame()->getLevelCount();
    if (reachedLevel >= count)
    {
        reachedLevel = count > 0 ? count - 1 : 0;
    }
    if (reachedLevel < 0)
    {
        reachedLevel = 0;
    }
    userName = name;
}

void UserManager::saveUser()
{
    const std::string path = profilePath(userName);
    std::ostringstream contents;
    contents << reachedLevel << '\n';
    for (int32_t i = 0; i < Core::getGame()->getLevelCount(); i++)
    {
        contents << getScore(i) << '\n';
    }
    writeWhole(path, contents.str());
    Core::getGame()->getHashManager()->updateHash(path);
}
