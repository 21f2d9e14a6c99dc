#pragma once
// The TLS record layer of the client: plain records of the handshake, TLS 1.3 records
// under AES-GCM (RFC 8446 5.2) and TLS 1.2 records under AES-CBC with HMAC-SHA1, MAC then
// encrypt with an explicit IV (RFC 5246 6.2.3.2). Records are opened in place and sealed
// into a buffer the caller gives; the engine moves them.
#include "net/tls/tlssession.h"

enum : u8 {
    kContentChangeCipherSpec = 20,
    kContentAlert = 21,
    kContentHandshake = 22,
    kContentApplicationData = 23,
};

// One record as received: the header fields and the body inside the session's record
// buffer.
struct sTlsRecord
{
    u8 m_type;
    u8 m_major;
    u8 m_minor;
    u8* m_body;
    u32 m_size;
};

// Opened record content: the data and its (inner) content type.
struct sTlsPlaintext
{
    const u8* m_data;
    u32 m_size;
    u8 m_type;
};

// TLS 1.3: seals `data` (at most 2^14 bytes) followed by `innerType` with the write key
// and sequence number into one record at `out`, which MUST hold length + 22 bytes; the
// record's size, 0 on failure. The write sequence goes up by one.
// CT: only the length and the type leak (AES-GCM as gcm.h says).
[[nodiscard]] u32 SealTls13Record(sTlsSession& session, const u8* data, u32 length, u8 innerType,
                                  u8* out);
// TLS 1.3: opens a type-23 record in place with the read key and sequence number (which
// goes up by one). Zero padding after the inner type is removed; an all-zero inner
// plaintext, a bad tag or more than 2^14 bytes of data fail.
// CT: the tag is checked over all 16 bytes; after it, the padding length leaks through
// the scan for the content type (RFC 8446 5.4 allows this), and the result leaks.
[[nodiscard]] bool OpenTls13Record(sTlsSession& session, const sTlsRecord& record,
                                   sTlsPlaintext& out);

// TLS 1.2: MAC, pad and encrypt under a fresh random IV into one record of `type` at
// `out`, which MUST hold 5 + 16 + ((length + 36) rounded down to 16) bytes; the record's
// size, 0 on failure. The write sequence goes up by one.
// CT: only the length and the type leak.
[[nodiscard]] u32 SealTls12Record(sTlsSession& session, const u8* data, u32 length, u8 type,
                                  u8* out);
// TLS 1.2: decrypts a record in place and checks its padding and MAC in constant time;
// the read sequence goes up by one.
// CT: only the record length and the result leak (see CheckTls12CbcRecord).
[[nodiscard]] bool OpenTls12Record(sTlsSession& session, const sTlsRecord& record,
                                   sTlsPlaintext& out);
