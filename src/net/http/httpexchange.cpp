#include "net/http/httpexchange.h"

#include "net/http/socketio.h"

namespace {

constexpr sSocketTimeout kExchangeTimeout = {30, 0};

bool SendRequest(cHttpTransport& transport, const u8* bytes, i32 size)
{
    i32 done = 0;
    while (done < size) {
        const i32 sent = transport.Send(bytes + done, size - done);
        if (sent <= 0) {
            return false;
        }
        done += sent;
    }
    return true;
}

} // namespace

bool PerformRequest(const cHttpRequest& request, cHttpTransport& transport, cHttpResponse& response)
{
    _typebuf<u8> bytes;
    if (request.m_host.IsEmpty() || !WriteHttpRequest(request, bytes) || bytes.GetCount() <= 0) {
        return false;
    }
    CloseConnection(transport);
    if (!transport.SetHost(request.m_host.Get())) {
        return false;
    }
    transport.SetUseTls(request.m_secure != 0);
    if (!ConnectToHost(transport, request.m_host.Get(), static_cast<u16>(request.m_port))) {
        return false;
    }
    transport.SetReceiveTimeout(kExchangeTimeout);
    transport.SetSecondTimeout(kExchangeTimeout);
    if (!SendRequest(transport, bytes.GetData(), bytes.GetCount())) {
        CloseConnection(transport);
        return false;
    }
    cSocketIO stream(&transport);
    bool result = false;
    if (stream.IsOpen()) {
        result = ReceiveResponse(response, &stream) && !transport.HasFailed();
    }
    CloseConnection(transport);
    return result;
}
