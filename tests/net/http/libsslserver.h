#pragma once
// OpenSSL's TLS stack as an in-process server for one connection, run by a script on the
// loopback server's thread: for what s_server cannot be told to do at a chosen moment
// (a KeyUpdate in the middle of a body).
#include "net/pki.h"
#include "net/scriptedpeer.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

namespace nettest {

class cLibSslServer
{
public:
    // The script gets the connection after the handshake; TLS 1.3 only.
    cLibSslServer(const sTestPki& pki, std::function<void(SSL*)> script)
    {
        m_context = SSL_CTX_new(TLS_server_method());
        SSL_CTX_set_min_proto_version(m_context, TLS1_3_VERSION);
        SSL_CTX_set_options(m_context, SSL_OP_IGNORE_UNEXPECTED_EOF);
        m_ready = SSL_CTX_use_certificate_chain_file(m_context, pki.m_leafCert.c_str()) == 1 &&
                  SSL_CTX_use_PrivateKey_file(m_context, pki.m_leafKey.c_str(), SSL_FILETYPE_PEM) == 1;
        SSL_CTX* context = m_context;
        m_server.Serve([context, script](int handle) {
            SSL* ssl = SSL_new(context);
            SSL_set_fd(ssl, handle);
            if (SSL_accept(ssl) == 1) {
                script(ssl);
            }
            SSL_free(ssl);
            ERR_clear_error();
        });
    }
    ~cLibSslServer()
    {
        m_server.Join();
        SSL_CTX_free(m_context);
    }
    cLibSslServer(const cLibSslServer&) = delete;
    cLibSslServer& operator=(const cLibSslServer&) = delete;

    bool Ready() const { return m_ready; }
    // Waits for the script to end.
    void Join() { m_server.Join(); }
    uint16_t Port() const { return m_server.Port(); }

private:
    SSL_CTX* m_context = nullptr;
    bool m_ready = false;
    cLoopbackServer m_server;
};

// Reads until the end of a request's header block; false when the client went away.
inline bool ReadRequestHead(SSL* ssl)
{
    std::string head;
    char buffer[1024];
    while (head.find("\r\n\r\n") == std::string::npos) {
        const int got = SSL_read(ssl, buffer, sizeof(buffer));
        if (got <= 0) {
            return false;
        }
        head.append(buffer, size_t(got));
    }
    return true;
}

} // namespace nettest
