#pragma once

#include <string>

// A fresh, empty folder under /tmp for one test; removed again by the caller if wanted.
std::string makeTempDir(const std::string& prefix);
// Points the game's application-data folder at a fresh folder; returns "<it>/vormel/Quarrow/".
std::string useFreshAppData();
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
