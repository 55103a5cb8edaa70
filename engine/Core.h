#pragma once

#include <string>

class Config;
class Device;
class Game;
class AudioDriver;

// The engine's static core: owns the singletons, the log and the step loop.
class Core
{
  public:
    static Config* getConfig();
    static Device* getDevice();
    static Game* getGame();
    static AudioDriver* getAudioDriver();

    static bool isRunning();
    // The per-user data folder, ending in a separator; built and created on the first call.
    static std::string getAppDataDir();
    // The XDG data home the folder lies in, without a closing separator: $XDG_DATA_HOME, else the
    // home folder's .local/share, the home taken from $HOME or else from the account's entry in
    // the password database. "" when there is none. Looks only at the environment.
    static std::string getDataHome();
    // The lock file that keeps a second game off the data folder while this one runs.
    static const char* const lockFileName;

    static void log(const std::string& message);
    static void quit();

    // Creates everything; 0 on success, the error's code otherwise.
    static int init(const std::string& configFileName);
    // Start-up, main loop, shut-down; returns what init returned.
    static int run();
    // One step of the main loop, without the 16 ms gate. Shared by run() and the tests.
    static void step();
    static void shutdown();

  private:
    static bool running;
    // log.txt, or the device it stands for; -1 while no log is open.
    static int logFd;
    static Config* config;
    static Device* device;
    static Game* game;
    static AudioDriver* audioDriver;
    static std::string appDataDir;
    // The locked lock file (or the folder itself) while this process holds the data folder, or -1.
    static int lockFd;
    static std::string lockedFolder;

    // Takes the data folder for this process. False when another game holds it; otherwise true,
    // with `notice` holding a log line when the lock is not the usual one or none could be taken.
    static bool lockAppData(const std::string& folder, std::string& notice);
    // Opens log.txt without waiting on it: a plain file is emptied, a device such as a null device
    // is used as it is, anything else is refused. False with the reason in `why`.
    static bool openLog(const std::string& path, std::string& why);
    static void unlockAppData();
};
