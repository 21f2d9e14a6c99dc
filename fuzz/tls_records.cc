// The TLS record opening of the TLS 1.3 and TLS 1.2 record layers, with fixed keys.
// Byte 0: bit 0 picks TLS 1.2, bit 1 the raw mode (the rest is the record stream as it
// stands). Otherwise the input is a list of records to seal with the fixed keys, so that
// tags and MACs pass: each is a length byte, a type byte, a padding byte (TLS 1.3 zero
// padding, TLS 1.2 padding length) and the data. The last byte is not used.
// Links: qel_net_tls qel_base
#include "net/crypto/aescipher.h"
#include "net/crypto/hmac.h"
#include "net/tls/tlsrecord.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const u8 kKey[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
const u8 kIv[12] = {0xa0, 0xa1, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xab};
const u8 kMacKey[20] = {0xe0, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9,
                        0xea, 0xeb, 0xec, 0xed, 0xee, 0xef, 0xf0, 0xf1, 0xf2, 0xf3};
constexpr size_t kMaxStream = 150000;

void Header(std::vector<u8>& out, u8 type, size_t length)
{
    out.insert(out.end(), {type, 3, 3, u8(length >> 8), u8(length)});
}

void SealTls13(std::vector<u8>& out, const sGcmKey& key, u64 sequence, std::vector<u8> inner)
{
    u8 nonce[12];
    std::memcpy(nonce, kIv, 12);
    for (int i = 0; i < 8; ++i) {
        nonce[4 + i] ^= u8(sequence >> (56 - 8 * i));
    }
    const size_t start = out.size();
    Header(out, 23, inner.size() + 16);
    std::vector<u8> sealed(inner.size() + 16);
    if (!GcmSeal(key, nonce, 12, out.data() + start, inner.data(), inner.size(), sealed.data(),
                 sealed.data() + inner.size())) {
        out.resize(start);
        return;
    }
    out.insert(out.end(), sealed.begin(), sealed.end());
}

void SealTls12(std::vector<u8>& out, cBlockCBC& cbc, u64 sequence, u8 type, const u8* data,
               size_t length, u8 padding)
{
    padding &= 15;
    std::vector<u8> plain(data, data + length);
    plain.resize(length + 20);
    u8 header[13] = {};
    for (int i = 0; i < 8; ++i) {
        header[i] = u8(sequence >> (56 - 8 * i));
    }
    header[8] = type;
    header[9] = 3;
    header[10] = 3;
    header[11] = u8(length >> 8);
    header[12] = u8(length);
    const sHmacPart parts[2] = {{header, 13}, {data, length}};
    HmacSha1Parts(parts, 2, kMacKey, 20, plain.data() + length);
    // Whole blocks: extend the padding by blocks until the total fits.
    size_t total = length + 20 + padding + 1;
    while (total % 16 != 0) {
        padding = u8((padding + 1) & 0xFF);
        total = length + 20 + padding + 1;
    }
    plain.insert(plain.end(), size_t(padding) + 1, padding);
    const u8 iv[16] = {7};
    cbc.SetIV(iv, 16);
    if (!cbc.Encrypt(plain.data(), plain.data(), u32(plain.size()))) {
        return;
    }
    Header(out, type, 16 + plain.size());
    out.insert(out.end(), iv, iv + 16);
    out.insert(out.end(), plain.begin(), plain.end());
}

// Attaches a new AES-128 cipher with the fixed key; false when that fails.
bool KeyCbc(cBlockCBC& cbc)
{
    auto* cipher = new cAESCipher;
    if (!cipher->SetKey(kKey, 128) || !cbc.SetCipherOwned(cipher)) {
        delete cipher;
        return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    if (size < 2 || size > 60000) {
        return 0;
    }
    const bool tls12 = (data[0] & 1) != 0;
    const bool raw = (data[0] & 2) != 0;

    std::vector<u8> stream;
    sGcmKey key;
    cBlockCBC cbc;
    if (!GcmSetKey(key, kKey, 128)) {
        return 0;
    }
    if (!KeyCbc(cbc)) {
        return 0;
    }
    if (raw) {
        stream.assign(data + 1, data + size - 1);
    } else {
        u64 sequence = 0;
        for (size_t at = 1; at + 3 <= size - 1 && stream.size() < kMaxStream - 20000;) {
            const size_t length = std::min<size_t>(size_t(data[at]) * 80, size - 1 - (at + 3));
            const u8 type = data[at + 1];
            const u8 padding = data[at + 2];
            const u8* body = data + at + 3;
            if (tls12) {
                SealTls12(stream, cbc, sequence++, type, body, length, padding);
            } else {
                std::vector<u8> inner(body, body + length);
                inner.push_back(type);
                inner.insert(inner.end(), size_t(padding), 0);
                SealTls13(stream, key, sequence++, std::move(inner));
            }
            at += 3 + length;
        }
    }
    if (stream.size() > kMaxStream) {
        stream.resize(kMaxStream);
    }

    // The records one by one, opened in place as the engine opens them.
    sTlsSession session;
    if (tls12) {
        if (!KeyCbc(session.m_readCbc)) {
            return 0;
        }
        std::memcpy(session.m_serverMacKey, kMacKey, 20);
    } else {
        if (!GcmSetKey(session.m_readKey.m_key, kKey, 128)) {
            return 0;
        }
        std::memcpy(session.m_readKey.m_iv, kIv, 12);
    }
    for (size_t at = 0; at + kTlsRecordHeaderSize <= stream.size();) {
        const u32 length = (u32(stream[at + 3]) << 8) | stream[at + 4];
        if (length == 0 || length > kTls12MaxRecordBody || length > stream.size() - at - kTlsRecordHeaderSize) {
            break;
        }
        u8* record = session.m_record;
        std::memcpy(record, stream.data() + at, kTlsRecordHeaderSize + length);
        const sTlsRecord parsed = {record[0], record[1], record[2], record + kTlsRecordHeaderSize, length};
        sTlsPlaintext plain;
        const bool opened = tls12 ? OpenTls12Record(session, parsed, plain) : OpenTls13Record(session, parsed, plain);
        if (!opened) {
            break;
        }
        at += kTlsRecordHeaderSize + length;
    }
    return 0;
}
