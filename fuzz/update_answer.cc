// The update answer parser on arbitrary bytes. Invariants: a parsed answer has both
// addresses, and its version, formatted and read back as a version line, is the same.
// Links: qel_net_update qel_base
#include "base/utf.h"
#include "net/update/updateanswer.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    sUpdateAnswer answer;
    if (!ParseUpdateAnswer(data, size, answer)) {
        return 0;
    }
    if (answer.m_downloadAddress.IsEmpty() || answer.m_webSiteAddress.IsEmpty()) {
        std::abort();
    }
    _guardchar<char> line;
    if (!WideToUtf8String(FormatVersion(answer.m_version).Get(), -1, line)) {
        return 0;
    }
    const std::string again = std::string(line.GetOrEmpty()) + "\r\na\rb\r";
    sUpdateAnswer reread;
    if (!ParseUpdateAnswer(reinterpret_cast<const u8*>(again.data()), again.size(), reread) ||
        reread.m_version != answer.m_version) {
        std::abort();
    }
    return 0;
}
