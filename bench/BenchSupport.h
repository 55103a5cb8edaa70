#pragma once

#include <string>
#include <vector>

// What every benchmark program prints beside its figures: the machine it ran on.
void addMachineContext();
int processorCount();
std::string cpuModel();

// The largest level the game ships among its hard levels, or among all when there is no hard one,
// as its path relative to the working folder ("" when levels.ini lists nothing readable).
std::string shippedBenchLevel();

// A working folder with the game's pictures, sounds and music, the shipped level above and the
// two stress levels, and a "levels.ini" (with "hashes.ini") listing first, when stressFirst is set,
// the resting stress level, else the shipped one.
std::string makeBenchWorkDir(bool stressFirst);

extern const char* const stressRestFile;
extern const char* const stressFallFile;

// Median and largest of a set of step times, in microseconds.
double median(std::vector<double> values);
double largest(const std::vector<double>& values);

// Peak resident memory of this process so far, in MB.
double peakRssMb();
