#pragma once
// Sets or unsets an environment variable for one scope, then restores it.
#include <cstdlib>
#include <optional>
#include <string>

namespace nettest {

class cScopedEnvironment
{
public:
    // A null value unsets the variable.
    cScopedEnvironment(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    cScopedEnvironment(const char* name, const std::string& value) : cScopedEnvironment(name, value.c_str()) {}
    ~cScopedEnvironment()
    {
        if (m_old) {
            ::setenv(m_name.c_str(), m_old->c_str(), 1);
        } else {
            ::unsetenv(m_name.c_str());
        }
    }
    cScopedEnvironment(const cScopedEnvironment&) = delete;
    cScopedEnvironment& operator=(const cScopedEnvironment&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

} // namespace nettest
