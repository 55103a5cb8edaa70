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

bool FileWriter::writeFlushed(const std::string& path, const std::string& contents, std::string& error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
    {
        error = describe(path, "open");
        return false;
    }
    const char* failedStep = nullptr;
    if (!writeAll(fd, contents))
    {
        failedStep = "write";
    }
    else if (::fsync(fd) != 0)
    {
        failedStep = "flush";
    }
    // close can report a write that the file system deferred.
    if (::close(fd) != 0 && failedStep == nullptr)
    {
        failedStep = "close";
    }
    if (failedStep != nullptr)
    {
        error = describe(path, failedStep);
        std::remove(path.c_str());
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
    // Beside the file itself, so that the rename stays within one folder.
    const std::string temp = path + ".tmp";
    if (!writeFlushed(temp, contents, error))
    {
        return false;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0)
    {
        error = describe(path, "rename");
        std::remove(temp.c_str());
        return false;
    }
    // The new name is in place; a failed folder flush only weakens what a power cut would keep.
    std::string ignored;
    flushFolder(folderOf(path), ignored);
    error.clear();
    return true;
}
