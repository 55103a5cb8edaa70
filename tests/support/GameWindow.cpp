#include "GameWindow.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <thread>

std::string findGameWindow(pid_t game, int seconds)
{
    // Other tests open and close windows of the same caption on the shared display all the time. A
    // search walks every window, and one that closes meanwhile ends it with an X error (BadWindow)
    // and no answer: such a search is simply asked again.
    const std::string command = "xdotool search --all --pid " + std::to_string(game) +
                                " --name '^Quarrow 1.0$' 2>/dev/null | head -n 1";
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end)
    {
        char line[64] = {0};
        FILE* search = popen(command.c_str(), "r");
        const bool found = search != nullptr && fgets(line, sizeof line, search) != nullptr;
        if (search != nullptr)
        {
            pclose(search);
        }
        const std::string id = std::string(line).substr(0, std::string(line).find('\n'));
        if (found && !id.empty())
        {
            return id;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return std::string();
}

GameProcessGuard::~GameProcessGuard()
{
    // Already reaped by the test (waitpid fails) or still running: only the second is ended here.
    if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0)
    {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

std::string keyArguments(const std::string& window, const std::string& key)
{
    return "key --window " + window + " " + key + " keyup --window " + window + " F12";
}
