#pragma once

#include <string>
#include <sys/types.h>

// The X window id (as xdotool prints it) of the "Quarrow 1.0" window that process `game` opened on
// this display, or "" when none shows within `seconds`.
std::string findGameWindow(pid_t game, int seconds = 60);

// Kills the game process, if it still runs, when the test leaves the scope early (a failed
// assertion): a game left behind would keep the test's output open until ctest's time limit.
class GameProcessGuard
{
  public:
    explicit GameProcessGuard(pid_t game) : pid(game) {}
    ~GameProcessGuard();
    GameProcessGuard(const GameProcessGuard&) = delete;
    GameProcessGuard& operator=(const GameProcessGuard&) = delete;

  private:
    pid_t pid;
};

// The xdotool arguments that send one key (press and release) to the window. A release of F12 (not
// held, so SDL ignores it) follows: SDL 1.2 takes a key-up directly followed by a key-down of the
// same key, both sent with time stamp 0, for a held key's repeat and drops both, and the shared X
// server may hand two presses of one key sent a while apart over in one go.
std::string keyArguments(const std::string& window, const std::string& key);
