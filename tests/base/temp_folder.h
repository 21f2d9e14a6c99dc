#pragma once
// A scratch folder for the stream tests, with files written by the C++ library.
#include "support/scratchfolder.h"

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace streamtest {

// A scratch folder that also writes test files.
class cTempFolder : public qeltest::cScratchFolder
{
public:
    // Writes `bytes` to a new file through the C++ library (not through our streams).
    std::string MakeFile(const std::string& name, const std::vector<unsigned char>& bytes) const
    {
        std::string path = PathOf(name);
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        EXPECT_TRUE(file.good()) << path;
        return path;
    }
};

// The bytes of a file, read through the C++ library.
inline std::vector<unsigned char> ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(file),
                                      std::istreambuf_iterator<char>());
}

} // namespace streamtest
