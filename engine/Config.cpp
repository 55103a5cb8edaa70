#include "Config.h"

#include "Core.h"
#include "Exception.h"

#include <fstream>

static const char* const defaultLines[] = {
    "dash_with_control = 1\r\n", "sound_volume = 50\r\n",   "music_volume = 30\r\n",
    "screen_bpp = 32\r\n",       "screen_full = 0\r\n",     "screen_vsync = 1\r\n",
    "screen_width = 1024\r\n",   "screen_height = 768\r\n",
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

namespace
{

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

size_t skipBlanks(const std::string& line, size_t at)
{
    while (at < line.size() && isBlank(line[at]))
    {
        ++at;
    }
    return at;
}

size_t skipWord(const std::string& line, size_t at)
{
    while (at < line.size() && !isBlank(line[at]))
    {
        ++at;
    }
    return at;
}

// A decimal number with an optional sign at `at`; its low 16 bits, however many digits it has.
bool readNumber(const std::string& line, size_t at, int16_t& value)
{
    bool negative = false;
    if (at < line.size() && (line[at] == '+' || line[at] == '-'))
    {
        negative = line[at] == '-';
        ++at;
    }
    uint16_t low = 0;
    bool digits = false;
    for (; at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at)
    {
        low = static_cast<uint16_t>(low * 10u + static_cast<unsigned>(line[at] - '0'));
        digits = true;
    }
    if (!digits)
    {
        return false;
    }
    value = static_cast<int16_t>(negative ? static_cast<uint16_t>(0u - low) : low);
    return true;
}

} // namespace

// Lines are "key word number": the key is the first word, the second word is skipped whatever it
// is. The first line for a key wins. A key without a readable number is added with 0 (never with
// a number left over from an earlier line), and a line longer than 255 characters is read as its
// first 255 and the rest of it skipped. Reading stops at the first zero byte of a line.
void Config::parse(std::ifstream& file)
{
    std::string line;
    while (std::getline(file, line))
    {
        const size_t zero = line.find('\0');
        if (zero != std::string::npos)
        {
            line.resize(zero);
        }
        if (line.size() > 255)
        {
            line.resize(255);
        }

        const size_t keyStart = skipBlanks(line, 0);
        const size_t keyEnd = skipWord(line, keyStart);
        if (keyEnd == keyStart)
        {
            continue;
        }
        const std::string key = line.substr(keyStart, keyEnd - keyStart);
        if (settings.count(key) != 0)
        {
            continue;
        }
        const size_t wordStart = skipBlanks(line, keyEnd);
        const size_t wordEnd = skipWord(line, wordStart);
        int16_t value = 0;
        if (wordEnd == wordStart || !readNumber(line, skipBlanks(line, wordEnd), value))
        {
            value = 0;
        }
        settings[key] = value;
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
