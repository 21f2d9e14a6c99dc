#pragma once
// The TLS record layer of the client: plain records of the handshake, TLS 1.3 records
// under AES-GCM (RFC 8446 5.2) and TLS 1.2 records under AES-CBC with HMAC-SHA1, MAC then
// encrypt with an explicit IV (RFC 5246 6.2.3.2). Records are read from the socket
// directly and written with one send each.
#include "net/http/tcpsocket.h"
#include "net/tls/tlssession.h"

enum : u8 {
    kContentChangeCipherSpec = 20,
    kContentAlert = 21,
    kContentHandshake = 22,
    kContentApplicationData = 23,
};

// One record as read: the header fields and the body inside the session's record buffer.
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

enum class eRecordVersion
{
    Exact0303,   // plain records after the ServerHello's: 03 03 only
    AnyTls,      // the ServerHello's record and protected records: 03 01..03 04
};

enum class eRecordRead
{
    Record,
    Closed, // no byte of a header came: the peer closed or stayed silent past the time-out
    Bad,    // a record cut short, a version outside the range, a bad length
};

// Reads a 5-byte header and the whole body into the session's record buffer. Bad for a
// version outside `versions`, an empty body or one longer than `maxBody` (checked before
// the body is read), and for a record cut short.
[[nodiscard]] eRecordRead ReadRecord(cTCPSocket& socket, sTlsSession& session,
                                     eRecordVersion versions, u32 maxBody, sTlsRecord& out);

// Sends all `size` bytes; false on a short send.
[[nodiscard]] bool SendAll(cTCPSocket& socket, const u8* data, u32 size);

// TLS 1.3: seals `data` (at most 2^14 bytes) followed by `innerType` with the write key
// and sequence number, and sends the record; the write sequence goes up by one.
// CT: only the length and the type leak (AES-GCM as gcm.h says).
[[nodiscard]] bool WriteTls13Record(cTCPSocket& socket, sTlsSession& session, const u8* data,
                                    u32 length, u8 innerType);
// TLS 1.3: opens a type-23 record in place with the read key and sequence number (which
// goes up by one). Zero padding after the inner type is removed; an all-zero inner
// plaintext, a bad tag or more than 2^14 bytes of data fail.
// CT: the tag is checked over all 16 bytes; after it, the padding length leaks through
// the scan for the content type (RFC 8446 5.4 allows this), and the result leaks.
[[nodiscard]] bool OpenTls13Record(sTlsSession& session, const sTlsRecord& record,
                                   sTlsPlaintext& out);

// TLS 1.2: MAC, pad, encrypt under a fresh random IV and send one record of `type`; the
// write sequence goes up by one.
// CT: only the length and the type leak.
[[nodiscard]] bool WriteTls12Record(cTCPSocket& socket, sTlsSession& session, const u8* data,
                                    u32 length, u8 type);
// TLS 1.2: decrypts a record in place and checks its padding and MAC in constant time;
// the read sequence goes up by one.
// CT: only the record length and the result leak (see CheckTls12CbcRecord).
[[nodiscard]] bool OpenTls12Record(sTlsSession& session, const sTlsRecord& record,
                                   sTlsPlaintext& out);
