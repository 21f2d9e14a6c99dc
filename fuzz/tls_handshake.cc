// The TLS engine on an arbitrary server byte stream, fed in-process, with the
// client's key and ClientHello fixed to those of the RFC 8448 simple handshake (section
// 3), so that a seed made of that trace's ServerHello and server flight decrypts and the
// fuzzer reaches the message parsers behind the record layer and, past the handshake, the
// application records. The verifier accepts. The last byte sets the feeding piece size.
// Links: qel_net_test_hooks qel_net_tls qel_base
#include "net/crypto/x25519.h"
#include "net/tls/tlsengine.h"
#include "testhooks/nethooks.h"

#include <algorithm>
#include <cstring>
#include <string>
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
class cAcceptingVerifier : public cTlsServerVerifier
{
public:
    bool VerifyTlsCertificate(const u8*, u32, u32) override { return true; }
    bool VerifyTlsSignature(const u8*, u32, const u8*, u32, u32) override { return true; }
};

class cTraceHooks : public cTlsEngineHooks
{
public:
    bool MakeKeyPair(u8* privateKey, u8* publicKey) override
    {
        static const u8 kBasePoint[32] = {9};
        std::memcpy(privateKey, kPrivateKey.data(), kX25519KeySize);
        X25519ScalarMult(privateKey, publicKey, kBasePoint);
        return true;
    }
    const u8* ClientHello(u32& size) override
    {
        size = u32(kClientHello.size());
        return kClientHello.data();
    }
    void OnSecret(const char*, const u8*, const u8*, u32) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    if (size == 0 || size > 100000) {
        return 0;
    }
    const u32 piece = 1 + data[size - 1] % 64 * 97;
    cAcceptingVerifier verifier;
    cTraceHooks hooks;
    cTlsEngine engine(verifier);
    InstallTlsEngineHooksForTesting(engine, &hooks);
    if (!engine.Start("server")) {
        return 0;
    }
    size_t at = 0;
    for (;;) {
        u32 pending = 0;
        while (engine.GetSendBuffer(pending) != nullptr) {
            engine.AcknowledgeSent(pending);
        }
        u8 plain[512];
        while (engine.ReadPlaintext(plain, sizeof(plain)) > 0) {
        }
        u32 room = 0;
        u8* to = engine.GetReceiveBuffer(room);
        if (to == nullptr || at == size) {
            break;
        }
        const size_t count = std::min<size_t>({room, piece, size - at});
        std::memcpy(to, data + at, count);
        engine.AcknowledgeReceived(u32(count));
        at += count;
    }
    engine.EndOfInput();
    return 0;
}
