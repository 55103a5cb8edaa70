#pragma once

#include <string>
#include <sys/types.h>

// An X server of its own for one end-to-end test. The game's window is the only window on it, so
// keys typed there reach that window and nothing else, and the frames other tests draw at the same
// time never make this server fall behind.
class PrivateDisplay
{
  public:
    PrivateDisplay();
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    // ":N", or "" when the server did not start.
    const std::string& name() const { return display; }

  private:
    pid_t pid;
    std::string display;
};
