#include "TestEnv.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

std::string makeTempDir(const std::string& prefix)
{
    std::string pattern = "/tmp/" + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
    {
        throw std::runtime_error("mkdtemp failed for " + pattern);
    }
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
