#pragma once

#include <cstdint>
#include <string>

// One full-screen video mode, named "video_res_<index>". Width 0, height 0 and an empty name mean none.
struct Resolution
{
    int32_t width;
    int32_t height;
    std::string name;
};
