// One play step, one picture, the overview and a level load, on a shipped level and on the
// 128 x 128 stress level, in one real game (window under Xvfb, the machine's OpenGL).
#include "BenchSupport.h"
#include "Core.h"
#include "Device.h"
#include "Entity.h"
#include "Entity_Bomb.h"
#include "Game.h"
#include "Harness.h"
#include "Level.h"
#include "Map.h"
#include "VideoDriver.h"

#include <GL/gl.h>
#include <SDL/SDL.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <dlfcn.h>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

enum class Subject
{
    shipped,
    stressResting,
    stressFalling
};

const char* fileOf(Subject subject)
{
    static const std::string shipped = shippedBenchLevel();
    switch (subject)
    {
    case Subject::shipped:
        return shipped.c_str();
    case Subject::stressResting:
        return stressRestFile;
    default:
        return stressFallFile;
    }
}

// Loads the level as the game does and lights every bomb, as a player dropping them would;
// the first step after a load (in which nothing falls) runs here too.
void loadSubject(Subject subject)
{
    Game* game = Core::getGame();
    Level* level = game->getLevel();
    level->load(0, fileOf(subject), false);
    if (subject != Subject::shipped)
    {
        for (Entity* entity = level->firstEntity(); entity != nullptr; entity = level->nextEntity())
        {
            if (entity->isBomb())
                static_cast<Entity_Bomb*>(entity)->arm();
        }
    }
    level->update();
    game->setState(2, false);
    game->draw(); // takes the state change, draws nothing
}

// Steps before the level is loaded afresh: the resting stress level before its bombs go off,
// the falling one while most things still fall.
int stepsPerLoad(Subject subject)
{
    switch (subject)
    {
    case Subject::shipped:
        return 600;
    case Subject::stressResting:
        return 150;
    default:
        return 64;
    }
}

void reportSteps(benchmark::State& state, const std::vector<double>& micros)
{
    state.counters["median_ms"] = median(micros) / 1000.0;
    state.counters["max_ms"] = largest(micros) / 1000.0;
    state.counters["entities"] = static_cast<double>(Core::getGame()->getLevel()->getEntityCount());
}

void BM_LevelUpdate(benchmark::State& state, Subject subject)
{
    Level* level = Core::getGame()->getLevel();
    loadSubject(subject);
    std::vector<double> micros;
    int steps = 0;
    for (auto _ : state)
    {
        if (steps == stepsPerLoad(subject))
        {
            state.PauseTiming();
            loadSubject(subject);
            steps = 0;
            state.ResumeTiming();
        }
        const Clock::time_point start = Clock::now();
        level->update();
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        ++steps;
    }
    reportSteps(state, micros);
}

// The swap of SDL itself, past the harness's own that keeps a copy of every frame.
void realSwap()
{
    using SwapBuffers = void (*)(void);
    static const SwapBuffers swap = reinterpret_cast<SwapBuffers>(dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers"));
    swap();
}

// One picture: the cleared back buffer, everything the state draws, and the renderer finished.
// withSwap adds the buffer swap to the window, as the main loop does.
void timePictures(benchmark::State& state, void (*drawOne)(), bool withSwap)
{
    VideoDriver* videoDriver = Core::getDevice()->getVideoDriver();
    std::vector<double> micros;
    for (auto _ : state)
    {
        const Clock::time_point start = Clock::now();
        videoDriver->clear();
        drawOne();
        if (withSwap)
            realSwap();
        glFinish();
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    reportSteps(state, micros);
}

void drawGame()
{
    Core::getGame()->draw();
}

void drawMap()
{
    Core::getGame()->getMap()->draw();
}

void BM_GameDraw(benchmark::State& state, Subject subject, bool withSwap)
{
    loadSubject(subject);
    // A few steps in, so that the camera stands where play shows it.
    for (int i = 0; i < 30; ++i)
        Core::getGame()->getLevel()->update();
    timePictures(state, drawGame, withSwap);
}

// The overview as state 3 shows it: over the whole level and its heads-up display, or alone.
void BM_Overview(benchmark::State& state, bool whole)
{
    loadSubject(Subject::stressResting);
    Game* game = Core::getGame();
    game->setState(3, true);
    game->draw();
    timePictures(state, whole ? drawGame : drawMap, false);
    game->setState(2, false);
    game->draw();
}

void BM_LevelLoad(benchmark::State& state, Subject subject)
{
    Level* level = Core::getGame()->getLevel();
    std::vector<double> micros;
    for (auto _ : state)
    {
        const Clock::time_point start = Clock::now();
        level->load(0, fileOf(subject), false);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    reportSteps(state, micros);
}

void registerAll()
{
    using benchmark::RegisterBenchmark;
    const auto ms = benchmark::kMillisecond;
    RegisterBenchmark("LevelUpdate/shipped", BM_LevelUpdate, Subject::shipped)->Unit(ms)->MinTime(2.0);
    RegisterBenchmark("LevelUpdate/stress_resting", BM_LevelUpdate, Subject::stressResting)
        ->Unit(ms)
        ->MinTime(3.0);
    RegisterBenchmark("LevelUpdate/stress_falling", BM_LevelUpdate, Subject::stressFalling)
        ->Unit(ms)
        ->MinTime(3.0);
    RegisterBenchmark("GameDraw/shipped", BM_GameDraw, Subject::shipped, false)->Unit(ms)->MinTime(2.0);
    RegisterBenchmark("GameDraw/stress_resting", BM_GameDraw, Subject::stressResting, false)
        ->Unit(ms)
        ->MinTime(2.0);
    RegisterBenchmark("GameDraw/stress_falling", BM_GameDraw, Subject::stressFalling, false)
        ->Unit(ms)
        ->MinTime(2.0);
    RegisterBenchmark("GameDrawSwap/shipped", BM_GameDraw, Subject::shipped, true)->Unit(ms)->MinTime(2.0);
    RegisterBenchmark("GameDrawSwap/stress_resting", BM_GameDraw, Subject::stressResting, true)
        ->Unit(ms)
        ->MinTime(2.0);
    RegisterBenchmark("MapDraw/stress", BM_Overview, false)->Unit(ms)->MinTime(2.0);
    RegisterBenchmark("GameDrawOverview/stress", BM_Overview, true)->Unit(ms)->MinTime(2.0);
    RegisterBenchmark("LevelLoad/stress_resting", BM_LevelLoad, Subject::stressResting)
        ->Unit(ms)
        ->MinTime(2.0);
    RegisterBenchmark("LevelLoad/shipped", BM_LevelLoad, Subject::shipped)->Unit(ms)->MinTime(1.0);
}
} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    addMachineContext();

    Harness* game = new Harness(makeBenchWorkDir(false));
    if (game->initResult() != 0)
    {
        std::fprintf(stderr, "the game did not start (%d); see %slog.txt\n", game->initResult(),
                     game->appData().c_str());
        return 1;
    }
    benchmark::AddCustomContext("gl_renderer", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    SDL_Surface* screen = SDL_GetVideoSurface();
    benchmark::AddCustomContext("window", std::to_string(screen->w) + "x" + std::to_string(screen->h));
    benchmark::AddCustomContext("shipped_level", fileOf(Subject::shipped));

    // Peak memory with the largest level loaded, before any benchmark has run.
    char rss[32];
    std::snprintf(rss, sizeof rss, "%.1f MB", peakRssMb());
    benchmark::AddCustomContext("peak_rss_after_start", rss);
    Core::getGame()->getLevel()->load(0, stressRestFile, false);
    std::snprintf(rss, sizeof rss, "%.1f MB", peakRssMb());
    benchmark::AddCustomContext("peak_rss_after_stress_load", rss);

    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete game;
    return 0;
}
