// ParseInt64Narrow on arbitrary bytes, with strtoll as the peer wherever ours reads a
// value: the two must agree on every text that has digits and stays in range.
// Links: qel_base
#include "base/format.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size); // a zero byte ends it
    i64 value = ParseInt64Narrow(text.c_str());
    if (value == -1) {
        return 0;
    }
    // Ours skips only tab, LF, CR and space, which strtoll skips too.
    const char* digits = text.c_str() + std::strspn(text.c_str(), "\t\n\r ");
    digits += (*digits == '+' || *digits == '-') ? 1 : 0;
    bool hex = digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
    errno = 0;
    long long expected = std::strtoll(text.c_str(), nullptr, hex ? 16 : 10);
    if (errno != 0 || expected != value) {
        __builtin_trap();
    }
    return 0;
}
