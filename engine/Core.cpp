#include "Core.h"

#include "AudioDriver.h"
#include "Config.h"
#include "Device.h"
#include "Exception.h"
#include "FileReader.h"
#include "FileTransaction.h"
#include "Game.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <iostream>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

bool Core::running = true;
int Core::logFd = -1;
Config* Core::config = nullptr;
Device* Core::device = nullptr;
Game* Core::game = nullptr;
AudioDriver* Core::audioDriver = nullptr;
std::string Core::appDataDir;
int Core::lockFd = -1;
std::string Core::lockedFolder;
const char* const Core::lockFileName = "quarrow.lock";

Config* Core::getConfig()
{
    return config;
}

Device* Core::getDevice()
{
    return device;
}

Game* Core::getGame()
{
    return game;
}

AudioDriver* Core::getAudioDriver()
{
    return audioDriver;
}

namespace
{
// Set by SIGTERM or SIGINT; the main loop and the blocking screens turn it into a quit.
volatile std::sig_atomic_t stopRequested = 0;

extern "C" void requestStop(int)
{
    stopRequested = 1;
}
} // namespace

bool Core::isRunning()
{
    if (stopRequested != 0 && running)
    {
        quit();
    }
    return running;
}

// Makes path and every missing folder above it. Folders made here are the player's own (0700),
// as the base-directory rules ask; existing ones are left as they are. A failure shows later,
// when the log cannot be opened there.
static void ensureFolder(const std::string& path)
{
    if (path.empty() || access(path.c_str(), F_OK) == 0)
    {
        return;
    }
    const size_t slash = path.find_last_of('/', path.find_last_not_of('/'));
    if (slash != std::string::npos && slash > 0)
    {
        ensureFolder(path.substr(0, slash));
    }
    mkdir(path.c_str(), 0700);
}

// The same folder however it was spelled: no doubled separators, none at the end.
static std::string withoutExtraSlashes(const std::string& path)
{
    std::string clean;
    for (const char c : path)
    {
        if (c != '/' || clean.empty() || clean.back() != '/')
        {
            clean.push_back(c);
        }
    }
    while (clean.size() > 1 && clean.back() == '/')
    {
        clean.pop_back();
    }
    return clean;
}

std::string Core::getDataHome()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg != nullptr && xdg[0] != '\0')
    {
        return withoutExtraSlashes(xdg);
    }
    std::string home;
    const char* variable = std::getenv("HOME");
    if (variable != nullptr && variable[0] != '\0')
    {
        home = variable;
    }
    else if (const passwd* account = getpwuid(getuid()); account != nullptr && account->pw_dir != nullptr)
    {
        // A service or a stripped environment: the account still has its home.
        home = account->pw_dir;
    }
    if (home.empty())
    {
        return "";
    }
    home = withoutExtraSlashes(home);
    return (home == "/" ? "" : home) + "/.local/share";
}

std::string Core::getAppDataDir()
{
    if (!appDataDir.empty())
    {
        return appDataDir;
    }

    const std::string base = getDataHome();
    std::string folder;
    if (base.empty())
    {
        // Nowhere to keep per-user files: use the working folder.
        folder = "./";
    }
    else
    {
        folder = (base == "/" ? "" : base) + "/vormel/Quarrow";
        ensureFolder(folder);
        folder += "/";
    }
    appDataDir = folder;
    return appDataDir;
}

namespace
{

// Takes the lock on fd without waiting: 0, or the errno of the failure.
int lockNow(int fd)
{
    int result;
    do
    {
        result = flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

// Opens the lock file without following a link or waiting on what stands there: -1 with `why`
// set when it is not a plain file that can be opened.
int openLockFile(const std::string& path, std::string& why)
{
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
    {
        // Never opened: a link would create its target outside the folder, a device could be
        // anything.
        why = FileReader::notAFile(info.st_mode);
        return -1;
    }
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | flags, 0644);
    if (fd < 0 && (errno == EACCES || errno == EROFS))
    {
        // A lock holds on a file open for reading too: a lock file the player may not write (one
        // from a restored backup, a read-only folder) still keeps a second start off.
        fd = ::open(path.c_str(), O_RDONLY | flags);
    }
    if (fd < 0)
    {
        why = errno == ELOOP ? std::string("is a link")
                             : std::string("can't be opened (") + std::strerror(errno) + ")";
        return -1;
    }
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    {
        why = FileReader::notAFile(info.st_mode);
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

bool Core::lockAppData(const std::string& folder, std::string& notice)
{
    if (lockFd >= 0 && lockedFolder == folder)
    {
        return true; // a start-up again in the same process
    }
    unlockAppData();
    const std::string path = folder + lockFileName;
    std::string why;
    int fd = openLockFile(path, why);
    std::string held = path;
    if (fd < 0)
    {
        // Every start that finds the lock file unusable locks the folder itself, so two of them
        // still keep each other off.
        fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        held = folder;
        if (fd < 0)
        {
            notice = "Core: " + path + " " + why + " and " + folder + " can't be opened (" +
                     std::strerror(errno) + "), a second start of the game is not kept off this folder";
            return true;
        }
        notice = "Core: " + path + " " + why + ", the lock is held on " + folder + " instead";
    }
    const int result = lockNow(fd);
    if (result != 0)
    {
        ::close(fd);
        if (result == EWOULDBLOCK)
        {
            return false;
        }
        // A file system without locks: play on as before.
        notice = "Core: can't lock " + held + " (" + std::strerror(result) +
                 "), a second start of the game is not kept off this folder";
        return true;
    }
    // The lock belongs to this open file and dies with the process: a crash leaves none behind.
    lockFd = fd;
    lockedFolder = folder;
    return true;
}

void Core::unlockAppData()
{
    if (lockFd >= 0)
    {
        ::close(lockFd);
    }
    lockFd = -1;
    lockedFolder.clear();
}

bool Core::openLog(const std::string& path, std::string& why)
{
    if (logFd >= 0)
    {
        ::close(logFd); // a start-up again in the same process
        logFd = -1;
    }
    // Without blocking: the open of a FIFO would wait for a reader, and then every line for it.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    struct stat info;
    if (fd < 0)
    {
        const int error = errno;
        why = stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) ? FileReader::notAFile(info.st_mode)
                                                                       : std::strerror(error);
        return false;
    }
    if (fstat(fd, &info) != 0)
    {
        why = std::strerror(errno);
    }
    else if (S_ISREG(info.st_mode))
    {
        if (ftruncate(fd, 0) != 0)
        {
            why = std::strerror(errno);
        }
    }
    else if (!S_ISCHR(info.st_mode))
    {
        why = FileReader::notAFile(info.st_mode);
    }
    if (!why.empty())
    {
        ::close(fd);
        return false;
    }
    logFd = fd;
    return true;
}

void Core::log(const std::string& message)
{
    if (logFd < 0)
    {
        return;
    }
    const std::string line = message + '\n';
    // One write per line, as a flushed stream would; a device that cannot take it now loses it.
    size_t written = 0;
    while (written < line.size())
    {
        const ssize_t result = ::write(logFd, line.data() + written, line.size() - written);
        if (result < 0 && errno == EINTR)
        {
            continue;
        }
        if (result <= 0)
        {
            return;
        }
        written += static_cast<size_t>(result);
    }
}

void Core::quit()
{
    running = false;
    log("Core: quit signal\n");
}

int Core::init(const std::string& configFileName)
{
    const std::string folder = getAppDataDir();
    // Before anything in the folder is written, the log included: two games on one folder would
    // each rewrite the players and hashes they read at their start.
    std::string lockNotice;
    if (!lockAppData(folder, lockNotice))
    {
        std::cerr << "Quarrow is already running with " << folder << ", close it first" << std::endl;
        return -1;
    }
    const std::string logPath = folder + "log.txt";
    std::string why;
    if (!openLog(logPath, why))
    {
        std::cerr << "Can't open log file " << logPath << " (" << why << ")" << std::endl;
        return -1;
    }
    if (folder == "./")
    {
        log("Core: neither XDG_DATA_HOME nor HOME is set and the account has no home folder, keeping "
            "files in the working folder");
    }
    if (!lockNotice.empty())
    {
        log(lockNotice);
    }
    // Before anything in the folder is read: a save cut off by a crash is finished or dropped.
    FileTransaction::recover(folder);

    try
    {
        config = new Config(folder + configFileName);

        audioDriver = new AudioDriver();
        audioDriver->createChannels();

        device = new Device();
        device->initVideo();

        // Stored before createObjects: the level and the profiles reach it through getGame.
        game = new Game();
        game->createObjects();
        game->getFirstLevel();
    }
    catch (Exception* e)
    {
        log("Init error: " + e->getMessage());
        std::cerr << "Init error: " << e->getMessage() << std::endl;
        const int code = e->getCode();
        delete e;
        return code;
    }
    catch (const std::exception& e)
    {
        // The runtime's own errors (out of memory, a failed stream) end start-up the same way.
        log(std::string("Init error: ") + e.what());
        std::cerr << "Init error: " << e.what() << std::endl;
        return -1;
    }
    return 0;
}

void Core::step()
{
    try
    {
        audioDriver->update();
        device->processEvents();
        if (running)
        {
            game->update();
        }
        if (running)
        {
            const bool changed = game->isStateChanged();
            game->draw();
            if (!changed)
            {
                device->swapBuffers();
            }
        }
    }
    catch (Exception* e)
    {
        // Nothing above the loop can handle it: report it and keep playing.
        log("Core: error: " + e->getMessage());
        delete e;
    }
    catch (const std::exception& e)
    {
        log(std::string("Core: error: ") + e.what());
    }
}

int Core::run()
{
    // Caught from the first moment: before the window library takes these signals the default
    // would end the start-up without its shut-down. The library leaves a handler of ours in place.
    std::signal(SIGTERM, requestStop);
    std::signal(SIGINT, requestStop);
    const int result = init("config.ini");
    if (result == 0)
    {
        log("\nCore: game started");
        uint32_t last = device->getTicks();
        while (isRunning())
        {
            const uint32_t now = device->getTicks();
            if (now >= last + 16)
            {
                step();
                last = now;
            }
        }
    }
    shutdown();
    return result;
}

// A destructor that throws (the configuration's save, a profile's write) must not keep the
// remaining singletons from being deleted or the program from ending cleanly.
// Each pointer is cleared once deleted, so a later start-up in the same process begins from nothing.
template <typename T> static void deleteSingleton(T*& object)
{
    if (object == nullptr)
    {
        return;
    }
    T* const doomed = object;
    object = nullptr;
    try
    {
        delete doomed;
    }
    catch (Exception* e)
    {
        Core::log("Core: shutdown error: " + e->getMessage());
        delete e;
    }
}

void Core::shutdown()
{
    deleteSingleton(game);
    deleteSingleton(device);
    deleteSingleton(audioDriver);
    deleteSingleton(config);
    if (logFd >= 0)
    {
        ::close(logFd);
        logFd = -1;
    }
    unlockAppData();
    // A later start-up in the same process looks for its folder afresh.
    appDataDir.clear();
}
