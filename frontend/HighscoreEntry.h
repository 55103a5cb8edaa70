#pragma once

#include <cstdint>

// One row of the online table. A hostile answer of 8 MiB can hold four million rows, so a row is
// a small fixed record: its name stays in the answer text the table keeps, found by place and length.
struct HighscoreEntry
{
    uint32_t nameStart;
    uint32_t nameLength;
    int32_t score;
};
