#include "net/http/httprequest.h"

#include "base/clock.h"
#include "base/format.h"
#include "base/memio.h"

#include <cstring>

namespace {

bool IsUrlByte(u8 byte)
{
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9')) {
        return true;
    }
    return std::strchr("!#$%&'()*+,-./:;=?@[]_~", byte) != nullptr && byte != 0;
}

// Writes text or bytes into the growing stream; any short write marks the whole as failed.
class cRequestWriter
{
public:
    explicit cRequestWriter(cMemIOTarget& stream) : m_stream(stream) {}
    void Text(const char* text)
    {
        if (text != nullptr) {
            Bytes(text, std::strlen(text));
        }
    }
    void Bytes(const void* data, size_t length)
    {
        while (length > 0 && m_ok) {
            const u32 piece = length > 0x40000000u ? 0x40000000u : static_cast<u32>(length);
            m_ok = m_stream.WriteExact(data, piece);
            data = static_cast<const u8*>(data) + piece;
            length -= piece;
        }
    }
    void Fail() { m_ok = false; }
    bool Ok() const { return m_ok; }

private:
    cMemIOTarget& m_stream;
    bool m_ok = true;
};

bool WriteFormBody(const cHttpRequest& request, const char* boundary, cMemIOTarget& body)
{
    cRequestWriter out(body);
    for (const sHttpFormPart* part : request.m_formParts) {
        out.Text("--");
        out.Text(boundary);
        out.Text("\r\nContent-Disposition: form-data; name=\"");
        out.Text(part->m_name.Get());
        if (!part->m_dispositionParameters.IsEmpty()) {
            out.Text("\"; ");
            out.Text(part->m_dispositionParameters.Get());
            out.Text("\r\n");
        } else {
            out.Text("\"\r\n");
        }
        if (!part->m_contentType.IsEmpty()) {
            out.Text("Content-Type: ");
            out.Text(part->m_contentType.Get());
            out.Text("\r\n");
        }
        out.Text("\r\n");
        out.Bytes(part->m_data.GetData(), static_cast<size_t>(part->m_data.GetCount()));
        out.Text("\r\n");
    }
    out.Text("--");
    out.Text(boundary);
    out.Text("--\r\n\r\n");
    return out.Ok();
}

bool CopyOut(cMemIOTarget& stream, _typebuf<u8>& out)
{
    sMemBlock block;
    if (!stream.GetContents(block) || block.m_count <= 0) {
        std::free(block.m_data);
        return false;
    }
    const bool ok = out.Alloc(block.m_count);
    if (ok) {
        std::memcpy(out.GetData(), block.m_data, static_cast<size_t>(block.m_count));
    }
    std::free(block.m_data);
    return ok;
}

} // namespace

cHttpRequest::cHttpRequest(const char* url)
{
    if (url != nullptr) {
        (void)ParseUrl(url, *this);
    }
}

bool ParseUrl(const char* url, cHttpRequest& request)
{
    if (url == nullptr) {
        return false;
    }
    size_t schemeLength;
    if (CompareNarrowNoCaseN(url, "http://", 7) == 0) {
        schemeLength = 7;
    } else if (CompareNarrowNoCaseN(url, "https://", 8) == 0) {
        schemeLength = 8;
    } else {
        return false;
    }
    const char* rest = url + schemeLength;
    for (const char* p = rest; *p != 0; ++p) {
        if (!IsUrlByte(static_cast<u8>(*p))) {
            return false;
        }
    }
    const char* slash = std::strchr(rest, '/');
    const size_t authorityLength = slash != nullptr ? size_t(slash - rest) : std::strlen(rest);
    const char* colon = static_cast<const char*>(std::memchr(rest, ':', authorityLength));
    const bool secure = schemeLength == 8;
    u32 port = secure ? 443 : 80;
    size_t hostLength = authorityLength;
    if (colon != nullptr) {
        hostLength = size_t(colon - rest);
        port = 0;
        const char* end = rest + authorityLength;
        if (colon + 1 == end) {
            return false;
        }
        for (const char* p = colon + 1; p < end; ++p) {
            if (*p < '0' || *p > '9') {
                return false;
            }
            port = port * 10 + u32(*p - '0');
            if (port > 65535) {
                return false;
            }
        }
        if (port == 0) {
            return false;
        }
    }
    if (!request.m_host.AssignN(rest, hostLength) ||
        !request.m_authority.AssignN(rest, authorityLength) ||
        !request.m_path.Assign(slash != nullptr ? slash : "/")) {
        return false;
    }
    request.m_port = port;
    request.m_secure = secure ? 1 : 0;
    return true;
}

bool ResetForUrl(cHttpRequest& request, const char* url)
{
    request.m_userAgent.Clear();
    request.m_host.Clear();
    request.m_extraHeaders.Clear();
    request.m_formParts.DeleteAll();
    request.m_path.Clear();
    request.m_authority.Clear();
    request.m_method = static_cast<i32>(eHttpMethod::Get);
    request.m_version = static_cast<i32>(eHttpVersion::Http11);
    return ParseUrl(url, request);
}

bool WriteHttpRequest(const cHttpRequest& request, _typebuf<u8>& out)
{
    out.Free();
    if (request.m_host.IsEmpty() || request.m_path.IsEmpty() ||
        (request.m_method != static_cast<i32>(eHttpMethod::Get) &&
         request.m_method != static_cast<i32>(eHttpMethod::Post)) ||
        (request.m_version != static_cast<i32>(eHttpVersion::Http10) &&
         request.m_version != static_cast<i32>(eHttpVersion::Http11))) {
        return false;
    }
    const bool post = request.m_method == static_cast<i32>(eHttpMethod::Post);
    cMemIOTarget stream;
    cRequestWriter writer(stream);
    writer.Text(post ? "POST " : "GET ");
    writer.Text(request.m_path.Get());
    writer.Text(request.m_version == static_cast<i32>(eHttpVersion::Http10) ? " HTTP/1.0\r\n"
                                                                            : " HTTP/1.1\r\n");
    writer.Text("Host: ");
    writer.Text(request.m_authority.Get());
    writer.Text("\r\nUser-Agent: ");
    writer.Text(request.m_userAgent.IsEmpty() ? kDefaultUserAgent : request.m_userAgent.Get());
    writer.Text("\r\n");

    // In key order: the packed keys sort as their bytes.
    using tHeaders = _keytree<sPackedKey, _guardchar<char>>;
    for (const tHeaders::cNode* node = request.m_extraHeaders.First(); node != nullptr;
         node = tHeaders::Next(node)) {
        _typebuf<u8> name;
        if (!node->GetKey().ToBytes(name)) {
            writer.Fail();
            break;
        }
        writer.Text(reinterpret_cast<const char*>(name.GetData()));
        writer.Text(": ");
        writer.Text(node->GetValue().Get());
        writer.Text("\r\n");
    }

    if (post && !request.m_formParts.IsEmpty()) {
        char boundary[64];
        FormatNarrow(boundary, sizeof(boundary), "----qelnethttp%llx----",
                     static_cast<unsigned long long>(MicrosecondClock()));
        cMemIOTarget body;
        _typebuf<u8> bodyBytes;
        if (!WriteFormBody(request, boundary, body) || !CopyOut(body, bodyBytes)) {
            return false;
        }
        char length[32];
        FormatNarrow(length, sizeof(length), "%d", bodyBytes.GetCount());
        writer.Text("Content-Type: multipart/form-data; boundary=");
        writer.Text(boundary);
        writer.Text("\r\nContent-Length: ");
        writer.Text(length);
        writer.Text("\r\n\r\n");
        writer.Bytes(bodyBytes.GetData(), static_cast<size_t>(bodyBytes.GetCount()));
    } else {
        writer.Text("\r\n");
    }
    return writer.Ok() && CopyOut(stream, out);
}
