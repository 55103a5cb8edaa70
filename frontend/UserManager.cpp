#include "UserManager.h"

#include "Core.h"
#include "Exception.h"
#include "FileReader.h"
#include "FileTransaction.h"
#include "Game.h"
#include "HashManager.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

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

namespace
{

bool isBlank(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The next white-space-delimited word, as a stream's word input takes it; false at the end. A
// word that a read error cuts short is no name.
bool readWord(FileReader& in, std::string& word)
{
    word.clear();
    int c = in.get();
    while (c >= 0 && isBlank(c))
    {
        c = in.get();
    }
    while (c >= 0 && !isBlank(c))
    {
        word.push_back(static_cast<char>(c));
        c = in.get();
    }
    return !word.empty() && !(c < 0 && in.failed());
}

// One decimal integer as a stream's formatted input takes it: blanks skipped, an optional sign,
// at least one digit. False, with value unchanged, when there is none or it does not fit.
bool readNumber(FileReader& in, int32_t& value)
{
    while (in.peek() >= 0 && isBlank(in.peek()))
    {
        in.get();
    }
    const bool negative = in.peek() == '-';
    if (negative || in.peek() == '+')
    {
        in.get();
    }
    long long number = 0;
    bool digits = false;
    bool fits = true;
    while (in.peek() >= '0' && in.peek() <= '9')
    {
        number = number * 10 + (in.get() - '0');
        digits = true;
        if (number > static_cast<long long>(INT32_MAX) + 1)
        {
            fits = false;
            number = static_cast<long long>(INT32_MAX) + 1;
        }
    }
    number = negative ? -number : number;
    if (!digits || !fits || number > INT32_MAX || number < INT32_MIN)
    {
        return false;
    }
    value = static_cast<int32_t>(number);
    return true;
}

// Creates the file empty without following a link or waiting on anything in its place. False,
// with the reason in why, when it cannot be made.
bool createEmpty(const std::string& path, std::string& why)
{
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
    {
        why = "is a link to a missing file";
        return false;
    }
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0)
    {
        why = std::strerror(errno);
        return false;
    }
    ::close(fd);
    return true;
}

} // namespace

void UserManager::ensureUsersFile()
{
    const std::string path = usersPath();
    {
        const FileReader existing(path);
        if (existing.isOpen())
        {
            return;
        }
        if (access(path.c_str(), F_OK) == 0)
        {
            // A FIFO, a device or an unreadable file: its names cannot be read, and a save would
            // replace them with the new player's alone.
            Core::log("UserManager: can't read " + path + ": " + existing.error());
            throw new Exception("UserManager: Can't open " + path + " to read");
        }
    }
    Core::log("UserManager: " + path + " not exists, trying to create");
    std::string why;
    if (!createEmpty(path, why))
    {
        Core::log("UserManager: can't create " + path + ": " + why);
        throw new Exception("UserManager: Can't open " + path + " to write");
    }
    const FileReader reopened(path);
    if (!reopened.isOpen())
    {
        throw new Exception("UserManager: Can't open " + path + " to read");
    }
    Core::log("UserManager: " + path + " created");
}

void UserManager::loadUsers()
{
    FileReader in(usersPath());
    std::string word;
    while (readWord(in, word))
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
    FileReader in(path, FileReader::text);
    if (!in.isOpen())
    {
        Core::log("UserManager: can't read " + path + ": " + in.error());
        throw new Exception("UserManager: Can't open " + path + " for read");
    }
    allocScores();

    int32_t value = 0;
    if (readNumber(in, value))
    {
        reachedLevel = value;
        for (int32_t i = 0; i < scoreCount && readNumber(in, value); i++)
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
