#include "FileTransaction.h"

#include "Core.h"
#include "FileReader.h"
#include "FileWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

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
        if (!isPlainName(line))
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
    if (!isPlainName(name))
    {
        broken = true;
        why = target + ": not a file of " + folder;
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
    if (exists(journal))
    {
        const std::vector<std::string> names = readJournal(journal);
        for (const std::string& name : names)
        {
            const std::string target = folder + name;
            if (!exists(stagedPath(target)))
            {
                continue; // already in place before the interruption
            }
            if (std::rename(stagedPath(target).c_str(), target.c_str()) == 0)
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
        std::remove((journal + ".tmp").c_str());
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
        if (endsWith(name, ".new") || endsWith(name, ".tmp"))
        {
            leftovers.push_back(name);
        }
    }
    closedir(dir);
    for (const std::string& name : leftovers)
    {
        if (std::remove((folder + name).c_str()) == 0)
        {
            Core::log("FileTransaction: dropped the unfinished " + folder + name);
        }
    }
}
