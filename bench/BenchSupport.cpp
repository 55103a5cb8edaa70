#include "BenchSupport.h"

#include "Harness.h"
#include "StressLevel.h"
#include "TestEnv.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

const char* const stressRestFile = "levels/bench/stress_rest.txt";
const char* const stressFallFile = "levels/bench/stress_fall.txt";

int processorCount()
{
    return static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
}

std::string cpuModel()
{
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line))
    {
        if (line.rfind("model name", 0) == 0)
        {
            const std::size_t colon = line.find(':');
            return colon == std::string::npos ? line : line.substr(colon + 2);
        }
    }
    return "unknown";
}

void addMachineContext()
{
    benchmark::AddCustomContext("nproc", std::to_string(processorCount()));
    benchmark::AddCustomContext("cpu_model", cpuModel());
}

namespace
{
// Cells of a level file by its first line; 0 when unreadable.
long levelCells(const std::string& path)
{
    std::ifstream file(path);
    long width = 0;
    long height = 0;
    file >> width >> height;
    return file ? width * height : 0;
}

std::vector<std::string> shippedLevels()
{
    std::ifstream list(std::string(QUARROW_DATA_DIR) + "/levels.ini");
    std::vector<std::string> files;
    std::string word;
    while (list >> word)
    {
        if (word.size() > 2)
            files.push_back(word);
    }
    return files;
}
} // namespace

std::string shippedBenchLevel()
{
    const std::vector<std::string> files = shippedLevels();
    std::string best;
    long bestCells = -1;
    bool bestHard = false;
    for (const std::string& file : files)
    {
        const bool hard = file.find("/hard/") != std::string::npos;
        const long cells = levelCells(std::string(QUARROW_DATA_DIR) + "/" + file);
        if (cells == 0)
            continue;
        if ((hard && !bestHard) || (hard == bestHard && cells > bestCells))
        {
            best = file;
            bestCells = cells;
            bestHard = hard;
        }
    }
    return best;
}

std::string makeBenchWorkDir(bool stressFirst)
{
    const std::string shipped = shippedBenchLevel();
    std::map<std::string, std::string> files;
    files[stressRestFile] = stressLevel(true);
    files[stressFallFile] = stressLevel(false);
    std::string list;
    if (!shipped.empty())
        files[shipped] = readFile(std::string(QUARROW_DATA_DIR) + "/" + shipped);
    if (stressFirst || shipped.empty())
        list = std::string(stressRestFile) + "\n" + (shipped.empty() ? "" : shipped + "\n");
    else
        list = shipped + "\n" + stressRestFile + "\n";
    list += std::string(stressFallFile) + "\n";
    files["levels.ini"] = list;
    files["credits.txt"] = readFile(std::string(QUARROW_DATA_DIR) + "/credits.txt");
    return makeWorkDir(files);
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + middle, values.end());
    return values[middle];
}

double largest(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

double peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}
