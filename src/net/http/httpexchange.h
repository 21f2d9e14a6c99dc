#pragma once
// One synchronous HTTP/1.x exchange: connect (with TLS for "https"), send the request,
// receive the response into the caller's receiver, close.
#include "net/http/httprequest.h"
#include "net/http/httpresponse.h"
#include "net/http/httptransport.h"

// Every exchange connects anew (20 s for the connect and the handshake), then uses 30 s
// receive time-outs; the connection is closed after the response in every case. False
// when the request cannot be written, the connection or handshake fails, the request
// cannot be sent, the response fails (ReceiveResponse), a receive timed out at any stage,
// or a TLS record failed on the way (a forged or cut record, or a close without
// close_notify, is never taken for the end of a body). The first reason of a failure is
// then the transport's GetFailure().
[[nodiscard]] bool PerformRequest(const cHttpRequest& request, cHttpTransport& transport,
                                  cHttpResponse& response);
