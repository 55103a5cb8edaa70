#pragma once

#include "PrivateDisplay.h"

#include <map>
#include <string>
#include <sys/types.h>

struct _XDisplay;

// One run of the real game binary on a display of its own, in the working folder `work`, with its
// application data under `xdg`, typed at through the X server's test extension as a player would.
class GameSession
{
  public:
    // binary: the game to run; the build's own unless another build is to be tried.
    GameSession(const std::string& work, const std::string& xdg,
                const std::map<std::string, std::string>& environment = {},
                const std::string& binary = QUARROW_BINARY);
    ~GameSession();
    GameSession(const GameSession&) = delete;
    GameSession& operator=(const GameSession&) = delete;

    // Waits for "Core: game started" and the window; false when either does not come.
    bool start();

    // Presses and releases each of the space-separated key names (X keysym names), each held for
    // one step of the game and followed by two more steps and a quarter second (a second after
    // Enter and Escape), so every press lands in a step of its own however slow the steps are.
    void keys(const std::string& names);

    // Holds the key down for three steps of the game (a busy X server can bring a press and its
    // release to the same step), then waits until `steps` steps have passed since it went down, at
    // most ten seconds each. A move of the player takes 13 steps.
    void tap(const std::string& name, int steps);

    // Holds the key down until the file holds the text, at most `seconds`.
    bool holdUntil(const std::string& key, const std::string& path, const std::string& text,
                   int seconds = 60);

    // Waits until the log holds the text at least `times` times.
    bool logHas(const std::string& text, int times = 1, int seconds = 60);

    // Sends the signal and returns the exit status, or -1 after killing a game that did not end.
    int terminate(int signal = 15, int seconds = 60);
    // The exit status once the game ends by itself, or -1 after killing it at the time limit.
    int waitForExit(int seconds = 60);

    // True once the game has ended; its status is kept for waitForExit.
    bool ended();

    std::string logText() const;
    const std::string log;

  private:
    bool xdotool(const std::string& arguments) const;
    // Sends one key event straight through the test extension: no helper process to start, so a
    // key is held exactly as long as asked, even on a busy machine.
    void sendKey(const std::string& name, bool down);
    // How many steps the game has taken (its event queue drains, counted by the preloaded probe).
    unsigned long long steps() const;
    // Waits until the game has taken `count` steps, has ended, or ten seconds have passed.
    void waitForSteps(unsigned long long count);

    PrivateDisplay display;
    const std::string probe;
    _XDisplay* keyboard;
    pid_t pid;
    int status;
    std::string window;
};
