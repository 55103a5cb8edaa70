#include "TestEnv.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace
{
// The folders this test program made, removed when it ends so that runs do not pile up in /tmp.
// A forked child that exits inherits the list but leaves the folders to the process that made them.
// QUARROW_KEEP_TEMP=1 keeps them for a look after a failure.
class TempFolders
{
  public:
    void add(const std::string& path) { folders.push_back(path); }
    ~TempFolders()
    {
        const char* keep = std::getenv("QUARROW_KEEP_TEMP");
        if (getpid() != owner || (keep != nullptr && *keep != '\0' && *keep != '0'))
        {
            return;
        }
        for (const std::string& folder : folders)
        {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
    }

  private:
    const pid_t owner = getpid();
    std::vector<std::string> folders;
};

TempFolders& tempFolders()
{
    static TempFolders folders;
    return folders;
}
} // namespace

std::string makeTempDir(const std::string& prefix)
{
    std::string pattern = "/tmp/" + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
    {
        throw std::runtime_error("mkdtemp failed for " + pattern);
    }
    tempFolders().add(pattern);
    return pattern;
}

std::string useFreshAppData()
{
    const std::string home = makeTempDir("quarrow-xdg");
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    return home + "/vormel/Quarrow/";
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}
