#include "net/update/updatecheck.h"

#include "net/http/httpexchange.h"
#include "net/http/plaindatareader.h"
#include "net/http/tcpsocket.h"
#include "net/update/updateanswer.h"
#include "net/update/updateurl.h"

#include <cstdlib>

namespace {

bool Fail(sExchangeFailure* failure, const sExchangeFailure& reason)
{
    if (failure != nullptr) {
        *failure = reason;
    }
    return false;
}

} // namespace

std::atomic<u32> g_updateCheckDeadlineMs{kUpdateCheckDeadlineMs};

bool CheckForUpdate(const char* id, u64& version, _guardchar<char16_t>& downloadAddress,
                    _guardchar<char16_t>& webSiteAddress, _guardchar<char16_t>& releaseNotes,
                    sExchangeFailure* failure)
{
    sExchangeFailure unusable;
    unusable.Note(eExchangeFailure::UnusableAnswer);
    _guardchar<char> url;
    cHttpRequest request;
    if (id == nullptr || !NetworkStartup() || !BuildUpdateUrl(id, url) ||
        !ParseUrl(url.Get(), request)) {
        sExchangeFailure badRequest;
        badRequest.Note(eExchangeFailure::BadRequest);
        return Fail(failure, badRequest);
    }
    cPlainDataReader reader;
    cHttpTransport transport;
    transport.SetDeadline(g_updateCheckDeadlineMs.load());
    sMemBlock body;
    if (!PerformRequest(request, transport, reader)) {
        return Fail(failure, transport.GetFailure());
    }
    // An exchange that ends before the header block did (the peer closed) succeeds with
    // no body, which the parser refuses.
    if (!reader.GetBody(body)) {
        return Fail(failure, unusable);
    }
    sUpdateAnswer answer;
    const bool parsed = ParseUpdateAnswer(body.m_data, size_t(body.m_count), answer);
    std::free(body.m_data);
    if (!parsed) {
        return Fail(failure, unusable);
    }
    version = answer.m_version;
    downloadAddress = std::move(answer.m_downloadAddress);
    webSiteAddress = std::move(answer.m_webSiteAddress);
    releaseNotes = std::move(answer.m_releaseNotes);
    return true;
}
