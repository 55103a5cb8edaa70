#pragma once

#include <string>

// A fresh, empty folder under /tmp for one test; removed with everything in it when the test
// program ends (kept when QUARROW_KEEP_TEMP=1).
std::string makeTempDir(const std::string& prefix);
// Points the game's application-data folder at a fresh folder; returns "<it>/vormel/Quarrow/".
std::string useFreshAppData();
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
