#pragma once

#include <cstdint>
#include <string>

// One row of the online table, as the server sent it.
struct HighscoreEntry
{
    std::string name;
    int32_t score;
};
