#pragma once
// One HTTP/1.x request: the URL parser that splits an "http://" or "https://" address into
// scheme, host, port and path, and the writer that serialises the request line, the
// headers and an optional multipart/form-data body (RFC 7578).
#include "base/buffers.h"
#include "base/keytree.h"
#include "base/lists.h"
#include "base/packedkey.h"
#include "base/texts.h"

inline constexpr i32 kHttpHeaderMapDepthLimit = 1024;
inline constexpr char kDefaultUserAgent[] = "QELNetHTTP (compatible; cross-platform)";

// One part of a multipart/form-data body. The request's list owns its parts.
struct sHttpFormPart
{
    _guardchar<char> m_name;
    _guardchar<char> m_contentType;          // null: no Content-Type line
    _guardchar<char> m_dispositionParameters; // written as they stand after "; "
    _typebuf<u8> m_data;
};

enum class eHttpMethod : i32 { Get = 0, Post = 1 };
enum class eHttpVersion : i32 { Http10 = 0, Http11 = 1 };

class cHttpRequest
{
public:
    // Defaults: GET, HTTP/1.1, port 80, no host. With a URL, ParseUrl runs on it; a URL
    // that does not parse leaves host and path empty, so the writer fails.
    explicit cHttpRequest(const char* url = nullptr);
    cHttpRequest(const cHttpRequest&) = delete;
    cHttpRequest& operator=(const cHttpRequest&) = delete;
    virtual ~cHttpRequest() = default;

    i32 m_method = static_cast<i32>(eHttpMethod::Get); // other values make the writer fail
    _guardchar<char> m_userAgent;                       // null: kDefaultUserAgent
    _guardchar<char> m_host;                            // without the port
    _guardchar<char> m_authority;                       // host and ":port" as written
    _guardchar<char> m_path;                            // from the first "/", query kept
    u32 m_port = 80;
    i32 m_version = static_cast<i32>(eHttpVersion::Http11);
    u8 m_secure = 0;
    _keytree<sPackedKey, _guardchar<char>> m_extraHeaders{kHttpHeaderMapDepthLimit};
    // The parts of a POST body, in order; the list deletes them.
    _linklist<sHttpFormPart*> m_formParts;
};

// Fills the secure flag, host, authority, port and path of `request` from `url`:
// "http://" or "https://" (either case), then only letters, digits and
// ! # $ % & ' ( ) * + , - . / : ; = ? @ [ ] _ ~. The host part ends at the first "/"; a
// ":" in it starts a port of digits, 1..65535. False for anything else.
[[nodiscard]] bool ParseUrl(const char* url, cHttpRequest& request);

// Re-aims `request` at `url` to follow a redirect: clears the agent, host, extra
// headers, form parts, path and authority, sets GET and HTTP/1.1, and parses the URL.
[[nodiscard]] bool ResetForUrl(cHttpRequest& request, const char* url);

// The whole request as one byte buffer. False, with `out` empty, when the host or path
// is missing, the method or version is out of range, or memory is short.
[[nodiscard]] bool WriteHttpRequest(const cHttpRequest& request, _typebuf<u8>& out);
