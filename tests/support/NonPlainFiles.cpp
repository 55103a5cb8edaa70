#include "NonPlainFiles.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

bool makeNonPlain(const std::string& path, NonPlain kind)
{
    switch (kind)
    {
    case NonPlain::fifo:
        return mkfifo(path.c_str(), 0644) == 0;
    case NonPlain::device:
        // The null device's numbers, in the test's own folder: the system's node is never touched.
        return getuid() == 0 && mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    case NonPlain::socket:
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.size() >= sizeof(address.sun_path))
        {
            return false;
        }
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0)
        {
            return false;
        }
        // The bound name stays behind when the socket is closed; nobody listens on it.
        const bool bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
        close(fd);
        return bound;
    }
    case NonPlain::folder:
        return mkdir(path.c_str(), 0755) == 0;
    }
    return false;
}

std::string refusalOf(NonPlain kind)
{
    switch (kind)
    {
    case NonPlain::fifo:
        return "is a FIFO";
    case NonPlain::device:
        return "is a device";
    case NonPlain::socket:
        return "is a socket";
    case NonPlain::folder:
        return "is a folder";
    }
    return "";
}

std::string nameOf(NonPlain kind)
{
    switch (kind)
    {
    case NonPlain::fifo:
        return "fifo";
    case NonPlain::device:
        return "device";
    case NonPlain::socket:
        return "socket";
    case NonPlain::folder:
        return "folder";
    }
    return "";
}

std::string withinSeconds(int seconds, const std::function<std::string()>& work)
{
    int fds[2];
    if (pipe(fds) != 0)
    {
        return "no pipe";
    }
    const pid_t pid = fork();
    if (pid < 0)
    {
        close(fds[0]);
        close(fds[1]);
        return "no child process";
    }
    if (pid == 0)
    {
        close(fds[0]);
        const std::string result = work();
        size_t written = 0;
        while (written < result.size())
        {
            const ssize_t n = write(fds[1], result.data() + written, result.size() - written);
            if (n <= 0)
            {
                break;
            }
            written += static_cast<size_t>(n);
        }
        _exit(0);
    }
    close(fds[1]);
    std::string result;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    bool finished = false;
    while (!finished)
    {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
        {
            break;
        }
        pollfd waiting{fds[0], POLLIN, 0};
        if (poll(&waiting, 1, static_cast<int>(left.count())) != 1)
        {
            continue;
        }
        char buffer[4096];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n > 0)
        {
            result.append(buffer, static_cast<size_t>(n));
        }
        else
        {
            finished = true; // the child closed its end: it is done
        }
    }
    close(fds[0]);
    if (!finished)
    {
        kill(pid, SIGKILL);
    }
    waitpid(pid, nullptr, 0);
    return finished ? result : "still running after " + std::to_string(seconds) + " s";
}
