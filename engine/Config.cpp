#include "Config.h"

#include "Core.h"
#include "Exception.h"

#include <cstdio>
#include <fstream>

static const char* const defaultLines[] = {
    "dash_with_control = 1\r\n", "sound_volume = 50\r\n", "music_volume = 30\r\n", "screen_bpp = 32\r\n",
    "screen_full = 0\r\n",       "screen_vsync = 1\r\n",  "screen_width = 1024\r\n", "screen_height = 768\r\n",
};

Config::Config(const std::string& path) : path(path)
{
    Core::log("Config: init");

    std::ifstream file(path);
    if (!file.is_open())
    {
        Core::log("Config: " + path + " not exists, trying to create");
        std::ofstream out(path, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!out.is_open())
        {
            throw new Exception("Config: Can't open " + path + " to write");
        }
        for (const char* line : defaultLines)
        {
            out << line;
        }
        out.close();
        Core::log("Config: " + path + " created");

        file.open(path);
        if (!file.is_open())
        {
            throw new Exception("Config: Can't open " + path + " to read");
        }
    }
    parse(file);
}

// Lines are "key word number". The first line for a key wins. A key without a readable
// number is added with 0, and a line longer than 255 characters is read as its first 255.
void Config::parse(std::ifstream& file)
{
    std::string line;
    while (std::getline(file, line))
    {
        if (!line.empty() && line.back() == '\r')
        {
            line.pop_back();
        }
        if (line.size() > 255)
        {
            line.resize(255);
        }

        char key[256] = {0};
        int value = 0;
        if (std::sscanf(line.c_str(), "%255s %*s %d", key, &value) < 1)
        {
            continue;
        }
        if (settings.count(key) != 0)
        {
            continue;
        }
        settings[key] = static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF));
    }
}

Config::~Config() noexcept(false)
{
    save();
    Core::log("Config: done");
}

int16_t Config::get(const std::string& key, int16_t defaultValue) const
{
    const auto it = settings.find(key);
    return it == settings.end() ? defaultValue : it->second;
}

void Config::set(const std::string& key, int16_t value)
{
    settings[key] = value;
}

void Config::save()
{
    std::ofstream out(path, std::ios::out | std::ios::trunc);
    if (!out.is_open())
    {
        throw new Exception("Config: Can't open " + path + " to write");
    }
    for (const auto& entry : settings)
    {
        out << entry.first << " = " << entry.second << '\n';
        out.flush();
    }
    Core::log("Config: saved");
    out.close();
}
