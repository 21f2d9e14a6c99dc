#pragma once
// A private folder for one test, removed with everything in it when the object goes.
// Tests run in parallel processes, so every test makes its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <ftw.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qeltest {

class cScratchFolder
{
public:
    // In `parent`: /tmp unless a test needs a faster file system (/dev/shm).
    explicit cScratchFolder(const std::string& parent = "/tmp")
    {
        std::string pattern = parent + "/qeltest.XXXXXX";
        const bool made = ::mkdtemp(pattern.data()) != nullptr;
        EXPECT_TRUE(made) << pattern;
        if (made) {
            m_path = pattern;
        }
    }
    ~cScratchFolder()
    {
        if (!m_path.empty()) {
            ::nftw(m_path.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
        }
    }
    cScratchFolder(const cScratchFolder&) = delete;
    cScratchFolder& operator=(const cScratchFolder&) = delete;

    // Empty when the folder could not be made.
    const std::string& Path() const { return m_path; }
    std::string PathOf(const std::string& name) const { return m_path + "/" + name; }

    // Writes `bytes` to a new file through the C++ library (not through our streams) and
    // returns its path.
    template <class Bytes>
    std::string MakeFile(const std::string& name, const Bytes& bytes) const
    {
        std::string path = PathOf(name);
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        EXPECT_TRUE(file.good()) << path;
        return path;
    }

private:
    static int RemoveOne(const char* path, const struct stat*, int type, struct FTW*)
    {
        // A folder a test made unreadable must still go. Only folders: chmod follows
        // symbolic links, and tests link to devices such as /dev/null.
        if (type == FTW_DP) {
            ::chmod(path, 0700);
        }
        ::remove(path);
        return 0;
    }

    std::string m_path;
};

// The whole content of a file, read through the C++ library; empty when it cannot be read.
inline std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace qeltest
