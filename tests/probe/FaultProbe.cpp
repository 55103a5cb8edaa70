// Preloaded into a test child or the real game to break it in the middle of a save. It counts the
// calls that change files: an open for writing (open, openat, creat, fopen), a write to a file
// opened that way, fsync, rename, unlink and mkdir. Writes to "log.txt" do not count: the log is
// not a save, and it must tell what happened. Nor does the step counter that the end-to-end tests'
// step probe keeps in the file QUARROW_STEP_PROBE names.
//
// QUARROW_FAULT chooses what happens at the Nth change counted:
//   "kill:N"  the process gets SIGKILL just before it, as in a crash or a power cut;
//   "full:N"  from it on the disk is full: the first write is cut short, every later one fails
//             with ENOSPC, and so does fsync of a file opened for writing;
//   unset     nothing: only counting.
// Counting starts when the process calls quarrowFaultArm() (found with dlsym(RTLD_DEFAULT, ...),
// so a test counts only the save it studies), which reads the variables at that moment, or at
// once when QUARROW_FAULT_ARMED=1.
// QUARROW_FAULT_TRACE names a file that gets one line per change ("<n> <call> <path or fd>"), so
// whoever sweeps the points knows how many there were even when the process was killed.
//
// The probe is built without the sanitizers and calls through to the next definition of each
// function (the sanitizer runtime's, then the C library's), so it works in either build.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

namespace
{

enum class Fault
{
    none,
    kill,
    full
};

struct Settings
{
    Fault fault = Fault::none;
    unsigned long at = 0;
    int trace = -1;
};

std::atomic<bool> armed(false);
std::atomic<unsigned long> changes(0);
std::atomic<unsigned long> refused(0);
std::atomic<bool> firstFullWrite(true);

// Files opened for writing, by descriptor: only their writes are changes.
const int maxTracked = 4096;
std::atomic<bool> writable[maxTracked];

template <typename F> F next(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

using OpenFn = int (*)(const char*, int, ...);
using OpenAtFn = int (*)(int, const char*, int, ...);
using WriteFn = ssize_t (*)(int, const void*, size_t);

WriteFn realWrite()
{
    static const WriteFn fn = next<WriteFn>("write");
    return fn;
}

// Set when counting starts; read by every change after that.
Settings current;

Settings fromEnvironment()
{
    Settings s;
    const char* fault = std::getenv("QUARROW_FAULT");
    if (fault != nullptr && std::strncmp(fault, "kill:", 5) == 0)
    {
        s.fault = Fault::kill;
        s.at = std::strtoul(fault + 5, nullptr, 10);
    }
    else if (fault != nullptr && std::strncmp(fault, "full:", 5) == 0)
    {
        s.fault = Fault::full;
        s.at = std::strtoul(fault + 5, nullptr, 10);
    }
    const char* trace = std::getenv("QUARROW_FAULT_TRACE");
    if (trace != nullptr && *trace != '\0')
    {
        static const OpenFn realOpen = next<OpenFn>("open");
        s.trace = realOpen(trace, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    }
    return s;
}

void arm()
{
    if (current.trace >= 0)
    {
        static const auto realClose = next<int (*)(int)>("close");
        realClose(current.trace);
    }
    current = fromEnvironment();
    changes = 0;
    refused = 0;
    firstFullWrite = true;
    armed = true;
}

// A process that cannot call quarrowFaultArm (the game itself) is armed from its start.
struct ArmAtStart
{
    ArmAtStart()
    {
        const char* start = std::getenv("QUARROW_FAULT_ARMED");
        if (start != nullptr && std::strcmp(start, "1") == 0)
            arm();
    }
} armAtStart;

// The log, and the step counter of the end-to-end tests' own probe: not files of a save.
bool ignored(const char* path)
{
    if (path == nullptr)
        return false;
    const size_t length = std::strlen(path);
    if (std::strcmp(path, "log.txt") == 0 || (length >= 8 && std::strcmp(path + length - 8, "/log.txt") == 0))
        return true;
    const char* steps = std::getenv("QUARROW_STEP_PROBE");
    return steps != nullptr && std::strcmp(path, steps) == 0;
}

bool opensForWriting(int flags)
{
    return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND)) != 0;
}

bool modeWrites(const char* mode)
{
    return mode != nullptr && (std::strchr(mode, 'w') != nullptr || std::strchr(mode, 'a') != nullptr ||
                               std::strchr(mode, '+') != nullptr);
}

void track(int fd, bool on)
{
    if (fd >= 0 && fd < maxTracked)
        writable[fd] = on;
}

bool tracked(int fd)
{
    return fd >= 0 && fd < maxTracked && writable[fd];
}

// Counts one change; kills the process first when it is the chosen one. True when the disk is
// full from here on.
bool change(const char* call, const char* what)
{
    if (!armed)
        return false;
    const Settings& s = current;
    const unsigned long n = ++changes;
    if (s.trace >= 0)
    {
        char line[512];
        const int length = std::snprintf(line, sizeof line, "%lu %s %s\n", n, call, what);
        if (length > 0)
            realWrite()(s.trace, line, static_cast<size_t>(length) < sizeof line ? length : sizeof line - 1);
    }
    if (s.fault == Fault::kill && n == s.at)
        ::kill(::getpid(), SIGKILL);
    return s.fault == Fault::full && n >= s.at;
}

bool changeFd(const char* call, int fd)
{
    char what[32];
    std::snprintf(what, sizeof what, "fd %d", fd);
    return change(call, what);
}

// A refused write or flush on a full disk.
int refuse()
{
    ++refused;
    errno = ENOSPC;
    return -1;
}

// What a write does on a full disk: the first one stores what still fits, the rest store nothing.
ssize_t fullWrite(int fd, const void* data, size_t size)
{
    if (firstFullWrite.exchange(false) && size > 1)
    {
        ++refused;
        return realWrite()(fd, data, size / 2);
    }
    return refuse();
}

// The open calls, counted when they open for writing; `open` makes the real call.
template <typename Open> int openCounted(const char* call, const char* path, bool forWriting, Open open)
{
    const bool writes = forWriting && !ignored(path);
    if (writes)
        change(call, path);
    const int fd = open();
    track(fd, writes);
    return fd;
}

template <typename Open> FILE* fopenCounted(const char* path, const char* mode, Open open)
{
    const bool writes = modeWrites(mode) && !ignored(path);
    if (writes)
        change("fopen", path);
    FILE* file = open();
    if (file != nullptr)
        track(fileno(file), writes);
    return file;
}

// The mode argument of open, which is there only when the flags may create a file.
mode_t modeArgument(int flags, va_list args)
{
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

} // namespace

extern "C"
{

    // Starts counting afresh, with QUARROW_FAULT and QUARROW_FAULT_TRACE as they are now.
    void quarrowFaultArm(void)
    {
        arm();
    }

    // Stops counting; returns the changes counted and, in *refused, how many writes and flushes
    // the full disk cut short or refused.
    unsigned long quarrowFaultDisarm(unsigned long* refusedCalls)
    {
        armed = false;
        if (refusedCalls != nullptr)
            *refusedCalls = refused;
        return changes;
    }

    int open(const char* path, int flags, ...)
    {
        static const OpenFn real = next<OpenFn>("open");
        va_list args;
        va_start(args, flags);
        const mode_t mode = modeArgument(flags, args);
        va_end(args);
        return openCounted("open", path, opensForWriting(flags), [&] { return real(path, flags, mode); });
    }

    int open64(const char* path, int flags, ...)
    {
        static const OpenFn real = next<OpenFn>("open64");
        va_list args;
        va_start(args, flags);
        const mode_t mode = modeArgument(flags, args);
        va_end(args);
        return openCounted("open", path, opensForWriting(flags), [&] { return real(path, flags, mode); });
    }

    int openat(int dir, const char* path, int flags, ...)
    {
        static const OpenAtFn real = next<OpenAtFn>("openat");
        va_list args;
        va_start(args, flags);
        const mode_t mode = modeArgument(flags, args);
        va_end(args);
        return openCounted("openat", path, opensForWriting(flags),
                           [&] { return real(dir, path, flags, mode); });
    }

    int openat64(int dir, const char* path, int flags, ...)
    {
        static const OpenAtFn real = next<OpenAtFn>("openat64");
        va_list args;
        va_start(args, flags);
        const mode_t mode = modeArgument(flags, args);
        va_end(args);
        return openCounted("openat", path, opensForWriting(flags),
                           [&] { return real(dir, path, flags, mode); });
    }

    int creat(const char* path, mode_t mode)
    {
        static const auto real = next<int (*)(const char*, mode_t)>("creat");
        return openCounted("creat", path, true, [&] { return real(path, mode); });
    }

    int creat64(const char* path, mode_t mode)
    {
        static const auto real = next<int (*)(const char*, mode_t)>("creat64");
        return openCounted("creat", path, true, [&] { return real(path, mode); });
    }

    FILE* fopen(const char* path, const char* mode)
    {
        static const auto real = next<FILE* (*)(const char*, const char*)>("fopen");
        return fopenCounted(path, mode, [&] { return real(path, mode); });
    }

    FILE* fopen64(const char* path, const char* mode)
    {
        static const auto real = next<FILE* (*)(const char*, const char*)>("fopen64");
        return fopenCounted(path, mode, [&] { return real(path, mode); });
    }

    int close(int fd)
    {
        static const auto real = next<int (*)(int)>("close");
        track(fd, false);
        return real(fd);
    }

    int fclose(FILE* file)
    {
        static const auto real = next<int (*)(FILE*)>("fclose");
        if (file != nullptr)
            track(fileno(file), false);
        return real(file);
    }

    ssize_t write(int fd, const void* data, size_t size)
    {
        if (tracked(fd) && changeFd("write", fd))
            return fullWrite(fd, data, size);
        return realWrite()(fd, data, size);
    }

    ssize_t pwrite(int fd, const void* data, size_t size, off_t offset)
    {
        static const auto real = next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
        if (tracked(fd) && changeFd("pwrite", fd))
            return refuse();
        return real(fd, data, size, offset);
    }

    ssize_t pwrite64(int fd, const void* data, size_t size, off_t offset)
    {
        static const auto real = next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite64");
        if (tracked(fd) && changeFd("pwrite", fd))
            return refuse();
        return real(fd, data, size, offset);
    }

    ssize_t writev(int fd, const struct iovec* parts, int count)
    {
        static const auto real = next<ssize_t (*)(int, const struct iovec*, int)>("writev");
        if (tracked(fd) && changeFd("writev", fd))
        {
            size_t size = 0;
            for (int i = 0; i < count; ++i)
                size += parts[i].iov_len;
            if (count > 0 && parts[0].iov_len > 1 && firstFullWrite.exchange(false))
            {
                ++refused;
                return realWrite()(fd, parts[0].iov_base, parts[0].iov_len / 2);
            }
            ++refused;
            errno = ENOSPC;
            return size == 0 ? 0 : -1;
        }
        return real(fd, parts, count);
    }

    int fsync(int fd)
    {
        static const auto real = next<int (*)(int)>("fsync");
        if (changeFd("fsync", fd) && tracked(fd))
            return refuse();
        return real(fd);
    }

    int fdatasync(int fd)
    {
        static const auto real = next<int (*)(int)>("fdatasync");
        if (changeFd("fdatasync", fd) && tracked(fd))
            return refuse();
        return real(fd);
    }

    int rename(const char* from, const char* to)
    {
        static const auto real = next<int (*)(const char*, const char*)>("rename");
        change("rename", to);
        return real(from, to);
    }

    int renameat(int fromDir, const char* from, int toDir, const char* to)
    {
        static const auto real = next<int (*)(int, const char*, int, const char*)>("renameat");
        change("renameat", to);
        return real(fromDir, from, toDir, to);
    }

    int unlink(const char* path)
    {
        static const auto real = next<int (*)(const char*)>("unlink");
        change("unlink", path);
        return real(path);
    }

    int unlinkat(int dir, const char* path, int flags)
    {
        static const auto real = next<int (*)(int, const char*, int)>("unlinkat");
        change("unlinkat", path);
        return real(dir, path, flags);
    }

    // The C library's remove calls its own unlink inside, out of a preloaded library's reach.
    int remove(const char* path)
    {
        static const auto real = next<int (*)(const char*)>("remove");
        change("remove", path);
        return real(path);
    }

    int mkdir(const char* path, mode_t mode)
    {
        static const auto real = next<int (*)(const char*, mode_t)>("mkdir");
        change("mkdir", path);
        return real(path, mode);
    }

} // extern "C"
