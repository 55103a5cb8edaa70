#include "UserManager.h"

#include "Core.h"
#include "Exception.h"
#include "FileTransaction.h"
#include "Game.h"
#include "HashManager.h"

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

std::string UserManager::usersPath()
{
    return Core::getAppDataDir() + "users.ini";
}

std::string UserManager::profilePath(const std::string& name)
{
    return Core::getAppDataDir() + "user_" + name + ".ini";
}

void UserManager::ensureUsersFile()
{
    const std::string path = usersPath();
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
    std::ifstream in(usersPath().c_str());
    std::string word;
    while (in >> word)
    {
        users.push_back(word);
    }
}

void UserManager::stage(FileTransaction& save, const std::string& path, const std::string& contents)
{
    if (!save.stage(path, contents))
    {
        // The message names the file; the log line before it says what stood in the way.
        Core::log("UserManager: " + save.error());
        throw new Exception("UserManager: Can't open " + path + " for write");
    }
}

void UserManager::commit(FileTransaction& save, const std::string& path)
{
    std::string error;
    if (!Core::getGame()->getHashManager()->commitWithHashes(save, {path}, error))
    {
        throw new Exception("UserManager: Can't save " + path + ": " + error);
    }
}

void UserManager::saveUsers(FileTransaction& save, const std::vector<std::string>& names)
{
    std::string contents;
    for (cursor = 0; cursor < names.size(); cursor++)
    {
        contents += names[cursor] + "\n";
    }
    stage(save, usersPath(), contents);
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
    // The profile, its hash and its line in "users.ini" are saved together: a crash or a full disk
    // never leaves a listed name without a profile that passes its check.
    FileTransaction save(Core::getAppDataDir());
    stage(save, path, contents);
    const bool listed = userExists(name);
    if (!listed)
    {
        std::vector<std::string> names = users;
        names.push_back(name);
        saveUsers(save, names);
    }
    commit(save, path);
    if (!listed)
    {
        users.push_back(name);
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
    FileTransaction save(Core::getAppDataDir());
    stage(save, path, contents.str());
    commit(save, path);
}
