#include "FileReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FileReader::FileReader(const std::string& path, Mode mode, size_t limit)
    : filePath(path), mode(mode), fd(-1), limit(limit), consumed(0), readFailed(false), pastLimit(false),
      ended(false), position(0), length(0)
{
    // Without blocking: the open of a FIFO without a writer, or of some devices, would wait for
    // ever. A plain file reads the same either way.
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
    {
        // A socket or a device without a driver cannot be opened at all; name what stands there.
        const int error = errno;
        struct stat info;
        why = stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) ? notAFile(info.st_mode)
                                                                       : std::strerror(error);
        ended = true;
        return;
    }
    // Only a plain file has an end the game can count on: a pipe, a device or a socket could
    // keep it waiting or reading for ever.
    struct stat info;
    const bool known = fstat(fd, &info) == 0;
    if (!known || !S_ISREG(info.st_mode))
    {
        why = known ? notAFile(info.st_mode) : std::strerror(errno);
        ::close(fd);
        fd = -1;
        ended = true;
    }
}

std::string FileReader::notAFile(mode_t mode)
{
    if (S_ISREG(mode))
    {
        return "";
    }
    if (S_ISDIR(mode))
    {
        return "is a folder";
    }
    if (S_ISFIFO(mode))
    {
        return "is a FIFO";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode))
    {
        return "is a device";
    }
    if (S_ISSOCK(mode))
    {
        return "is a socket";
    }
    if (S_ISLNK(mode))
    {
        return "is a link";
    }
    return "is not a plain file";
}

FileReader::~FileReader()
{
    if (fd >= 0)
    {
        ::close(fd);
    }
}

bool FileReader::isOpen() const
{
    return fd >= 0;
}

bool FileReader::failed() const
{
    return readFailed || fd < 0;
}

bool FileReader::overLimit() const
{
    return pastLimit;
}

bool FileReader::atEnd()
{
    return peek() < 0;
}

const std::string& FileReader::error() const
{
    return why;
}

const std::string& FileReader::path() const
{
    return filePath;
}

void FileReader::fail(const std::string& reason)
{
    readFailed = true;
    ended = true;
    why = reason;
}

bool FileReader::fill(size_t wanted)
{
    while (length - position < wanted)
    {
        if (ended)
        {
            return length > position;
        }
        // Keep what is left at the front, so a look ahead across a refill loses nothing.
        std::memmove(buffer, buffer + position, length - position);
        length -= position;
        position = 0;

        if (consumed >= limit)
        {
            // Only a byte beyond the limit makes the file too long; one that ends there is fine.
            char probe;
            ssize_t got;
            do
            {
                got = ::read(fd, &probe, 1);
            } while (got < 0 && errno == EINTR);
            if (got == 0)
            {
                ended = true;
            }
            else if (got < 0)
            {
                fail(std::strerror(errno));
            }
            else
            {
                fail("longer than " + std::to_string(limit) + " bytes");
                pastLimit = true;
            }
            continue;
        }
        const size_t room = std::min(sizeof(buffer) - length, limit - consumed);
        ssize_t got;
        do
        {
            got = ::read(fd, buffer + length, room);
        } while (got < 0 && errno == EINTR);
        if (got < 0)
        {
            fail(std::strerror(errno));
            continue;
        }
        if (got == 0)
        {
            ended = true;
            continue;
        }
        length += static_cast<size_t>(got);
        consumed += static_cast<size_t>(got);
    }
    return true;
}

bool FileReader::crLf()
{
    return mode == text && buffer[position] == '\r' && fill(2) && length - position >= 2 &&
           buffer[position + 1] == '\n';
}

int FileReader::peek()
{
    if (!fill(1))
    {
        return -1;
    }
    return crLf() ? '\n' : static_cast<unsigned char>(buffer[position]);
}

int FileReader::get()
{
    if (!fill(1))
    {
        return -1;
    }
    if (crLf())
    {
        position += 2;
        return '\n';
    }
    return static_cast<unsigned char>(buffer[position++]);
}

bool FileReader::readLine(std::string& line, size_t maxLength, bool* cut)
{
    line.clear();
    // One byte more than asked for: it may be the '\r' of a "\r\n" line end.
    const size_t keep = maxLength < std::string::npos - 1 ? maxLength + 1 : maxLength;
    bool skipped = false;
    bool any = false;
    while (fill(1))
    {
        any = true;
        // Scan the buffered bytes for the line end instead of going byte by byte.
        const char* start = buffer + position;
        const char* newline = static_cast<const char*>(std::memchr(start, '\n', length - position));
        const size_t span = newline != nullptr ? static_cast<size_t>(newline - start) : length - position;
        const size_t room = keep - std::min(keep, line.size());
        line.append(start, std::min(span, room));
        skipped = skipped || span > room;
        position += span;
        if (newline != nullptr)
        {
            ++position;
            if (mode == text && !skipped && !line.empty() && line[line.size() - 1] == '\r')
            {
                line.erase(line.size() - 1);
            }
            break;
        }
    }
    const bool tooLong = skipped || line.size() > maxLength;
    if (line.size() > maxLength)
    {
        line.resize(maxLength);
    }
    if (cut != nullptr)
    {
        *cut = tooLong;
    }
    return any;
}

bool FileReader::readAll(std::string& bytes)
{
    const size_t before = bytes.size();
    while (fill(1))
    {
        bytes.append(buffer + position, length - position);
        position = length;
    }
    if (readFailed || fd < 0)
    {
        bytes.resize(before);
        return false;
    }
    if (mode == text)
    {
        size_t out = before;
        for (size_t in = before; in < bytes.size(); ++in)
        {
            if (bytes[in] == '\r' && in + 1 < bytes.size() && bytes[in + 1] == '\n')
            {
                continue;
            }
            bytes[out++] = bytes[in];
        }
        bytes.resize(out);
    }
    return true;
}

bool FileReader::readFile(const std::string& path, size_t limit, std::string& bytes, std::string& error,
                          Mode mode)
{
    bytes.clear();
    FileReader reader(path, mode, limit);
    if (!reader.isOpen() || !reader.readAll(bytes))
    {
        error = reader.error();
        return false;
    }
    error.clear();
    return true;
}
