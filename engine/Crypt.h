#pragma once

#include <cstdint>
#include <string>

// The program-wide salt: 32 printable characters, NUL-terminated. Prefixes every file hash
// and the high-score signature.
extern const char* const cryptSalt;

// The running state of one MD5 computation (RFC 1321).
struct MD5Context
{
    uint32_t bits[2];   // bit count, low word first
    uint32_t state[4];  // A, B, C, D
    uint8_t buffer[64]; // the bytes of the current incomplete block
};

void MD5Init(MD5Context* context);
// Feeds length bytes; a length of 0 or less does nothing.
void MD5Update(MD5Context* context, const uint8_t* data, int32_t length);
// Pads, appends the bit count and writes the 16-byte digest. The context is left as it is.
void MD5Final(MD5Context* context, uint8_t digest[16]);
void MD5Transform(MD5Context* context, const uint8_t block[64]);

// MD5 helpers; every result is 32 upper-case hexadecimal digits. Never instantiated.
class Crypt
{
  public:
    Crypt() {}
    virtual ~Crypt() {}

    // A new[]-allocated NUL-terminated text of 2 * count "%02X" digits; the caller delete[]s it.
    static char* toHex(const uint8_t* bytes, int count);
    // MD5 of every byte of text, embedded NULs included.
    static std::string md5(const std::string& text);
    // MD5 of the salt, the file's characters with each CR LF read as LF, and one final 0xFF byte
    // (the end-of-file value the reading loop appends), fed in chunks. A file that cannot be
    // opened hashes as the salt alone; a folder, a read error and a file over
    // FileReader::defaultLimit give "", which matches no stored hash.
    static std::string md5File(const std::string& path);
};
