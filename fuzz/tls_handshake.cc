// The TLS handshake on an arbitrary server byte stream over a socketpair, with the
// client's key and ClientHello fixed to those of the RFC 8448 simple handshake (section
// 3), so that a seed made of that trace's ServerHello and server flight decrypts and the
// fuzzer reaches the message parsers behind the record layer. The hooks accept.
// Links: qel_net_http qel_base
#include "net/http/httptransport.h"
#include "net/tls/tlstesting.h"

#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<u8> FromHex(const char* hex)
{
    std::vector<u8> out;
    for (size_t i = 0; hex[i] != 0 && hex[i + 1] != 0; i += 2) {
        out.push_back(u8(std::stoi(std::string(hex + i, 2), nullptr, 16)));
    }
    return out;
}

// RFC 8448 3: the client's x25519 private key and its ClientHello message (printed by
// tools/testdata/make_net_fuzz_seeds.py).
const std::vector<u8> kPrivateKey =
    FromHex("70a1a8f491e82d530542c6d7a8dcd8cfa9e31f59bb336b550b13bfe199f542c5");
const std::vector<u8> kClientHello = FromHex(
    "010000c003036660261ff947cea49cce6cfad687f457cf1b14531ba14131a0e8f309a1d0b9c40000061301130313"
    "02010000910000000b0009000006736572766572ff01000100000a00140012001d00170018001901000101010201"
    "03010400230000003300260024001d00204cfdfcd178b784bf328cae793b136f2aedce005ff183d7bb1495207236"
    "647037002b0003020304000d0020001e040305030603020308040805080604010501060102010402050206020202"
    "002d00020101001c00024001");

// The trace's certificate is self-signed and expired: accepting it lets the fuzzer reach
// the messages after it.
class cAcceptingTransport : public cHttpTransport
{
public:
    bool VerifyCertificate(const u8*, u32) override { return true; }
    bool VerifyCertificateVerify(const u8*, u32, const u8*, u32) override { return true; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    if (size > 100000) {
        return 0;
    }
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return 0;
    }
    size_t written = 0;
    while (written < size) {
        const ssize_t sent = ::send(ends[1], data + written, size - written, MSG_NOSIGNAL);
        if (sent <= 0) {
            break;
        }
        written += size_t(sent);
    }
    ::shutdown(ends[1], SHUT_WR);

    sTlsHandshakeSeams seams;
    seams.m_privateKey = kPrivateKey.data();
    seams.m_clientHello = kClientHello.data();
    seams.m_clientHelloSize = u32(kClientHello.size());
    cAcceptingTransport transport;
    transport.SetHandshakeSeamsForTesting(&seams);
    if (transport.SetHost("server")) {
        transport.SetUseTls(true);
        if (transport.ConnectAdoptedForTesting(ends[0])) {
            u8 buffer[512];
            while (transport.Receive(buffer, sizeof(buffer), nullptr) > 0) {
            }
        }
    }
    ::close(ends[1]);
    return 0;
}
