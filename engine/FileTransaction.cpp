#include "FileTransaction.h"

#include "Core.h"
#include "FileReader.h"
#include "FileWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

const char* const FileTransaction::journalName = "save.journal";

namespace
{

// The journal ends with this line, so a journal cut short is never taken for a commit.
const char* const journalEnd = "end";

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool exists(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

// A plain file name: the journal may only ever name files of its own folder.
bool isPlainName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

// FileWriter::replace writes beside its target with this end in the data folder, stage() with ".new".
const char* const replacedEnd = ".tmp";

// The game file that a left-over staged or temporary file belongs to, or "" for anyone else's.
std::string stagedFileOf(const std::string& name)
{
    for (const char* end : {".new", replacedEnd})
    {
        if (endsWith(name, end))
        {
            const std::string target = name.substr(0, name.size() - std::strlen(end));
            return FileTransaction::isGameFile(target) ? target : std::string();
        }
    }
    return std::string();
}

// A left-over staged entry; a folder in its place blocks every later save of its file.
void dropLeftover(const std::string& path)
{
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0)
    {
        return;
    }
    const bool folder = S_ISDIR(info.st_mode);
    if ((folder ? ::rmdir(path.c_str()) : ::unlink(path.c_str())) == 0)
    {
        Core::log("FileTransaction: dropped the unfinished " + path);
    }
    else if (folder && (errno == ENOTEMPTY || errno == EEXIST))
    {
        Core::log("FileTransaction: " + path +
                  " is a folder that is not empty, it stays and blocks every save of its file");
    }
    else
    {
        Core::log("FileTransaction: can't drop the unfinished " + path + ": " + std::strerror(errno));
    }
}

// The targets a journal names, or none when it is not a complete journal.
std::vector<std::string> readJournal(const std::string& path)
{
    std::vector<std::string> names;
    FileReader reader(path, FileReader::text, 1024 * 1024);
    std::string line;
    bool complete = false;
    while (reader.readLine(line, 4096))
    {
        if (line == journalEnd)
        {
            complete = true;
            break;
        }
        if (!isPlainName(line) || !FileTransaction::isGameFile(line))
        {
            break;
        }
        names.push_back(line);
    }
    if (!complete || reader.failed())
    {
        names.clear();
    }
    return names;
}

} // namespace

FileTransaction::FileTransaction(const std::string& folder) : folder(folder), broken(false), committed(false)
{
    // An earlier save of this run whose renames failed after its commit point is finished first:
    // this save's journal would otherwise replace the one that still names its files.
    if (exists(folder + journalName))
    {
        recover(folder);
    }
}

FileTransaction::~FileTransaction()
{
    if (!committed)
    {
        abandon();
    }
}

std::string FileTransaction::stagedPath(const std::string& target)
{
    return target + ".new";
}

const std::string& FileTransaction::error() const
{
    return why;
}

bool FileTransaction::stage(const std::string& target, const std::string& contents)
{
    if (broken || committed)
    {
        return false;
    }
    const std::string name =
        target.compare(0, folder.size(), folder) == 0 ? target.substr(folder.size()) : "";
    if (!isPlainName(name) || !isGameFile(name))
    {
        broken = true;
        why = target + ": not a file of the game in " + folder;
        return false;
    }
    if (!FileWriter::writeFlushed(stagedPath(target), contents, why))
    {
        broken = true;
        return false;
    }
    targets.push_back(name);
    return true;
}

bool FileTransaction::commit()
{
    if (broken || committed)
    {
        return false;
    }
    std::string journal;
    for (const std::string& name : targets)
    {
        journal += name + "\n";
    }
    journal += std::string(journalEnd) + "\n";
    // The commit point: before this rename nothing has changed, after it the save is made.
    if (!FileWriter::replace(folder + journalName, journal, why))
    {
        broken = true;
        return false;
    }
    committed = true;

    bool finished = true;
    for (const std::string& name : targets)
    {
        const std::string target = folder + name;
        if (std::rename(stagedPath(target).c_str(), target.c_str()) != 0)
        {
            why = target + ": rename failed (" + std::strerror(errno) + "); the next start finishes it";
            finished = false;
        }
    }
    std::string ignored;
    FileWriter::flushFolder(folder, ignored);
    if (finished)
    {
        std::remove((folder + journalName).c_str());
    }
    return true;
}

void FileTransaction::abandon()
{
    for (const std::string& name : targets)
    {
        std::remove(stagedPath(folder + name).c_str());
    }
    targets.clear();
}

void FileTransaction::recover(const std::string& folder)
{
    const std::string journal = folder + journalName;
    struct stat info;
    if (::lstat(journal.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
    {
        // Never read: a FIFO would hang every start.
        Core::log("FileTransaction: " + journal + " is " + FileWriter::kindOf(info.st_mode) +
                  ", not a journal of the game's, not read");
        dropLeftover(journal);
    }
    else if (exists(journal))
    {
        const std::vector<std::string> names = readJournal(journal);
        for (const std::string& name : names)
        {
            const std::string target = folder + name;
            const std::string staged = stagedPath(target);
            if (::lstat(staged.c_str(), &info) != 0)
            {
                continue; // already in place before the interruption
            }
            if (!S_ISREG(info.st_mode))
            {
                // Not written by the game: dropped with the leftovers below.
                Core::log("FileTransaction: " + staged + " is " + FileWriter::kindOf(info.st_mode) +
                          ", not a file the game staged, not put in place");
                continue;
            }
            if (::lstat(target.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
            {
                // The game never makes a link: the player did, and keeps it.
                Core::log("FileTransaction: " + target + " is a link, left as it is");
                continue;
            }
            if (std::rename(staged.c_str(), target.c_str()) == 0)
            {
                Core::log("FileTransaction: finished the interrupted save of " + target);
            }
            else
            {
                // Leave the journal: a later start tries again, and nothing is half-replaced.
                Core::log("FileTransaction: can't finish the interrupted save of " + target + ": " +
                          std::strerror(errno));
                return;
            }
        }
        std::string ignored;
        FileWriter::flushFolder(folder, ignored);
        std::remove(journal.c_str());
    }

    // What is left over now belongs to no save: a save cut off before its commit point.
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
    {
        return;
    }
    std::vector<std::string> leftovers;
    while (const dirent* entry = readdir(dir))
    {
        const std::string name = entry->d_name;
        if (!stagedFileOf(name).empty())
        {
            leftovers.push_back(name);
        }
    }
    closedir(dir);
    for (const std::string& name : leftovers)
    {
        dropLeftover(folder + name);
    }
}

bool FileTransaction::isGameFile(const std::string& name)
{
    if (name == "config.ini" || name == "hashes.ini" || name == "users.ini" || name == journalName)
    {
        return true;
    }
    const std::string profileStart = "user_";
    const std::string profileEnd = ".ini";
    return name.size() >= profileStart.size() + profileEnd.size() &&
           name.compare(0, profileStart.size(), profileStart) == 0 && endsWith(name, profileEnd) &&
           isPlainName(name);
}
