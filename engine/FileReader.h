#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

// Reads one file through a small buffer, so no reader of the game ever holds more of a file than it
// asks for, and never reads more than `limit` bytes of it: an endless or huge file costs bounded
// memory and time. Only a plain file is read: a folder, a FIFO, a device or a socket in its place
// is refused at once, without waiting on it. Such a refusal, a read error and a file longer than
// the limit are normal failures with an error text, never an exception.
//
// In text mode "\r\n" is delivered as a single '\n', as a Windows text-mode stream would; a lone
// '\r' is kept. In binary mode every byte comes as it is.
class FileReader
{
  public:
    enum Mode
    {
        binary,
        text
    };

    // Generous for every file the game reads; readers of small files pass their own.
    static const size_t defaultLimit = 64 * 1024 * 1024;

    // Opens the file for reading, following links. Anything but a plain file, a file that cannot
    // be opened and one that cannot be read all leave the reader not open, with error() saying
    // why ("is a FIFO", "No such file or directory"). Reading past `limit` bytes of the file fails.
    explicit FileReader(const std::string& path, Mode mode = binary, size_t limit = defaultLimit);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool isOpen() const;
    // True once a read has failed (the data read before the failure stays delivered).
    bool failed() const;
    // True when that failure is the file going on past the limit: what was delivered is the
    // file's beginning, and a reader may keep it.
    bool overLimit() const;
    // True after the last byte has been delivered, or after a failure.
    bool atEnd();
    // Why the file could not be opened or read; "" while all is well.
    const std::string& error() const;
    const std::string& path() const;

    // The next byte (0-255), or -1 at the end or after a failure.
    int get();
    // The next byte without taking it, or -1.
    int peek();

    // Reads up to the next line end and takes the line end too. At most maxLength characters are
    // kept in line; the rest of an overlong line is skipped and `cut` is set. False when nothing
    // was left to read (line is then empty); a last line without a line end is a line.
    bool readLine(std::string& line, size_t maxLength, bool* cut = nullptr);

    // Appends everything that is left to bytes. False when the read failed or the file is longer
    // than the limit; bytes then holds nothing new.
    bool readAll(std::string& bytes);

    // The whole file at once: false, with the reason in error, when it cannot be opened or read or
    // is larger than limit.
    static bool readFile(const std::string& path, size_t limit, std::string& bytes, std::string& error,
                         Mode mode = binary);

    // Why a file of this type is not read: "is a folder", "is a FIFO", "is a device", "is a
    // socket", "is a link"; "" for a plain file.
    static std::string notAFile(mode_t mode);

  private:
    // Makes at least `wanted` bytes available in the buffer, fewer only at the end or after a
    // failure; false when none is left.
    bool fill(size_t wanted);
    // Whether a text-mode "\r\n" starts at the read position.
    bool crLf();
    void fail(const std::string& why);

    std::string filePath;
    Mode mode;
    int fd;
    size_t limit;
    size_t consumed; // bytes taken from the file so far
    bool readFailed;
    bool pastLimit;
    bool ended;
    std::string why;
    char buffer[64 * 1024];
    size_t position;
    size_t length;
};
