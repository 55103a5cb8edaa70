#include "Core.h"

#include "AudioDriver.h"
#include "Config.h"
#include "Device.h"
#include "Exception.h"
#include "FileTransaction.h"
#include "Game.h"

#include <cerrno>
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
std::ofstream Core::logStream;
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

bool Core::isRunning()
{
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

bool Core::lockAppData(const std::string& folder, std::string& problem)
{
    if (lockFd >= 0 && lockedFolder == folder)
    {
        return true; // a start-up again in the same process
    }
    unlockAppData();
    const std::string path = folder + lockFileName;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
    {
        problem = "can't open " + path + " (" + std::strerror(errno) + ")";
        return true;
    }
    int result;
    do
    {
        result = flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0)
    {
        const int why = errno;
        ::close(fd);
        if (why == EWOULDBLOCK)
        {
            return false;
        }
        // A file system without locks: play on as before.
        problem = "can't lock " + path + " (" + std::strerror(why) + ")";
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

void Core::log(const std::string& message)
{
    logStream << message << '\n';
    logStream.flush();
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
    std::string lockProblem;
    if (!lockAppData(folder, lockProblem))
    {
        std::cerr << "Quarrow is already running with " << folder << ", close it first" << std::endl;
        return -1;
    }
    const std::string logPath = folder + "log.txt";
    errno = 0;
    logStream.open(logPath, std::ios::out | std::ios::trunc);
    if (!logStream.is_open())
    {
        const int why = errno;
        std::cerr << "Can't open log file " << logPath;
        if (why != 0)
        {
            std::cerr << " (" << std::strerror(why) << ")";
        }
        std::cerr << std::endl;
        return -1;
    }
    if (folder == "./")
    {
        log("Core: neither XDG_DATA_HOME nor HOME is set and the account has no home folder, keeping "
            "files in the working folder");
    }
    if (!lockProblem.empty())
    {
        log("Core: " + lockProblem + ", a second start of the game is not kept off this folder");
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
    const int result = init("config.ini");
    if (result == 0)
    {
        log("\nCore: game started");
        uint32_t last = device->getTicks();
        while (running)
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
    logStream.close();
    unlockAppData();
    // A later start-up in the same process looks for its folder afresh.
    appDataDir.clear();
}
