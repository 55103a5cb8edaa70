#include "FileWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

std::string describe(const std::string& path, const char* step)
{
    return path + ": " + step + " failed (" + std::strerror(errno) + ")";
}

bool writeAll(int fd, const std::string& contents)
{
    size_t done = 0;
    while (done < contents.size())
    {
        const ssize_t wrote = ::write(fd, contents.data() + done, contents.size() - done);
        if (wrote < 0 && errno == EINTR)
        {
            continue;
        }
        if (wrote <= 0)
        {
            if (wrote == 0)
            {
                errno = ENOSPC;
            }
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

// Writes, flushes (a device or FIFO has nothing to flush) and closes fd. False, with the failed
// step in error, when any of it failed.
bool finish(int fd, const std::string& path, const std::string& contents, bool flush, std::string& error)
{
    const char* failedStep = nullptr;
    if (!writeAll(fd, contents))
    {
        failedStep = "write";
    }
    else if (flush && ::fsync(fd) != 0)
    {
        failedStep = "flush";
    }
    int why = errno;
    // close can report a write that the file system deferred.
    if (::close(fd) != 0 && failedStep == nullptr)
    {
        failedStep = "close";
        why = errno;
    }
    if (failedStep != nullptr)
    {
        errno = why;
        error = describe(path, failedStep);
        return false;
    }
    return true;
}

// A device, FIFO or socket that a player put in the file's place is written where it is: a FIFO
// without a reader or a socket fails at once instead of hanging the game.
bool writeInPlace(const std::string& path, const std::string& contents, std::string& error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
    {
        error = describe(path, "open");
        return false;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || S_ISREG(info.st_mode) || S_ISDIR(info.st_mode))
    {
        // Swapped for a file since it was looked at: writing without truncating would mix the two.
        ::close(fd);
        error = path + ": changed while being saved, not saved";
        return false;
    }
    return finish(fd, path, contents, false, error);
}

// Creates the file that the new bytes go into beside path; never opens an existing one.
// ownFolder: path is in the folder the caller named, where path + ".tmp" is the game's own name.
int openTemporary(const std::string& path, bool ownFolder, std::string& temp, std::string& error)
{
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (ownFolder)
    {
        temp = path + ".tmp";
        struct stat info;
        if (::lstat(temp.c_str(), &info) == 0)
        {
            // A save cut off earlier left it; anything else there is not ours to remove.
            if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode))
            {
                error = temp + ": " + FileWriter::kindOf(info.st_mode) + " is in the way, not saved";
                return -1;
            }
            if (::unlink(temp.c_str()) != 0)
            {
                error = describe(temp, "removing the old temporary file");
                return -1;
            }
        }
        const int fd = ::open(temp.c_str(), flags, 0644);
        if (fd < 0)
        {
            error = describe(temp, "open");
        }
        return fd;
    }
    // Beside a file of the player's, any name may be theirs.
    const int maxTries = 100;
    for (int attempt = 0; attempt < maxTries; ++attempt)
    {
        temp = path + ".tmp" + (attempt == 0 ? std::string() : std::to_string(attempt));
        const int fd = ::open(temp.c_str(), flags, 0644);
        if (fd >= 0 || errno != EEXIST)
        {
            if (fd < 0)
            {
                error = describe(temp, "open");
            }
            return fd;
        }
    }
    error = path + ": no free name beside it for the new file (" + path + ".tmp to .tmp" +
            std::to_string(maxTries - 1) + " are taken), not saved";
    return -1;
}

// The path a chain of symbolic links ends at; a relative link counts from its own folder. The
// end need not exist. False, with the reason in error, for a loop or an unreadable link.
bool resolveLinks(const std::string& path, std::string& end, std::string& error)
{
    // As many hops as the kernel itself follows.
    const int maxHops = 40;
    end = path;
    for (int hop = 0; hop < maxHops; ++hop)
    {
        struct stat info;
        if (::lstat(end.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        {
            return true;
        }
        std::string target(static_cast<size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t length = ::readlink(end.c_str(), &target[0], target.size());
        if (length < 0 || static_cast<size_t>(length) >= target.size())
        {
            error = describe(end, "reading the link");
            return false;
        }
        target.resize(static_cast<size_t>(length));
        end = target[0] == '/' ? target : FileWriter::folderOf(end) + target;
    }
    errno = ELOOP;
    error = describe(path, "following the links");
    return false;
}

} // namespace

std::string FileWriter::folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

bool FileWriter::flushFolder(const std::string& folder, std::string& error)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
    {
        error = describe(folder, "open");
        return false;
    }
    const bool flushed = ::fsync(fd) == 0 || errno == EINVAL;
    if (!flushed)
    {
        error = describe(folder, "flush");
    }
    ::close(fd);
    return flushed;
}

const char* FileWriter::kindOf(unsigned mode)
{
    switch (mode & S_IFMT)
    {
    case S_IFREG:
        return "a plain file";
    case S_IFDIR:
        return "a folder";
    case S_IFLNK:
        return "a link";
    case S_IFCHR:
        return "a character device";
    case S_IFBLK:
        return "a block device";
    case S_IFIFO:
        return "a FIFO";
    case S_IFSOCK:
        return "a socket";
    default:
        return "not a plain file";
    }
}

bool FileWriter::writeFlushed(const std::string& path, const std::string& contents, std::string& error)
{
    // A folder is left to the open, which names it.
    struct stat info;
    if (::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
    {
        error = path + ": is " + kindOf(info.st_mode) + ", not a plain file, not written";
        return false;
    }
    const int fd = ::open(
        path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0)
    {
        error = describe(path, "open");
        return false;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    {
        ::close(fd);
        error = path + ": changed while being written, not written";
        return false;
    }
    if (!finish(fd, path, contents, true, error))
    {
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

bool FileWriter::replace(const std::string& given, const std::string& contents, std::string& error,
                         Links links)
{
    std::string path = given;
    if (links == Links::follow && !resolveLinks(given, path, error))
    {
        return false;
    }
    struct stat target;
    const bool there = ::lstat(path.c_str(), &target) == 0;
    if (there && (S_ISCHR(target.st_mode) || S_ISFIFO(target.st_mode) || S_ISSOCK(target.st_mode)))
    {
        if (!writeInPlace(path, contents, error))
        {
            return false;
        }
        error.clear();
        return true;
    }
    // A folder fails at the rename, which names it; a disk is never written.
    if (there && S_ISBLK(target.st_mode))
    {
        error = path + ": is " + kindOf(target.st_mode) + ", not saved";
        return false;
    }
    if (there && S_ISREG(target.st_mode) && (target.st_mode & 0222) == 0)
    {
        // Its owner keeps it as it is.
        error = path + ": is read-only, not saved";
        return false;
    }
    // Beside the file itself, so that the rename stays within one folder. (A link left at path is
    // only possible with Links::replace, and is replaced by a plain file.)
    std::string temp;
    const int fd = openTemporary(path, path == given, temp, error);
    if (fd < 0)
    {
        return false;
    }
    if (there && S_ISREG(target.st_mode) && ::fchmod(fd, target.st_mode & 0777) != 0)
    {
        error = describe(temp, "setting the mode");
        ::close(fd);
        ::unlink(temp.c_str());
        return false;
    }
    if (!finish(fd, temp, contents, true, error))
    {
        ::unlink(temp.c_str());
        return false;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0)
    {
        error = describe(path, "rename");
        ::unlink(temp.c_str());
        return false;
    }
    // The new name is in place; a failed folder flush only weakens what a power cut would keep.
    std::string ignored;
    flushFolder(folderOf(path), ignored);
    error.clear();
    return true;
}
