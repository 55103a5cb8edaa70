#include "Config.h"

#include "Core.h"
#include "Exception.h"
#include "FileReader.h"
#include "FileWriter.h"

#include <sys/stat.h>
#include <unistd.h>

static const char* const defaultLines[] = {
    "dash_with_control = 1\r\n", "sound_volume = 50\r\n",   "music_volume = 30\r\n",
    "screen_bpp = 32\r\n",       "screen_full = 0\r\n",     "screen_vsync = 1\r\n",
    "screen_width = 1024\r\n",   "screen_height = 768\r\n",
};

namespace
{

// Far more than any settings file; a larger one is read up to here.
const size_t maxFileSize = 1024 * 1024;

} // namespace

Config::Config(const std::string& path) : path(path)
{
    Core::log("Config: init");

    // Checked before any open: reading a FIFO could wait for a writer forever.
    struct stat info;
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
    {
        Core::log("Config: " + path + " is " + FileWriter::kindOf(info.st_mode) +
                  ", not a settings file: using the default settings");
        for (const char* line : defaultLines)
        {
            parseLine(line);
        }
        return;
    }

    FileReader file(path, FileReader::text, maxFileSize);
    if (!file.isOpen() && access(path.c_str(), F_OK) == 0)
    {
        // There but unreadable: never overwrite the player's settings with the defaults.
        throw new Exception("Config: Can't open " + path + " to read");
    }
    if (!file.isOpen())
    {
        Core::log("Config: " + path + " not exists, trying to create");
        std::string defaults;
        for (const char* line : defaultLines)
        {
            defaults += line;
        }
        std::string error;
        if (!FileWriter::replace(path, defaults, error, FileWriter::Links::follow))
        {
            throw new Exception("Config: Can't open " + path + " to write");
        }
        Core::log("Config: " + path + " created");

        FileReader created(path, FileReader::text, maxFileSize);
        if (!created.isOpen())
        {
            throw new Exception("Config: Can't open " + path + " to read");
        }
        parse(created);
        return;
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
void Config::parse(FileReader& file)
{
    std::string line;
    while (file.readLine(line, 255))
    {
        parseLine(line);
    }
    if (file.failed())
    {
        Core::log("Config: " + path + " is read only in part: " + file.error());
    }
}

void Config::parseLine(std::string line)
{
    const size_t zero = line.find('\0');
    if (zero != std::string::npos)
    {
        line.resize(zero);
    }

    const size_t keyStart = skipBlanks(line, 0);
    const size_t keyEnd = skipWord(line, keyStart);
    if (keyEnd == keyStart)
    {
        return;
    }
    const std::string key = line.substr(keyStart, keyEnd - keyStart);
    if (settings.count(key) != 0)
    {
        return;
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

Config::~Config()
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

bool Config::save()
{
    std::string contents;
    for (const auto& entry : settings)
    {
        contents += entry.first + " = " + std::to_string(entry.second) + "\n";
    }
    // Beside the old file and renamed over it: a full disk or a crash keeps the old settings. A
    // config.ini kept as a link is written where the link leads, and stays a link; a link to a
    // device (a null device, to keep the settings from being saved) is written into the device.
    struct stat info;
    const bool intoFile = ::stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode);
    std::string error;
    if (!FileWriter::replace(path, contents, error, FileWriter::Links::follow))
    {
        Core::log("Config: Can't save " + error);
        return false;
    }
    if (!intoFile)
    {
        Core::log("Config: " + path + " is " + FileWriter::kindOf(info.st_mode) +
                  ", not a file: the settings went into it and are not kept");
        return true;
    }
    Core::log("Config: saved");
    return true;
}
