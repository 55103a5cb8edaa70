#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A small HTTP server on 127.0.0.1 for the high-score tests: listens on a free port from the
// moment it is made, records every request it reads and answers as the test says. Everything
// ends when the object goes: open connections are closed and the thread is joined.
class HttpFixture
{
  public:
    enum Mode
    {
        Answer,         // status line, Content-Length, the body, then the connection closes
        Silent,         // reads the request and never answers
        CloseMidAnswer, // promises more body than it sends, then closes
        Stream,         // status line without a length, a head, then the same piece over and over
    };

    HttpFixture();
    ~HttpFixture();

    // How the following requests are answered (default: Answer with status 200 and "0\n").
    void answer(const std::string& body, int status = 200);
    void silent();
    void closeMidAnswer(const std::string& bodyStart);
    // `head` once, then the piece over and over, with no length given, until the client hangs up
    // or `total` bytes of pieces have gone (then the answer ends as a closed connection); at most 5 s.
    void stream(const std::string& piece, size_t total, const std::string& head = "");

    // Runs on the server's thread after each request has been read, before the answer goes out.
    void onRequest(const std::function<void()>& callback);

    int port() const { return listenPort; }
    // "127.0.0.1:" and the port: what QUARROW_HIGHSCORE_HOST takes.
    std::string host() const;
    // Points the game at this server (sets QUARROW_HIGHSCORE_HOST).
    void useForHighscores() const;

    // The request targets received so far ("/api/highscore/?app_id=1"), in order.
    std::vector<std::string> targets() const;
    // The whole head of each request as received.
    std::vector<std::string> heads() const;
    // Waits until `count` requests have arrived, at most `ms` milliseconds.
    bool waitForRequests(size_t count, int ms) const;

  private:
    void serve();
    void handle(int connection);
    void streamTo(int connection, const std::string& head, const std::string& piece, size_t total,
                  std::chrono::steady_clock::time_point end);

    int listenSocket;
    int listenPort;
    std::atomic<bool> stopping;
    std::thread thread;
    mutable std::mutex mutex;
    mutable std::condition_variable arrived;
    Mode mode;
    int status;
    std::string body;
    size_t streamTotal;
    std::string streamHead;
    std::function<void()> callback;
    std::vector<std::string> requestHeads;
    std::vector<int> heldOpen;
};

// A loopback port with nobody listening on it (bound once, then released).
int unusedLoopbackPort();
