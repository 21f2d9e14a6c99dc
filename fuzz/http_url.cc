// ResetForUrl (the redirect path: the address comes from a server's Location header) and
// WriteHttpRequest on arbitrary text. An address that parses must give a port in range and
// a path that starts the request line; no byte of it may end the line early or split the
// header block.
// Links: qel_net_http qel_base
#include "net/http/httprequest.h"

#include <cstring>
#include <string>

namespace {

bool HasLineBreakOrBlank(const char* text)
{
    return text != nullptr && std::strpbrk(text, "\r\n \t") != nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    const std::string url(reinterpret_cast<const char*>(data), size); // a zero byte ends it
    cHttpRequest request;
    if (!ResetForUrl(request, url.c_str())) {
        return 0;
    }
    if (request.m_port < 1 || request.m_port > 65535 || request.m_path.Get() == nullptr ||
        request.m_path.Get()[0] != '/' || HasLineBreakOrBlank(request.m_path.Get()) ||
        HasLineBreakOrBlank(request.m_authority.Get())) {
        __builtin_trap();
    }
    _typebuf<u8> bytes;
    if (!WriteHttpRequest(request, bytes)) {
        // Only an empty host (an address such as "http:///") may be refused.
        if (!request.m_host.IsEmpty()) {
            __builtin_trap();
        }
        return 0;
    }
    const std::string written(reinterpret_cast<const char*>(bytes.GetData()), size_t(bytes.GetCount()));
    const std::string requestLine = std::string("GET ") + request.m_path.Get() + " HTTP/1.1\r\n";
    if (written.compare(0, requestLine.size(), requestLine) != 0 ||
        written.find("\r\n\r\n") != written.size() - 4) {
        __builtin_trap();
    }
    return 0;
}
