#include "PngLoader.h"

#include "FileReader.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <png.h>

namespace
{

// libpng reports errors by longjmp; every object with a destructor lives outside the setjmp frame.
struct ReadState
{
    std::string bytes; // the whole file
    size_t at = 0;     // where libpng reads next
    png_structp png = nullptr;
    png_infop info = nullptr;

    ~ReadState()
    {
        if (png != nullptr)
        {
            png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
        }
    }
};

void quietWarning(png_structp, png_const_charp) {}

// A broken file is reported by pngLoad's result, not on the standard error stream.
void quietError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

// libpng's reads, from the file's bytes in memory; a read past their end is a truncated file.
void readBytes(png_structp png, png_bytep to, png_size_t count)
{
    ReadState* s = static_cast<ReadState*>(png_get_io_ptr(png));
    if (count > s->bytes.size() - s->at)
    {
        png_error(png, "truncated");
    }
    std::memcpy(to, s->bytes.data() + s->at, count);
    s->at += count;
}

bool decodeInto(ReadState& s, std::vector<uint8_t>& rgba, std::vector<png_bytep>& rows, unsigned int& width,
                unsigned int& height)
{
    if (setjmp(png_jmpbuf(s.png)))
    {
        return false;
    }
    png_set_read_fn(s.png, &s, readBytes);
    png_set_user_limits(s.png, pngMaxSide, pngMaxSide);
    png_read_info(s.png, s.info);

    const png_byte colorType = png_get_color_type(s.png, s.info);
    const png_byte depth = png_get_bit_depth(s.png, s.info);
    if (depth == 16)
    {
        png_set_strip_16(s.png);
    }
    if (colorType == PNG_COLOR_TYPE_PALETTE)
    {
        png_set_palette_to_rgb(s.png);
    }
    if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8)
    {
        png_set_expand_gray_1_2_4_to_8(s.png);
    }
    if (png_get_valid(s.png, s.info, PNG_INFO_tRNS))
    {
        png_set_tRNS_to_alpha(s.png);
    }
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
    {
        png_set_gray_to_rgb(s.png);
    }
    png_set_filler(s.png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);

    width = png_get_image_width(s.png, s.info);
    height = png_get_image_height(s.png, s.info);
    if (width == 0 || height == 0 || png_get_rowbytes(s.png, s.info) != static_cast<size_t>(width) * 4)
    {
        return false;
    }
    rgba.resize(static_cast<size_t>(width) * height * 4);
    rows.resize(height);
    for (unsigned int y = 0; y < height; ++y)
    {
        rows[y] = rgba.data() + static_cast<size_t>(y) * width * 4;
    }
    png_read_image(s.png, rows.data());
    png_read_end(s.png, nullptr);
    return true;
}

bool isPowerOfTwo(unsigned int side)
{
    return (side & (side - 1)) == 0;
}

} // namespace

bool pngDecode(const std::string& file, std::vector<uint8_t>& rgba, unsigned int& width, unsigned int& height)
{
    rgba.clear();
    width = 0;
    height = 0;

    ReadState s;
    std::string why;
    if (!FileReader::readFile(file, pngMaxFileBytes, s.bytes, why) || s.bytes.size() < 8 ||
        png_sig_cmp(reinterpret_cast<png_const_bytep>(s.bytes.data()), 0, 8) != 0)
    {
        return false;
    }

    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
    if (s.png == nullptr)
    {
        return false;
    }
    s.info = png_create_info_struct(s.png);
    if (s.info == nullptr)
    {
        return false;
    }
    std::vector<png_bytep> rows;
    if (!decodeInto(s, rgba, rows, width, height))
    {
        rgba.clear();
        width = 0;
        height = 0;
        return false;
    }
    return true;
}

bool pngUpload(const uint8_t* rgba, unsigned int width, unsigned int height, int mipmap)
{
    if (rgba == nullptr || width == 0 || height == 0)
    {
        return false;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (mipmap != PNG_BUILDMIPMAPS)
    {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return true;
    }
    if (isPowerOfTwo(width) && isPowerOfTwo(height))
    {
        return gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba) == 0;
    }
    // GLU scales other sides to powers of two with a box filter that, on a side it keeps, also
    // reads the pixel just after each row at weight zero: after the last row that is past the
    // picture. A spare row of zeros gives it something to read and leaves the result the same.
    const size_t bytes = static_cast<size_t>(width) * height * 4;
    std::vector<uint8_t> padded(bytes + static_cast<size_t>(width) * 4, 0);
    std::memcpy(padded.data(), rgba, bytes);
    return gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, width, height, GL_RGBA, GL_UNSIGNED_BYTE,
                             padded.data()) == 0;
}

int pngLoad(const char* file, int mipmap, int trans, pngInfo* info)
{
    std::vector<uint8_t> rgba;
    unsigned int width = 0;
    unsigned int height = 0;
    if (file == nullptr || !pngDecode(file, rgba, width, height))
    {
        return 0;
    }

    if (trans != PNG_ALPHA)
    {
        for (size_t i = 3; i < rgba.size(); i += 4)
        {
            rgba[i] = 0xFF;
        }
    }
    if (!pngUpload(rgba.data(), width, height, mipmap))
    {
        return 0;
    }

    if (info != nullptr)
    {
        info->Width = width;
        info->Height = height;
        info->Depth = 32;
        info->Alpha = trans == PNG_ALPHA ? 8 : 0;
    }
    return 1;
}

namespace
{

struct WriteState
{
    FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;

    ~WriteState()
    {
        if (png != nullptr)
        {
            png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
        }
        if (file != nullptr)
        {
            std::fclose(file);
        }
    }
};

bool encodeFrom(WriteState& s, std::vector<png_bytep>& rows, unsigned int width, unsigned int height)
{
    if (setjmp(png_jmpbuf(s.png)))
    {
        return false;
    }
    png_init_io(s.png, s.file);
    png_set_IHDR(s.png, s.info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(s.png, s.info);
    png_write_image(s.png, rows.data());
    png_write_end(s.png, nullptr);
    return true;
}

} // namespace

bool pngSave(const std::string& file, const uint8_t* rgba, unsigned int width, unsigned int height)
{
    if (rgba == nullptr || width == 0 || height == 0)
    {
        return false;
    }
    WriteState s;
    s.file = std::fopen(file.c_str(), "wb");
    if (s.file == nullptr)
    {
        return false;
    }
    s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
    if (s.png == nullptr)
    {
        return false;
    }
    s.info = png_create_info_struct(s.png);
    if (s.info == nullptr)
    {
        return false;
    }
    std::vector<png_bytep> rows(height);
    for (unsigned int y = 0; y < height; ++y)
    {
        rows[y] = const_cast<png_bytep>(rgba + static_cast<size_t>(y) * width * 4);
    }
    const bool written = encodeFrom(s, rows, width, height);
    if (std::fclose(s.file) != 0)
    {
        s.file = nullptr;
        return false;
    }
    s.file = nullptr;
    return written;
}
