#pragma once

#include <cstdint>
#include <map>
#include <string>

class FileReader;

// The player's settings from "config.ini": key name to a 16-bit value, saved on destruction.
class Config
{
  public:
    // Reads the file at path, writing the default file first when it is missing. A device, FIFO or
    // socket in its place (a link to a null device, say) is not read: the defaults are used, and
    // the save goes into it. Throws Exception*.
    explicit Config(const std::string& path);
    // Saves (a failure is logged).
    ~Config();

    // The stored value, or defaultValue when the key is absent. Never adds the key.
    int16_t get(const std::string& key, int16_t defaultValue) const;
    void set(const std::string& key, int16_t value);
    // Replaces the file with the settings; on failure logs why and keeps the old file.
    bool save();

  private:
    void parse(FileReader& file);
    void parseLine(std::string line);

    std::map<std::string, int16_t> settings;
    std::string path;
};
