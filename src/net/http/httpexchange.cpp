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
    transport.ClearFailure();
    _typebuf<u8> bytes;
    if (request.m_host.IsEmpty() || !WriteHttpRequest(request, bytes) || bytes.GetCount() <= 0) {
        transport.NoteFailure(eExchangeFailure::BadRequest);
        return false;
    }
    CloseConnection(transport);
    if (!transport.SetHost(request.m_host.Get())) {
        transport.NoteFailure(eExchangeFailure::OutOfMemory);
        return false;
    }
    transport.SetUseTls(request.m_secure != 0);
    if (!ConnectToHost(transport, request.m_host.Get(), static_cast<u16>(request.m_port))) {
        // The transport kept the connect's or the handshake's reason; else the name.
        transport.NoteFailure(eExchangeFailure::HostNotResolved);
        return false;
    }
    transport.SetReceiveTimeout(kExchangeTimeout);
    transport.SetSecondTimeout(kExchangeTimeout);
    if (!SendRequest(transport, bytes.GetData(), bytes.GetCount())) {
        transport.NoteFailure(eExchangeFailure::ClosedEarly);
        CloseConnection(transport);
        return false;
    }
    cSocketIO stream(&transport);
    bool result = false;
    if (stream.IsOpen()) {
        // The stream ends alike at a close, a time-out or a failed TLS record; the
        // transport noted the reason of the last two before the response saw the end.
        result = ReceiveResponse(response, &stream) && !transport.HasFailed() &&
                 transport.GetFailure().m_reason == eExchangeFailure::None;
        if (!result) {
            transport.NoteFailure(response.m_failure != eExchangeFailure::None ? response.m_failure
                                                                              : eExchangeFailure::ClosedEarly);
        }
    } else {
        transport.NoteFailure(eExchangeFailure::ClosedEarly);
    }
    CloseConnection(transport);
    return result;
}
