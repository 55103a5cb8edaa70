#include "PrivateDisplay.h"

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

PrivateDisplay::PrivateDisplay() : pid(-1)
{
    // Xvfb picks a free display number itself and writes it to the pipe once it accepts clients.
    int fds[2];
    if (pipe(fds) != 0)
        return;
    pid = fork();
    if (pid == 0)
    {
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        // The screen is the window's size: wherever the window opens, the pointer (and with it
        // the keyboard focus of a server without a window manager) is on it.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
               "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0)
    {
        close(fds[0]);
        return;
    }
    std::string number;
    pollfd waiting{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&waiting, 1, 30000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (!number.empty())
        display = ":" + number;
}

PrivateDisplay::~PrivateDisplay()
{
    if (pid > 0)
    {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}
