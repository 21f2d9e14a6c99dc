#pragma once
// Test helpers for files: file names between bytes and wide text, and environment
// variables set for one test, with the scratch folder and the command runner.
#include "base/utf.h"
#include "support/scratchfolder.h"
#include "support/shellcommand.h"

#include <cstdlib>
#include <string>

namespace qeltest {

// File-name bytes as wide text and back, through the lossless conversion.
inline std::u16string WideName(const std::string& bytes)
{
    _guardchar<char16_t> wide;
    return FileNameToWide(bytes.c_str(), i64(bytes.size()), wide) ? wide.GetOrEmpty() : u"<unconvertible>";
}

inline std::string NameBytes(const char16_t* wide)
{
    _guardchar<char> bytes;
    return WideToFileName(wide, -1, bytes) ? bytes.GetOrEmpty() : "<unencodable>";
}

// Sets (or, with null, removes) an environment variable and puts the old state back at
// the end of the test.
class cEnvironmentVariable
{
public:
    cEnvironmentVariable(const char* name, const char* value) : m_name(name)
    {
        const char* old = std::getenv(name);
        m_had = old != nullptr;
        m_old = m_had ? old : "";
        Set(value);
    }
    cEnvironmentVariable(const char* name, const std::string& value) : cEnvironmentVariable(name, value.c_str()) {}
    ~cEnvironmentVariable() { Set(m_had ? m_old.c_str() : nullptr); }
    cEnvironmentVariable(const cEnvironmentVariable&) = delete;
    cEnvironmentVariable& operator=(const cEnvironmentVariable&) = delete;

    void Set(const char* value)
    {
        if (value != nullptr) {
            ::setenv(m_name.c_str(), value, 1);
        } else {
            ::unsetenv(m_name.c_str());
        }
    }

private:
    std::string m_name;
    bool m_had;
    std::string m_old;
};

} // namespace qeltest
