#include "Crypt.h"

#include "FileReader.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

const char* const cryptSalt = "7Qm=)x!2(Lp+9Rw=Kd(Tz)4Nv+Hs!bY8";

namespace
{

uint32_t rotateLeft(uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

uint32_t stepF(uint32_t x, uint32_t y, uint32_t z)
{
    return (x & y) | (~x & z);
}
uint32_t stepG(uint32_t x, uint32_t y, uint32_t z)
{
    return (x & z) | (y & ~z);
}
uint32_t stepH(uint32_t x, uint32_t y, uint32_t z)
{
    return x ^ y ^ z;
}
uint32_t stepI(uint32_t x, uint32_t y, uint32_t z)
{
    return y ^ (x | ~z);
}

// floor(abs(sin(i + 1)) * 2^32) for i = 0..63.
const uint32_t sineTable[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

const int shiftTable[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// A folder opens like a file on this platform but cannot be read; a missing file cannot be opened.
bool isFolder(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void encodeWord(uint32_t word, uint8_t* out)
{
    out[0] = static_cast<uint8_t>(word);
    out[1] = static_cast<uint8_t>(word >> 8);
    out[2] = static_cast<uint8_t>(word >> 16);
    out[3] = static_cast<uint8_t>(word >> 24);
}

} // namespace

void MD5Init(MD5Context* context)
{
    context->bits[0] = 0;
    context->bits[1] = 0;
    context->state[0] = 0x67452301;
    context->state[1] = 0xefcdab89;
    context->state[2] = 0x98badcfe;
    context->state[3] = 0x10325476;
}

void MD5Transform(MD5Context* context, const uint8_t block[64])
{
    uint32_t x[16];
    for (int i = 0; i < 16; i++)
    {
        x[i] = uint32_t(block[i * 4]) | (uint32_t(block[i * 4 + 1]) << 8) |
               (uint32_t(block[i * 4 + 2]) << 16) | (uint32_t(block[i * 4 + 3]) << 24);
    }

    uint32_t a = context->state[0];
    uint32_t b = context->state[1];
    uint32_t c = context->state[2];
    uint32_t d = context->state[3];
    for (int i = 0; i < 64; i++)
    {
        const int round = i / 16;
        uint32_t f;
        int word;
        switch (round)
        {
        case 0:
            f = stepF(b, c, d);
            word = i;
            break;
        case 1:
            f = stepG(b, c, d);
            word = (5 * i + 1) % 16;
            break;
        case 2:
            f = stepH(b, c, d);
            word = (3 * i + 5) % 16;
            break;
        default:
            f = stepI(b, c, d);
            word = (7 * i) % 16;
            break;
        }
        const uint32_t next = b + rotateLeft(a + f + x[word] + sineTable[i], shiftTable[round][i % 4]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    context->state[0] += a;
    context->state[1] += b;
    context->state[2] += c;
    context->state[3] += d;
}

void MD5Update(MD5Context* context, const uint8_t* data, int32_t length)
{
    if (length <= 0)
    {
        return;
    }
    const uint32_t waiting = (context->bits[0] >> 3) & 63;
    const uint32_t len = static_cast<uint32_t>(length);
    const uint32_t low = context->bits[0] + (len << 3);
    if (low < context->bits[0])
    {
        context->bits[1]++;
    }
    context->bits[0] = low;
    context->bits[1] += len >> 29;

    uint32_t done = 0;
    const uint32_t room = 64 - waiting;
    if (len >= room)
    {
        for (uint32_t i = 0; i < room; i++)
        {
            context->buffer[waiting + i] = data[i];
        }
        MD5Transform(context, context->buffer);
        for (done = room; done + 64 <= len; done += 64)
        {
            MD5Transform(context, data + done);
        }
        for (uint32_t i = 0; done + i < len; i++)
        {
            context->buffer[i] = data[done + i];
        }
    }
    else
    {
        for (uint32_t i = 0; i < len; i++)
        {
            context->buffer[waiting + i] = data[i];
        }
    }
}

void MD5Final(MD5Context* context, uint8_t digest[16])
{
    uint8_t count[8];
    encodeWord(context->bits[0], count);
    encodeWord(context->bits[1], count + 4);

    uint8_t padding[64] = {0x80};
    const int32_t padLength = ((55 - (context->bits[0] >> 3)) & 63) + 1;
    MD5Update(context, padding, padLength);
    MD5Update(context, count, 8);
    for (int i = 0; i < 4; i++)
    {
        encodeWord(context->state[i], digest + i * 4);
    }
}

char* Crypt::toHex(const uint8_t* bytes, int count)
{
    char* text = new char[count * 2 + 1];
    for (int i = 0; i < count; i++)
    {
        std::snprintf(text + i * 2, 3, "%02X", bytes[i]);
    }
    text[count * 2] = '\0';
    return text;
}

std::string Crypt::md5(const std::string& text)
{
    MD5Context context;
    MD5Init(&context);
    MD5Update(&context, reinterpret_cast<const uint8_t*>(text.data()), static_cast<int32_t>(text.size()));
    uint8_t digest[16];
    MD5Final(&context, digest);
    char* hex = toHex(digest, 16);
    const std::string result(hex);
    delete[] hex;
    return result;
}

std::string Crypt::md5File(const std::string& path)
{
    MD5Context context;
    MD5Init(&context);
    MD5Update(&context, reinterpret_cast<const uint8_t*>(cryptSalt),
              static_cast<int32_t>(std::strlen(cryptSalt)));

    // Text mode delivers CR LF as LF, as a read on the platform the stored hashes come from.
    FileReader reader(path, FileReader::text);
    if (reader.isOpen())
    {
        uint8_t chunk[4096];
        int32_t length = 0;
        for (int c = reader.get(); c >= 0; c = reader.get())
        {
            chunk[length++] = static_cast<uint8_t>(c);
            if (length == static_cast<int32_t>(sizeof(chunk)))
            {
                MD5Update(&context, chunk, length);
                length = 0;
            }
        }
        // A file that cannot be read whole, or is over the limit, has no hash at all.
        if (reader.failed())
        {
            return "";
        }
        // The reading loop tests the stream before each get, so the end-of-file value is hashed too.
        chunk[length++] = 0xFF;
        MD5Update(&context, chunk, length);
    }
    else if (isFolder(path))
    {
        return "";
    }

    uint8_t digest[16];
    MD5Final(&context, digest);
    char* hex = toHex(digest, 16);
    const std::string result(hex);
    delete[] hex;
    return result;
}
