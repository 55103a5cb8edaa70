#include "GameSession.h"
#include "TestEnv.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace
{

void pause(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int occurrences(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

} // namespace

GameSession::GameSession(const std::string& work, const std::string& xdg,
                         const std::map<std::string, std::string>& environment, const std::string& binary)
    : log(xdg + "/vormel/Quarrow/log.txt"), probe(xdg + "/steps"), keyboard(nullptr), pid(-1), status(-1)
{
    if (display.name().empty())
        return;
    // The game starts its log afresh only once it runs: a last run's "game started" must not be
    // taken for this one's.
    unlink(log.c_str());
    unlink(probe.c_str());
    pid = fork();
    if (pid == 0)
    {
        setenv("DISPLAY", display.name().c_str(), 1);
        setenv("XDG_DATA_HOME", xdg.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        // Leaks are checked by the in-process tests; here the GL driver unloaded at exit would
        // leave an unattributable report that turns the exit status into 1. The step probe is
        // preloaded ahead of the sanitizer's runtime, which is fine for it.
        setenv("ASAN_OPTIONS", "detect_leaks=0:verify_asan_link_order=0", 1);
        setenv("LD_PRELOAD", QUARROW_STEP_PROBE_LIB, 1);
        setenv("QUARROW_STEP_PROBE", probe.c_str(), 1);
        for (const auto& variable : environment)
            setenv(variable.first.c_str(), variable.second.c_str(), 1);
        if (chdir(work.c_str()) != 0)
            _exit(100);
        execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
        _exit(101);
    }
}

GameSession::~GameSession()
{
    if (pid > 0)
    {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    if (keyboard != nullptr)
        XCloseDisplay(keyboard);
}

bool GameSession::start()
{
    if (pid <= 0 || !logHas("Core: game started"))
        return false;
    const std::string command = "DISPLAY=" + display.name() +
                                " timeout 60 xdotool search --sync --limit 1 --name '^Quarrow 1.0$' 2>/dev/null";
    FILE* search = popen(command.c_str(), "r");
    char line[64] = {0};
    if (search == nullptr)
        return false;
    const bool found = fgets(line, sizeof line, search) != nullptr;
    pclose(search);
    window = std::string(line).substr(0, std::string(line).find('\n'));
    if (!found || window.empty())
        return false;
    // The pointer on the window gives it the keyboard (there is no window manager to ask).
    xdotool("mousemove --window " + window + " 100 100");
    xdotool("windowfocus " + window);
    keyboard = XOpenDisplay(display.name().c_str());
    pause(1000);
    return keyboard != nullptr;
}

void GameSession::sendKey(const std::string& name, bool down)
{
    if (keyboard == nullptr)
        return;
    const KeyCode code = XKeysymToKeycode(keyboard, XStringToKeysym(name.c_str()));
    if (code == 0)
        return;
    XTestFakeKeyEvent(keyboard, code, down ? True : False, CurrentTime);
    XSync(keyboard, False);
}

bool GameSession::xdotool(const std::string& arguments) const
{
    const std::string command = "DISPLAY=" + display.name() + " xdotool " + arguments + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

void GameSession::keys(const std::string& names)
{
    for (size_t at = 0; at < names.size();)
    {
        const size_t space = names.find(' ', at);
        const std::string name = names.substr(at, space == std::string::npos ? std::string::npos : space - at);
        // Held through one step, as a finger would: the player's moves read the held keys, not the
        // presses. Released before the next one, so no step is long enough for a key repeat.
        const unsigned long long before = steps();
        sendKey(name, true);
        waitForSteps(before + 1);
        sendKey(name, false);
        waitForSteps(before + 3);
        // Enter and Escape open pages and screens. The first picture of one can keep the software
        // renderer busy for a while (new shaders), and a key typed meanwhile would land in the
        // same step as the one that opened it, and be read before the new page takes keys.
        pause(name == "Return" || name == "Escape" ? 1000 : 190);
        at = space == std::string::npos ? names.size() : space + 1;
    }
}

void GameSession::tap(const std::string& name, int steps)
{
    const unsigned long long before = this->steps();
    sendKey(name, true);
    waitForSteps(before + 3);
    sendKey(name, false);
    waitForSteps(before + static_cast<unsigned long long>(steps));
}

unsigned long long GameSession::steps() const
{
    unsigned long long count = 0;
    const int in = open(probe.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return 0;
    if (pread(in, &count, sizeof count, 0) != static_cast<ssize_t>(sizeof count))
        count = 0;
    close(in);
    return count;
}

void GameSession::waitForSteps(unsigned long long count)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (steps() < count && !ended() && std::chrono::steady_clock::now() < end)
        pause(2);
}

bool GameSession::holdUntil(const std::string& key, const std::string& path, const std::string& text,
                            int seconds)
{
    sendKey(key, true);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    bool found = false;
    while (!found && std::chrono::steady_clock::now() < end)
    {
        pause(50);
        found = readFile(path).find(text) != std::string::npos;
    }
    sendKey(key, false);
    return found;
}

bool GameSession::logHas(const std::string& text, int times, int seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end)
    {
        if (occurrences(readFile(log), text) >= times)
            return true;
        // A game that has ended writes nothing more.
        if (ended())
            return occurrences(readFile(log), text) >= times;
        pause(50);
    }
    return false;
}

bool GameSession::ended()
{
    if (pid > 0 && waitpid(pid, &status, WNOHANG) == pid)
        pid = -1;
    return pid <= 0;
}

int GameSession::terminate(int signal, int seconds)
{
    if (!ended())
        kill(pid, signal);
    return waitForExit(seconds);
}

int GameSession::waitForExit(int seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!ended() && std::chrono::steady_clock::now() < end)
        pause(50);
    if (pid > 0)
    {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
        return -1;
    }
    if (status == -1)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string GameSession::logText() const
{
    return readFile(log);
}
