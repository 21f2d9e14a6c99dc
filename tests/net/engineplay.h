#pragma once
// Drives a TLS engine in-process: a verifier that records what the handshake gave it, hooks
// that fix the key pair or the ClientHello and collect NSS key log lines, and helpers that
// feed server bytes in pieces and take what the client has to send.
#include "net/crypto/x25519.h"
#include "net/tls/tlsengine.h"
#include "scriptedpeer.h"
#include "testhooks/nethooks.h"
#include "vectors.h"

#include <algorithm>
#include <cstring>

#include <cstdio>
#include <string>
#include <vector>

namespace nettest {

class cRecordingVerifier : public cTlsServerVerifier
{
public:
    bool VerifyTlsCertificate(const u8* message, u32 size, u32) override
    {
        m_certificate.assign(message, message + size);
        return true;
    }
    bool VerifyTlsSignature(const u8* message, u32 size, const u8* content, u32 contentSize, u32) override
    {
        m_verifyMessage.assign(message, message + size);
        m_signedContent.assign(content, content + contentSize);
        return true;
    }
    Bytes m_certificate;
    Bytes m_verifyMessage; // CertificateVerify, or the ServerKeyExchange (TLS 1.2)
    Bytes m_signedContent;
};

class cTestHooks : public cTlsEngineHooks
{
public:
    bool MakeKeyPair(u8* privateKey, u8* publicKey) override
    {
        if (m_privateKey.empty()) {
            return X25519KeyPair(privateKey, publicKey);
        }
        static const u8 kBasePoint[32] = {9};
        std::memcpy(privateKey, m_privateKey.data(), kX25519KeySize);
        X25519ScalarMult(privateKey, publicKey, kBasePoint);
        return true;
    }
    const u8* ClientHello(u32& size) override
    {
        size = u32(m_clientHello.size());
        return m_clientHello.empty() ? nullptr : m_clientHello.data();
    }
    void OnSecret(const char* label, const u8* clientRandom, const u8* secret, u32 size) override
    {
        std::string line = std::string(label) + " " + ToHex(Bytes(clientRandom, clientRandom + 32)) + " " +
                           ToHex(Bytes(secret, secret + size));
        m_keyLog.push_back(line);
    }
    Bytes m_privateKey;  // empty: a fresh pair
    Bytes m_clientHello; // a whole message; empty: the engine's own
    std::vector<std::string> m_keyLog;
};

// Everything the engine has to send.
inline Bytes TakeSent(cTlsEngine& engine)
{
    Bytes out;
    u32 size = 0;
    while (const u8* data = engine.GetSendBuffer(size)) {
        out.insert(out.end(), data, data + size);
        engine.AcknowledgeSent(size);
    }
    return out;
}

// Moves the plaintext waiting in the engine to `plaintext`.
inline void Drain(cTlsEngine& engine, Bytes& plaintext)
{
    u8 data[1024];
    while (u32 got = engine.ReadPlaintext(data, sizeof(data))) {
        plaintext.insert(plaintext.end(), data, data + got);
    }
}

// Feeds `bytes` in pieces of at most `piece` bytes (and never past a record), moving the
// plaintext to `plaintext` as it comes when given one. False when the engine stopped
// taking bytes before the end.
inline bool Feed(cTlsEngine& engine, const Bytes& bytes, size_t piece = SIZE_MAX, Bytes* plaintext = nullptr)
{
    size_t at = 0;
    while (at < bytes.size()) {
        if (plaintext != nullptr) {
            Drain(engine, *plaintext);
        }
        u32 room = 0;
        u8* to = engine.GetReceiveBuffer(room);
        if (to == nullptr) {
            return false;
        }
        const size_t count = std::min({size_t(room), piece, bytes.size() - at});
        std::memcpy(to, bytes.data() + at, count);
        engine.AcknowledgeReceived(u32(count));
        at += count;
    }
    if (plaintext != nullptr) {
        Drain(engine, *plaintext);
    }
    return true;
}

// An engine with a recording verifier and test hooks.
struct sEngineRig
{
    sEngineRig() { InstallTlsEngineHooksForTesting(m_engine, &m_hooks); }

    cRecordingVerifier m_verifier;
    cTestHooks m_hooks;
    cTlsEngine m_engine{m_verifier};
};

} // namespace nettest
