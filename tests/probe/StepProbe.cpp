// Preloaded into the real game by the end-to-end tests. Each time the game has drained its event
// queue (SDL_PollEvent says there is nothing more), which the game does once a step, a counter is
// written to the first eight bytes of the file that QUARROW_STEP_PROBE names. The tests wait on it
// so that every key they type gets a step of its own. The game itself is left as it is.
#include <SDL/SDL.h>
#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

extern "C" int SDL_PollEvent(SDL_Event* event)
{
    using PollEvent = int (*)(SDL_Event*);
    static const PollEvent realPoll = reinterpret_cast<PollEvent>(dlsym(RTLD_NEXT, "SDL_PollEvent"));
    static int out = -2;
    static uint64_t drains = 0;
    if (realPoll == nullptr)
        return 0;
    const int result = realPoll(event);
    if (result != 0)
        return result;
    if (out == -2)
    {
        const char* path = std::getenv("QUARROW_STEP_PROBE");
        out = path != nullptr ? open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0644) : -1;
    }
    ++drains;
    if (out >= 0 && pwrite(out, &drains, sizeof drains, 0) != static_cast<ssize_t>(sizeof drains))
        out = -1;
    return result;
}
