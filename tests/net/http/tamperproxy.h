#pragma once
// A loopback proxy between the client and a TLS server that flips the last bit of one
// server message on its way to the client, leaving every other byte alone: of a TLS 1.2
// ServerKeyExchange (its signature) or of the server's first protected record (its tag
// or MAC). Or it drops the server's TLS 1.2 alert records (its close_notify), so that the
// server's TCP close alone ends the stream.
#include "net/scriptedpeer.h"

namespace nettest {

enum class eTamperTarget { ServerKeyExchange, ProtectedRecord, DropAlerts };

// Serves one connection: relays it to 127.0.0.1:`serverPort`, the server's side whole
// record by whole record.
class cTamperProxy
{
public:
    cTamperProxy(uint16_t serverPort, eTamperTarget target)
    {
        m_listener.Serve([serverPort, target](int client) {
            const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address = {};
            address.sin_family = AF_INET;
            address.sin_port = htons(serverPort);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
                Relay(client, server, target);
            }
            ::close(server);
        });
    }
    uint16_t Port() const { return m_listener.Port(); }

private:
    // A server message split over records is not found, and then the test fails: s_server
    // sends its TLS 1.2 flight in one record.
    static bool Tamper(Bytes& record, eTamperTarget target)
    {
        if (target == eTamperTarget::DropAlerts) {
            return false;
        }
        if (target == eTamperTarget::ProtectedRecord) {
            record.back() ^= record[0] == 23 ? 0x01 : 0;
            return record[0] == 23;
        }
        for (size_t at = 5; record[0] == 22 && at + 4 <= record.size();) {
            const size_t end = at + 4 + (size_t(record[at + 1]) << 16 | size_t(record[at + 2]) << 8 | record[at + 3]);
            if (record[at] == 12 && end <= record.size()) {
                record[end - 1] ^= 0x01;
                return true;
            }
            at = end;
        }
        return false;
    }

    static void Relay(int client, int server, eTamperTarget target)
    {
        Bytes pending;
        bool altered = false;
        uint8_t buffer[16384];
        for (;;) {
            pollfd entries[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
            if (::poll(entries, 2, 10000) <= 0) {
                return;
            }
            const bool fromServer = (entries[1].revents & (POLLIN | POLLHUP)) != 0;
            const ssize_t got = ::recv(fromServer ? server : client, buffer, sizeof(buffer), 0);
            if (got <= 0 || (!fromServer && !WriteAllFd(server, buffer, size_t(got)))) {
                return;
            }
            pending.insert(pending.end(), buffer, buffer + (fromServer ? got : 0));
            while (pending.size() >= 5 && pending.size() >= 5 + (size_t(pending[3]) << 8 | pending[4])) {
                const auto end = pending.begin() + 5 + (long(pending[3]) << 8 | pending[4]);
                Bytes record(pending.begin(), end);
                pending.erase(pending.begin(), end);
                if (target == eTamperTarget::DropAlerts && record[0] == 21) {
                    continue;
                }
                altered = altered || Tamper(record, target);
                if (!WriteAllFd(client, record)) {
                    return;
                }
            }
        }
    }

    cLoopbackServer m_listener;
};

} // namespace nettest
