#pragma once
// A loopback proxy between the client and a TLS server that flips one bit on its way to
// the client, leaving every other byte alone: in the last byte of a TLS 1.2
// ServerKeyExchange signature, or in the last byte (the tag or MAC) of the server's first
// protected record.
#include "scriptedpeer.h"

#include <atomic>

namespace nettest {

enum class eTamperTarget { ServerKeyExchange, ProtectedRecord };

// Follows the server's records and the handshake messages inside them, byte by byte, so
// that a message may lie anywhere across records.
class cSignatureTamperer
{
public:
    explicit cSignatureTamperer(eTamperTarget target) : m_target(target) {}
    void Pass(uint8_t* data, size_t size)
    {
        for (size_t i = 0; i < size; ++i) {
            PassByte(data[i]);
        }
    }
    bool Altered() const { return m_altered; }

private:
    enum : uint8_t { kHandshake = 22, kChangeCipherSpec = 20, kServerKeyExchange = 12, kApplicationData = 23 };

    void PassByte(uint8_t& byte)
    {
        if (m_recordHeaderHave < 5) {
            m_recordHeader[m_recordHeaderHave++] = byte;
            if (m_recordHeaderHave == 5) {
                m_recordLeft = size_t(m_recordHeader[3]) << 8 | m_recordHeader[4];
                m_plain = m_plain && m_recordHeader[0] != kChangeCipherSpec;
                m_recordHeaderHave = m_recordLeft == 0 ? 0 : 5;
            }
            return;
        }
        if (m_target == eTamperTarget::ServerKeyExchange && m_plain && m_recordHeader[0] == kHandshake) {
            PassHandshakeByte(byte);
        }
        if (m_target == eTamperTarget::ProtectedRecord && !m_altered &&
            m_recordHeader[0] == kApplicationData && m_recordLeft == 1) {
            byte ^= 0x01;
            m_altered = true;
        }
        if (--m_recordLeft == 0) {
            m_recordHeaderHave = 0;
        }
    }
    void PassHandshakeByte(uint8_t& byte)
    {
        if (m_messageHeaderHave < 4) {
            m_messageHeader[m_messageHeaderHave++] = byte;
            if (m_messageHeaderHave == 4) {
                m_messageLeft = size_t(m_messageHeader[1]) << 16 | size_t(m_messageHeader[2]) << 8 | m_messageHeader[3];
                m_messageHeaderHave = m_messageLeft == 0 ? 0 : 4;
            }
            return;
        }
        if (m_messageHeader[0] == kServerKeyExchange && m_messageLeft == 1) {
            byte ^= 0x01;
            m_altered = true;
        }
        if (--m_messageLeft == 0) {
            m_messageHeaderHave = 0;
        }
    }

    eTamperTarget m_target;
    uint8_t m_recordHeader[5] = {};
    size_t m_recordHeaderHave = 0;
    size_t m_recordLeft = 0;
    bool m_plain = true; // until the server's ChangeCipherSpec
    uint8_t m_messageHeader[4] = {};
    size_t m_messageHeaderHave = 0;
    size_t m_messageLeft = 0;
    bool m_altered = false;
};

// Serves one connection: relays it to 127.0.0.1:`serverPort`, tampering when asked.
class cTamperProxy
{
public:
    cTamperProxy(uint16_t serverPort, bool tamper, eTamperTarget target = eTamperTarget::ServerKeyExchange)
    {
        m_listener.Serve([this, serverPort, tamper, target](int client) {
            const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address = {};
            address.sin_family = AF_INET;
            address.sin_port = htons(serverPort);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
                Relay(client, server, tamper, target);
            }
            ::close(server);
        });
    }
    uint16_t Port() const { return m_listener.Port(); }
    // After the connection ended.
    bool Altered()
    {
        m_listener.Join();
        return m_altered;
    }

private:
    void Relay(int client, int server, bool tamper, eTamperTarget target)
    {
        cSignatureTamperer tamperer(target);
        uint8_t buffer[16384];
        for (;;) {
            pollfd entries[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
            if (::poll(entries, 2, 10000) <= 0) {
                break;
            }
            const bool fromServer = (entries[1].revents & (POLLIN | POLLHUP)) != 0;
            const int from = fromServer ? server : client;
            const ssize_t got = ::recv(from, buffer, sizeof(buffer), 0);
            if (got <= 0) {
                break;
            }
            if (fromServer && tamper) {
                tamperer.Pass(buffer, size_t(got));
            }
            if (!WriteAllFd(fromServer ? client : server, buffer, size_t(got))) {
                break;
            }
        }
        m_altered = tamperer.Altered();
    }

    cLoopbackServer m_listener;
    bool m_altered = false;
};

} // namespace nettest
