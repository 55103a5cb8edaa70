#include "HttpFixture.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
// Nothing a test does waits longer than this on one connection.
const int READ_LIMIT_MS = 5000;

int bindLoopback(int* port)
{
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
    {
        return -1;
    }
    const int yes = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    {
        close(s);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return s;
}

// False when the peer has gone before it took everything.
bool sendAll(int connection, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size())
    {
        const ssize_t n = send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
        {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

const char* reasonOf(int status)
{
    switch (status)
    {
    case 200:
        return "OK";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}
} // namespace

HttpFixture::HttpFixture()
    : listenSocket(-1), listenPort(0), stopping(false), mode(Answer), status(200), body("0\n"), streamTotal(0)
{
    listenSocket = bindLoopback(&listenPort);
    if (listenSocket < 0 || listen(listenSocket, 16) != 0)
    {
        throw std::runtime_error("HttpFixture: cannot listen on 127.0.0.1");
    }
    thread = std::thread(&HttpFixture::serve, this);
}

HttpFixture::~HttpFixture()
{
    stopping = true;
    thread.join();
    for (int connection : heldOpen)
    {
        close(connection);
    }
    close(listenSocket);
}

void HttpFixture::answer(const std::string& text, int statusCode)
{
    std::lock_guard<std::mutex> lock(mutex);
    mode = Answer;
    status = statusCode;
    body = text;
}

void HttpFixture::silent()
{
    std::lock_guard<std::mutex> lock(mutex);
    mode = Silent;
}

void HttpFixture::closeMidAnswer(const std::string& bodyStart)
{
    std::lock_guard<std::mutex> lock(mutex);
    mode = CloseMidAnswer;
    status = 200;
    body = bodyStart;
}

void HttpFixture::stream(const std::string& piece, size_t total, const std::string& head)
{
    std::lock_guard<std::mutex> lock(mutex);
    mode = Stream;
    status = 200;
    body = piece.empty() ? std::string("x") : piece;
    streamTotal = total;
    streamHead = head;
}

void HttpFixture::onRequest(const std::function<void()>& function)
{
    std::lock_guard<std::mutex> lock(mutex);
    callback = function;
}

std::string HttpFixture::host() const
{
    return "127.0.0.1:" + std::to_string(listenPort);
}

void HttpFixture::useForHighscores() const
{
    setenv("QUARROW_HIGHSCORE_HOST", host().c_str(), 1);
}

std::vector<std::string> HttpFixture::heads() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return requestHeads;
}

std::vector<std::string> HttpFixture::targets() const
{
    std::vector<std::string> result;
    for (const std::string& head : heads())
    {
        // "GET <target> HTTP/1.1"
        const size_t first = head.find(' ');
        const size_t second = first == std::string::npos ? first : head.find(' ', first + 1);
        result.push_back(second == std::string::npos ? "" : head.substr(first + 1, second - first - 1));
    }
    return result;
}

bool HttpFixture::waitForRequests(size_t count, int ms) const
{
    std::unique_lock<std::mutex> lock(mutex);
    return arrived.wait_for(lock, std::chrono::milliseconds(ms),
                            [&] { return requestHeads.size() >= count; });
}

void HttpFixture::serve()
{
    while (!stopping)
    {
        pollfd waiting = {listenSocket, POLLIN, 0};
        if (poll(&waiting, 1, 20) <= 0)
        {
            continue;
        }
        const int connection = accept4(listenSocket, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0)
        {
            handle(connection);
        }
    }
}

// One request per connection: read the head up to its blank line, then answer by the mode.
void HttpFixture::handle(int connection)
{
    std::string head;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(READ_LIMIT_MS);
    while (head.find("\r\n\r\n") == std::string::npos && !stopping && std::chrono::steady_clock::now() < end)
    {
        pollfd readable = {connection, POLLIN, 0};
        if (poll(&readable, 1, 20) <= 0)
        {
            continue;
        }
        char buffer[1024];
        const ssize_t n = recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0)
        {
            break;
        }
        head.append(buffer, static_cast<size_t>(n));
    }

    Mode currentMode;
    int currentStatus;
    std::string currentBody;
    size_t currentTotal;
    std::string currentHead;
    std::function<void()> currentCallback;
    {
        std::lock_guard<std::mutex> lock(mutex);
        requestHeads.push_back(head);
        currentMode = mode;
        currentStatus = status;
        currentBody = body;
        currentTotal = streamTotal;
        currentHead = streamHead;
        currentCallback = callback;
    }
    arrived.notify_all();
    if (currentCallback)
    {
        currentCallback();
    }

    if (currentMode == Silent)
    {
        // Closed when the fixture ends; the client gives up on its own.
        heldOpen.push_back(connection);
        return;
    }
    if (currentMode == Stream)
    {
        streamTo(connection, currentHead, currentBody, currentTotal, end);
        close(connection);
        return;
    }
    const size_t promised = currentBody.size() + (currentMode == CloseMidAnswer ? 100 : 0);
    sendAll(connection, "HTTP/1.1 " + std::to_string(currentStatus) + " " + reasonOf(currentStatus) +
                            "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(promised) +
                            "\r\nConnection: close\r\n\r\n" + currentBody);
    close(connection);
}

// Sends only when the socket takes more, so neither a client that stops reading nor the
// fixture's end waits on a blocked send.
void HttpFixture::streamTo(int connection, const std::string& head, const std::string& piece, size_t total,
                           std::chrono::steady_clock::time_point end)
{
    std::string block;
    while (block.size() < 64 * 1024)
    {
        block += piece;
    }
    if (!sendAll(connection,
                 "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n" + head))
    {
        return;
    }
    size_t offset = 0;
    size_t sent = 0;
    while (sent < total && !stopping && std::chrono::steady_clock::now() < end)
    {
        pollfd writable = {connection, POLLOUT, 0};
        if (poll(&writable, 1, 20) <= 0)
        {
            continue;
        }
        if ((writable.revents & (POLLERR | POLLHUP)) != 0)
        {
            return;
        }
        const size_t length = std::min(block.size() - offset, total - sent);
        const ssize_t n = send(connection, block.data() + offset, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        {
            continue;
        }
        if (n <= 0)
        {
            return;
        }
        sent += static_cast<size_t>(n);
        offset = (offset + static_cast<size_t>(n)) % block.size();
    }
}

int unusedLoopbackPort()
{
    int port = 0;
    const int s = bindLoopback(&port);
    if (s >= 0)
    {
        close(s);
    }
    return port;
}
