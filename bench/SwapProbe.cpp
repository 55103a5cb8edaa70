// Preloaded into the real game by bench_startup. Every buffer swap appends one line to the file
// that QUARROW_SWAP_PROBE_OUT names: the swap's number, CLOCK_MONOTONIC in nanoseconds once the
// swap has returned, and 1 when the game's log (QUARROW_SWAP_PROBE_LOG) already says the main loop
// has started, else 0. The game itself is left as it is.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>

namespace
{
bool mainLoopStarted(const char* logPath)
{
    if (logPath == nullptr)
        return false;
    FILE* log = std::fopen(logPath, "r");
    if (log == nullptr)
        return false;
    char line[512];
    bool started = false;
    while (!started && std::fgets(line, sizeof line, log) != nullptr)
        started = std::strstr(line, "Core: game started") != nullptr;
    std::fclose(log);
    return started;
}
} // namespace

extern "C" void SDL_GL_SwapBuffers(void)
{
    using SwapBuffers = void (*)(void);
    static const SwapBuffers realSwap = reinterpret_cast<SwapBuffers>(dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers"));
    static unsigned swaps = 0;
    static bool done = false;
    if (realSwap != nullptr)
        realSwap();
    const char* outPath = std::getenv("QUARROW_SWAP_PROBE_OUT");
    if (done || outPath == nullptr)
        return;

    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const bool started = mainLoopStarted(std::getenv("QUARROW_SWAP_PROBE_LOG"));
    FILE* out = std::fopen(outPath, "a");
    if (out != nullptr)
    {
        std::fprintf(out, "%u %lld %d\n", ++swaps,
                     static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec, started ? 1 : 0);
        std::fclose(out);
    }
    // Past the first frame of the main loop nothing more is of interest.
    done = started;
}
