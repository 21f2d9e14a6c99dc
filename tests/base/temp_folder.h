#pragma once
// A private folder under /tmp for one test, removed with everything in it when the test ends.
// Tests run in parallel processes, so every test gets its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace streamtest {

class cTempFolder
{
public:
    cTempFolder()
    {
        char pattern[] = "/tmp/qel_streams_XXXXXX";
        const char* made = ::mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        m_path = made != nullptr ? made : "/tmp";
    }
    ~cTempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    cTempFolder(const cTempFolder&) = delete;
    cTempFolder& operator=(const cTempFolder&) = delete;

    std::string PathOf(const std::string& name) const { return m_path + "/" + name; }

    // Writes `bytes` to a new file through the C++ library (not through our streams).
    std::string MakeFile(const std::string& name, const std::vector<unsigned char>& bytes) const
    {
        std::string path = PathOf(name);
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        EXPECT_TRUE(file.good()) << path;
        return path;
    }

private:
    std::string m_path;
};

// The bytes of a file, read through the C++ library.
inline std::vector<unsigned char> ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(file),
                                      std::istreambuf_iterator<char>());
}

} // namespace streamtest
