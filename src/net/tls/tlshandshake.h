#pragma once
// The client side of the TLS handshake, run by cHttpTransport::Connect after the TCP
// connect. One ClientHello offers TLS 1.3 and TLS 1.2 over X25519 with server name
// indication; the ServerHello decides which flow follows. It ends with the record keys
// set and the transport's TLS state at Tls12 or Tls13. Authentication is left to the
// transport's verifier hooks, which receive the certificate chain and the signed data.
class cHttpTransport;

// The whole handshake. False on any failure; no alert is sent.
// CT: the shared secrets, keys and Finished values are handled by the constant-time
// primitives and compared with ct::BytesEqual; every secret is wiped when it ends.
[[nodiscard]] bool TlsHandshake(cHttpTransport& transport);
