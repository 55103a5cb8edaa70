#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Our stand-in for glpng's loader, on libpng.

// Mipmap argument of pngLoad.
enum
{
    PNG_NOMIPMAP = 0,
    PNG_BUILDMIPMAPS = -1
};
// Transparency argument of pngLoad.
enum
{
    PNG_ALPHA = -2,
    PNG_SOLID = -1
};

struct pngInfo
{
    unsigned int Width;
    unsigned int Height;
    unsigned int Depth;
    unsigned int Alpha;
};

// Pictures wider or taller than this are refused.
const unsigned int pngMaxSide = 8192;
// Files larger than this are not read.
const size_t pngMaxFileBytes = 32 * 1024 * 1024;

// Decodes any PNG into 8-bit RGBA rows, top row first. False (and rgba empty) on a missing,
// unreadable, truncated, corrupt or oversized file, or a folder.
bool pngDecode(const std::string& file, std::vector<uint8_t>& rgba, unsigned int& width,
               unsigned int& height);

// Decodes file and uploads it into the bound GL_TEXTURE_2D (with gluBuild2DMipmaps for
// PNG_BUILDMIPMAPS, else glTexImage2D). Returns 1 and fills info on success, 0 on failure, in
// which case the bound texture is left untouched.
int pngLoad(const char* file, int mipmap, int trans, pngInfo* info);

// Uploads width x height 8-bit RGBA rows, top row first, into the bound GL_TEXTURE_2D the way
// pngLoad does; reads nothing outside the width * height * 4 bytes at rgba. False when GLU refuses it.
bool pngUpload(const uint8_t* rgba, unsigned int width, unsigned int height, int mipmap);

// Writes 8-bit RGBA rows, top row first, as a PNG. False when the file cannot be written.
bool pngSave(const std::string& file, const uint8_t* rgba, unsigned int width, unsigned int height);
