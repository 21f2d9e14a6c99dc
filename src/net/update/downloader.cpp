#include "net/update/downloader.h"

#include "base/utf.h"
#include "net/http/httpexchange.h"
#include "net/http/httprequest.h"
#include "net/http/httptransport.h"
#include "net/http/tcpsocket.h"

#include <strings.h>

namespace {

bool IsFollowedRedirect(i32 status)
{
    return status == 301 || status == 302 || status == 303 || status == 307;
}

// A plain "http://" address (a relative one fails later, when the request is re-aimed).
bool IsPlainHttp(const char* url)
{
    return url != nullptr && strncasecmp(url, "http://", 7) == 0;
}

} // namespace

cUpdateDownloader::cUpdateDownloader(cFileIOTarget* target, const char16_t* address)
    : m_target(target)
{
    // A copy that fails leaves the address empty, which does not parse: result 1.
    (void)m_address.Assign(address);
}

cUpdateDownloader::~cUpdateDownloader()
{
    Stop(UINT32_MAX);
}

void cUpdateDownloader::OnStopRequested()
{
    std::lock_guard<std::mutex> guard(m_transportLock);
    if (m_transport != nullptr) {
        m_transport->Abort();
    }
}

void cUpdateDownloader::Exchange(const cHttpRequest& request)
{
    cHttpTransport transport;
    {
        std::lock_guard<std::mutex> guard(m_transportLock);
        m_transport = &transport;
    }
    // A stop requested before the transport was reachable would otherwise go unseen
    // until a time-out.
    if (!IsStopRequested()) {
        (void)PerformRequest(request, transport, *this);
    }
    std::lock_guard<std::mutex> guard(m_transportLock);
    m_transport = nullptr;
}

i32 cUpdateDownloader::RunJob()
{
    _guardchar<char> url;
    cHttpRequest request;
    if (!WideToUtf8String(m_address.GetOrEmpty(), -1, url) || url.IsEmpty() ||
        !ParseUrl(url.Get(), request) || !NetworkStartup()) {
        return kResultBadAddress;
    }
    m_bytesWritten = 0;
    Exchange(request);
    if (m_state == kResultRedirectedTwice) {
        // Following an https address to a plain one would fetch, unauthenticated, the
        // program that is started next.
        if (m_redirectTarget.IsEmpty() ||
            (request.m_secure != 0 && IsPlainHttp(m_redirectTarget.Get()))) {
            return kResultServerError;
        }
        if (IsStopRequested()) {
            return kResultStopped;
        }
        if (!ResetForUrl(request, m_redirectTarget.Get())) {
            return kResultBadAddress;
        }
        m_bytesWritten = 0;
        // A second exchange that ends short is incomplete, not a second redirect.
        m_state = kResultIncomplete;
        Exchange(request);
    }
    if (IsStopRequested()) {
        return kResultStopped;
    }
    if (m_contentLength != 0 && m_bytesWritten >= u64(m_contentLength)) {
        return kResultComplete;
    }
    return m_state;
}

bool cUpdateDownloader::OnHeadersDone()
{
    if (m_status == 200) {
        return true;
    }
    if (IsFollowedRedirect(m_status)) {
        (void)m_redirectTarget.Assign(GetLocationHeader(*this));
        m_state = kResultRedirectedTwice;
        return false;
    }
    m_state = kResultServerError;
    return false;
}

bool cUpdateDownloader::OnData(const u8* bytes, u32 count, u64 offset)
{
    if (count == 0) {
        return true;
    }
    if (!m_target->WriteExact(bytes, count)) {
        m_state = kResultWriteFailed;
        return false;
    }
    // An unknown (-1) or zero length would give a negative or NaN share.
    const f64 percent = m_contentLength > 0 ? f64(offset) * 100.0 / f64(m_contentLength) : 0.0;
    m_bytesWritten += count;
    return OnProgress(percent);
}
