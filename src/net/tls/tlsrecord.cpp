#include "net/tls/tlsrecord.h"

#include "base/byteorder.h"
#include "net/crypto/consttime.h"
#include "net/crypto/hmac.h"
#include "net/crypto/randompool.h"
#include "net/tls/tlscbcmac.h"

#include <cstring>

namespace {

void WriteHeader(u8* header, u8 type, u32 length)
{
    header[0] = type;
    header[1] = 3;
    header[2] = 3;
    StoreBe16(header + 3, static_cast<u16>(length));
}

// RFC 8446 5.3: the nonce is the static IV XOR the 64-bit sequence number, padded on
// the left with zeros.
void MakeNonce(const sTlsGcmContext& context, u64 sequence, u8* nonce)
{
    std::memcpy(nonce, context.m_iv, 12);
    u8 padded[8];
    StoreBe64(padded, sequence);
    for (u32 i = 0; i < 8; ++i) {
        nonce[4 + i] ^= padded[i];
    }
}

} // namespace

u32 SealTls13Record(sTlsSession& session, const u8* data, u32 length, u8 innerType, u8* out)
{
    if (length > kTlsMaxPlaintext) {
        return 0;
    }
    u8* record = out;
    const u32 inner = length + 1;
    WriteHeader(record, kContentApplicationData, inner + kGcmTagSize);
    u8* body = record + kTlsRecordHeaderSize;
    if (length > 0) {
        std::memmove(body, data, length);
    }
    body[length] = innerType;
    u8 nonce[12];
    MakeNonce(session.m_writeKey, session.m_writeSequence, nonce);
    if (!GcmSeal(session.m_writeKey.m_key, nonce, sizeof(nonce), record, body, inner, body,
                 body + inner)) {
        return 0;
    }
    ++session.m_writeSequence;
    return kTlsRecordHeaderSize + inner + kGcmTagSize;
}

bool OpenTls13Record(sTlsSession& session, const sTlsRecord& record, sTlsPlaintext& out)
{
    // A tag and no inner plaintext (not even the type byte) is no record.
    if (record.m_type != kContentApplicationData || record.m_size <= kGcmTagSize) {
        return false;
    }
    const u32 sealed = record.m_size - kGcmTagSize;
    u8 nonce[12];
    MakeNonce(session.m_readKey, session.m_readSequence, nonce);
    const u8* header = record.m_body - kTlsRecordHeaderSize;
    if (!GcmOpen(session.m_readKey.m_key, nonce, sizeof(nonce), header, record.m_body, sealed,
                 record.m_body, record.m_body + sealed)) {
        ct::Wipe(record.m_body, sealed);
        return false;
    }
    ++session.m_readSequence;
    // RFC 8446 5.4: the content type is the last non-zero byte; zeros after it are padding.
    u32 end = sealed;
    while (end > 0 && record.m_body[end - 1] == 0) {
        --end;
    }
    if (end == 0 || end - 1 > kTlsMaxPlaintext) {
        return false;
    }
    out = {record.m_body, end - 1, record.m_body[end - 1]};
    return true;
}

u32 SealTls12Record(sTlsSession& session, const u8* data, u32 length, u8 type, u8* out)
{
    if (length > kTlsMaxPlaintext) {
        return 0;
    }
    // P = n + 20 (MAC) + 1 (padding length) rounded up to the block: (n + 36) & ~15.
    const u32 padded = (length + 36) & ~15u;
    u8* record = out;
    WriteHeader(record, type, padded + kTlsIvSize);
    u8* iv = record + kTlsRecordHeaderSize;
    u8* plain = iv + kTlsIvSize;
    if (!RandomPoolDraw(iv, kTlsIvSize)) {
        return 0;
    }
    if (length > 0) {
        std::memmove(plain, data, length);
    }
    u8 macHeader[13];
    StoreBe64(macHeader, session.m_writeSequence);
    macHeader[8] = type;
    macHeader[9] = 3;
    macHeader[10] = 3;
    StoreBe16(macHeader + 11, static_cast<u16>(length));
    const sHmacPart parts[2] = {{macHeader, sizeof(macHeader)}, {plain, length}};
    HmacSha1Parts(parts, 2, session.m_clientMacKey, sizeof(session.m_clientMacKey), plain + length);
    const u32 paddingValue = padded - length - kTls12MacSize - 1;
    std::memset(plain + length + kTls12MacSize, static_cast<int>(paddingValue),
                padded - length - kTls12MacSize);
    session.m_writeCbc.SetIV(iv, kTlsIvSize);
    if (!session.m_writeCbc.Encrypt(plain, plain, padded)) {
        return 0;
    }
    ++session.m_writeSequence;
    return kTlsRecordHeaderSize + kTlsIvSize + padded;
}

bool OpenTls12Record(sTlsSession& session, const sTlsRecord& record, sTlsPlaintext& out)
{
    // Public: the length must hold the IV and whole blocks.
    if (record.m_size <= kTlsIvSize || record.m_size % 16 != 0) {
        return false;
    }
    u8* plain = record.m_body + kTlsIvSize;
    const u32 size = record.m_size - kTlsIvSize;
    session.m_readCbc.SetIV(record.m_body, kTlsIvSize);
    if (!session.m_readCbc.Decrypt(plain, plain, size)) {
        return false;
    }
    u32 dataLength = 0;
    const u32 good = CheckTls12CbcRecord(session.m_serverMacKey, session.m_readSequence,
                                         record.m_type, plain, size, dataLength);
    if (good == 0) {
        ct::Wipe(plain, size);
        return false;
    }
    if (dataLength > kTlsMaxPlaintext) {
        return false;
    }
    ++session.m_readSequence;
    out = {plain, dataLength, record.m_type};
    return true;
}
