#include "Crypt.h"
#include "FileReader.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(Crypt, Rfc1321TestSuite)
{
    const struct
    {
        const char* text;
        const char* digest;
    } cases[] = {
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "D174AB98D277D9F5A5611C2C9F419D9F"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57EDF4A22BE3C955AC49DA2E2107B67A"},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(Crypt::md5(c.text), c.digest) << '"' << c.text << '"';
    }
}

TEST(Crypt, HashesEmbeddedNulsAndLongInputInPieces)
{
    EXPECT_NE(Crypt::md5(std::string("a\0b", 3)), Crypt::md5("ab"));
    // Feeding in uneven pieces must give the same digest as one update.
    const std::string text(1000, 'q');
    MD5Context context;
    MD5Init(&context);
    for (size_t at = 0; at < text.size(); at += 37)
    {
        const size_t n = std::min<size_t>(37, text.size() - at);
        MD5Update(&context, reinterpret_cast<const uint8_t*>(text.data() + at), static_cast<int32_t>(n));
    }
    MD5Update(&context, nullptr, 0);
    uint8_t digest[16];
    MD5Final(&context, digest);
    char* hex = Crypt::toHex(digest, 16);
    EXPECT_EQ(std::string(hex), Crypt::md5(text));
    delete[] hex;
}

TEST(Crypt, SaltIsTheProgramConstant)
{
    EXPECT_STREQ(cryptSalt, "7Qm=)x!2(Lp+9Rw=Kd(Tz)4Nv+Hs!bY8");
}

TEST(Crypt, FileHashIsSaltContentsAndEndOfFileByte)
{
    const std::string dir = makeTempDir("quarrow-crypt");
    writeFile(dir + "/empty.txt", "");
    writeFile(dir + "/abc.txt", "abc");
    const std::string salt(cryptSalt);
    EXPECT_EQ(Crypt::md5File(dir + "/empty.txt"), Crypt::md5(salt + "\xFF"));
    EXPECT_EQ(Crypt::md5File(dir + "/abc.txt"), Crypt::md5(salt + "abc\xFF"));
    EXPECT_EQ(Crypt::md5File(dir + "/missing.txt"), Crypt::md5(salt));
    EXPECT_NE(Crypt::md5File(dir + "/missing.txt"), Crypt::md5File(dir + "/empty.txt"));
}

TEST(Crypt, CrLfAndLfFilesHashAlike)
{
    const std::string dir = makeTempDir("quarrow-crypt");
    writeFile(dir + "/lf.txt", "10 10\nab\n\n");
    writeFile(dir + "/crlf.txt", "10 10\r\nab\r\n\r\n");
    writeFile(dir + "/cr.txt", "10 10\rab\r\r");
    EXPECT_EQ(Crypt::md5File(dir + "/crlf.txt"), Crypt::md5File(dir + "/lf.txt"));
    // A CR that does not start a line end is a character of its own.
    EXPECT_NE(Crypt::md5File(dir + "/cr.txt"), Crypt::md5File(dir + "/lf.txt"));
    EXPECT_EQ(Crypt::md5File(dir + "/cr.txt"), Crypt::md5(std::string(cryptSalt) + "10 10\rab\r\r\xFF"));
}

TEST(Crypt, AFileTooLargeOrUnreadableHashesAsNothingInBoundedTimeAndMemory)
{
    const std::string dir = makeTempDir("quarrow-crypt");
    // Sparse: a gigabyte of zeros that takes no room on the disk.
    const std::string huge = dir + "/huge.txt";
    writeFile(huge, "10 10\r\n");
    ASSERT_EQ(truncate(huge.c_str(), 1024L * 1024 * 1024), 0);
    ASSERT_EQ(mkdir((dir + "/folder.txt").c_str(), 0755), 0);

    struct rusage before;
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Crypt::md5File(huge), "");
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 10.0);
    struct rusage after;
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 32L * 1024) << "kB";

    EXPECT_EQ(Crypt::md5File(dir + "/folder.txt"), "");
    unlink(huge.c_str());
}

TEST(Crypt, CrLfIsOneLineEndWhereverTheReadingSplitsTheFile)
{
    // Line ends across the edges of the reading's pieces, a CR LF split between two of them too.
    std::string bytes;
    for (size_t at : {4095, 4096, 8191, 65535, 65636, 131071})
    {
        bytes.resize(at, 'q');
        bytes += "\r\n";
    }
    bytes += "end\r";
    std::string delivered;
    for (size_t i = 0; i < bytes.size(); ++i)
    {
        if (bytes[i] != '\r' || i + 1 == bytes.size() || bytes[i + 1] != '\n')
        {
            delivered += bytes[i];
        }
    }
    const std::string file = makeTempDir("quarrow-crypt") + "/split.txt";
    writeFile(file, bytes);
    EXPECT_EQ(Crypt::md5File(file), Crypt::md5(std::string(cryptSalt) + delivered + "\xFF"));
}
