#include "net/update/downloader.h"

#include "base/utf.h"
#include "net/http/httpexchange.h"
#include "net/http/httprequest.h"
#include "net/http/httptransport.h"
#include "net/http/tcpsocket.h"
#include "net/update/updatereport.h"

#include <strings.h>

#include <cerrno>
#include <cstring>

namespace {

bool IsFollowedRedirect(i32 status)
{
    return status == 301 || status == 302 || status == 303 || status == 307;
}

bool IsHttps(const char* url)
{
    return strncasecmp(url, "https://", 8) == 0;
}

// RFC 3986 3.1: scheme = ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ), then ":". Without
// one, a redirect target is relative.
bool HasScheme(const char* url)
{
    const char* unit = url;
    while ((*unit >= 'a' && *unit <= 'z') || (*unit >= 'A' && *unit <= 'Z') ||
           (unit != url && ((*unit >= '0' && *unit <= '9') || *unit == '+' || *unit == '-' ||
                            *unit == '.'))) {
        ++unit;
    }
    return unit != url && *unit == ':';
}

} // namespace

cUpdateDownloader::cUpdateDownloader(cFileIOTarget* target, const char16_t* address,
                                     std::string* reason)
    : m_target(target), m_reason(reason)
{
    // A copy that fails leaves the address empty, which does not parse: result 1.
    (void)m_address.Assign(address);
}

void cUpdateDownloader::Abort()
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
    if (!IsStopRequested() && !PerformRequest(request, transport, *this)) {
        m_exchangeFailure = transport.GetFailure();
    }
    std::lock_guard<std::mutex> guard(m_transportLock);
    m_transport = nullptr;
}

i32 cUpdateDownloader::Run(cProgressNotifyTarget& progress)
{
    m_progress = &progress;
    const i32 result = RunExchanges();
    if (m_reason != nullptr && result != kResultStopped && result != kResultComplete) {
        *m_reason = DescribeResult(result);
    }
    return result;
}

i32 cUpdateDownloader::RunExchanges()
{
    _guardchar<char> url;
    cHttpRequest request;
    if (!WideToUtf8String(m_address.GetOrEmpty(), -1, url) || url.IsEmpty()) {
        return kResultBadAddress;
    }
    if (!IsHttps(url.Get())) {
        m_schemeRefused = true;
        return kResultServerError;
    }
    if (!ParseUrl(url.Get(), request) || !NetworkStartup()) {
        return kResultBadAddress;
    }
    m_bytesWritten = 0;
    Exchange(request);
    if (m_state == kResultRedirectedTwice) {
        if (m_redirectTarget.IsEmpty()) {
            return kResultServerError;
        }
        if (!IsHttps(m_redirectTarget.Get())) {
            if (!HasScheme(m_redirectTarget.Get())) {
                return kResultBadAddress;
            }
            m_schemeRefused = true;
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
        m_exchangeFailure = {};
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

std::string cUpdateDownloader::DescribeResult(i32 result) const
{
    switch (result) {
    case kResultBadAddress:
        return m_redirectTarget.IsEmpty() ? "address not usable" : "redirect target not usable";
    case kResultIncomplete: {
        std::string text = m_exchangeFailure.m_reason != eExchangeFailure::None
                               ? DescribeExchangeFailure(m_exchangeFailure)
                               : "answer cut";
        if (m_contentLength > 0) {
            return text + " after " + std::to_string(m_bytesWritten) + " of " +
                   std::to_string(m_contentLength) + " bytes";
        }
        return m_status == 200 && m_exchangeFailure.m_reason == eExchangeFailure::None
                   ? "answer without a length"
                   : text;
    }
    case kResultServerError:
        if (m_schemeRefused) {
            return m_redirectTarget.IsEmpty()
                       ? "not an https address"
                       : std::string("redirect to a non-https address: ") + m_redirectTarget.Get();
        }
        return IsFollowedRedirect(m_status) ? "redirect without a Location"
                                            : "HTTP status " + std::to_string(m_status);
    case kResultWriteFailed:
        return "cannot write the file: " + m_writeError;
    case kResultRedirectedTwice:
        return "redirected more than once";
    default:
        return "failed";
    }
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
        m_writeError = std::strerror(errno);
        m_state = kResultWriteFailed;
        return false;
    }
    // An unknown (-1) or zero length would give a negative or NaN share.
    const f64 percent = m_contentLength > 0 ? f64(offset) * 100.0 / f64(m_contentLength) : 0.0;
    m_bytesWritten += count;
    return m_progress->SetProgress(percent);
}
