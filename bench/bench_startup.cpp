// Start-up as a player sees it: the real game binary started under Xvfb, from the exec until
// the splash is shown and until the main loop swaps its first frame; and the game's peak resident
// memory, with the shipped levels and with the 128 x 128 stress level loaded at start-up.
#include "BenchSupport.h"
#include "TestEnv.h"

#include <benchmark/benchmark.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

struct Run
{
    double splashMs = -1;     // the swap that shows the maker's picture (the last before the loop)
    double firstFrameMs = -1; // the first swap of the main loop
    double peakRssMb = 0;
};

// Starts the game in workDir with a fresh application-data folder, waits for its first frame of
// the main loop (at most 20 s), then ends it with SIGTERM like a closed window.
Run startGame(const std::string& workDir)
{
    const std::string xdg = makeTempDir("quarrow-bench-xdg");
    const std::string probe = xdg + "/swaps.txt";
    Run run;
    const long long start = monotonicNs();
    const pid_t child = fork();
    if (child == 0)
    {
        if (chdir(workDir.c_str()) != 0)
            _exit(127);
        setenv("XDG_DATA_HOME", xdg.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("LD_PRELOAD", QUARROW_SWAP_PROBE, 1);
        setenv("QUARROW_SWAP_PROBE_OUT", probe.c_str(), 1);
        setenv("QUARROW_SWAP_PROBE_LOG", (xdg + "/vormel/Quarrow/log.txt").c_str(), 1);
        execl(QUARROW_BINARY, QUARROW_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }

    long long lastBeforeLoop = -1;
    long long firstInLoop = -1;
    while (firstInLoop < 0 && monotonicNs() - start < 20000000000LL)
    {
        usleep(500);
        std::ifstream swaps(probe);
        unsigned number = 0;
        long long at = 0;
        int started = 0;
        while (swaps >> number >> at >> started)
        {
            if (started != 0)
            {
                firstInLoop = at;
                break;
            }
            lastBeforeLoop = at;
        }
    }
    kill(child, SIGTERM);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    if (lastBeforeLoop >= 0)
        run.splashMs = (lastBeforeLoop - start) / 1e6;
    if (firstInLoop >= 0)
        run.firstFrameMs = (firstInLoop - start) / 1e6;
    run.peakRssMb = usage.ru_maxrss / 1024.0;
    std::system(("rm -rf '" + xdg + "'").c_str());
    return run;
}

void BM_Startup(benchmark::State& state, bool stress)
{
    static const std::string stressDir = makeBenchWorkDir(true);
    const std::string workDir = stress ? stressDir : std::string(QUARROW_DATA_DIR);
    std::vector<double> splash;
    std::vector<double> firstFrame;
    double peak = 0;
    for (auto _ : state)
    {
        const Run run = startGame(workDir);
        if (run.firstFrameMs < 0)
        {
            state.SkipWithError("the game showed no frame of its main loop within 20 s");
            break;
        }
        state.SetIterationTime(run.firstFrameMs / 1000.0);
        splash.push_back(run.splashMs);
        firstFrame.push_back(run.firstFrameMs);
        peak = std::max(peak, run.peakRssMb);
    }
    state.counters["splash_median_ms"] = median(splash);
    state.counters["first_frame_median_ms"] = median(firstFrame);
    state.counters["first_frame_max_ms"] = largest(firstFrame);
    state.counters["peak_rss_MB"] = peak;
}
} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    addMachineContext();
    benchmark::AddCustomContext("binary", QUARROW_BINARY);
    benchmark::RegisterBenchmark("Startup/shipped_data", BM_Startup, false)
        ->UseManualTime()
        ->Iterations(10)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Startup/stress_level_first", BM_Startup, true)
        ->UseManualTime()
        ->Iterations(10)
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
