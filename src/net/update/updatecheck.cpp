#include "net/update/updatecheck.h"

#include "net/http/httpexchange.h"
#include "net/http/plaindatareader.h"
#include "net/http/tcpsocket.h"
#include "net/update/updateanswer.h"
#include "net/update/updateurl.h"

#include <cstdlib>

bool CheckForUpdate(const char* id, u64& version, _guardchar<char16_t>& downloadAddress,
                    _guardchar<char16_t>& webSiteAddress, _guardchar<char16_t>& releaseNotes)
{
    _guardchar<char> url;
    cHttpRequest request;
    if (id == nullptr || !NetworkStartup() || !BuildUpdateUrl(id, url) ||
        !ParseUrl(url.Get(), request)) {
        return false;
    }
    cPlainDataReader reader;
    cHttpTransport transport;
    sMemBlock body;
    // An exchange that ends before the header block did (the peer closed) succeeds with
    // no body, which the parser refuses.
    if (!PerformRequest(request, transport, reader) || !reader.GetBody(body)) {
        return false;
    }
    sUpdateAnswer answer;
    const bool parsed = ParseUpdateAnswer(body.m_data, size_t(body.m_count), answer);
    std::free(body.m_data);
    if (!parsed) {
        return false;
    }
    version = answer.m_version;
    downloadAddress = std::move(answer.m_downloadAddress);
    webSiteAddress = std::move(answer.m_webSiteAddress);
    releaseNotes = std::move(answer.m_releaseNotes);
    return true;
}
