#pragma once

#include <csignal>
#include <sys/resource.h>

// A full disk, as far as this process can tell, while it lives: no file may grow past `bytes`, and
// a write beyond that fails with EFBIG (SIGXFSZ is ignored meanwhile). Unlike a read-only folder it
// stops root too. It stops every file, the game's log among them: the log stream stays failed after
// the limit is lifted, so check the log only for what was written before.
class FileSizeLimit
{
  public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &previous);
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = previous;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit previous;
    void (*previousHandler)(int);
};
