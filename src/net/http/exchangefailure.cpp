#include "net/http/exchangefailure.h"

eExchangeFailure ExchangeFailureOfTls(eTlsFailure failure)
{
    switch (failure) {
    case eTlsFailure::None: return eExchangeFailure::None;
    case eTlsFailure::ClosedEarly: return eExchangeFailure::ClosedEarly;
    case eTlsFailure::NoCloseNotify: return eExchangeFailure::NoCloseNotify;
    case eTlsFailure::AlertReceived: return eExchangeFailure::TlsAlert;
    case eTlsFailure::HandshakeRefused: return eExchangeFailure::HandshakeRefused;
    case eTlsFailure::NoCommonProtocol: return eExchangeFailure::NoCommonProtocol;
    case eTlsFailure::CertificateUntrusted: return eExchangeFailure::CertificateUntrusted;
    case eTlsFailure::CertificateWeakKey: return eExchangeFailure::CertificateWeakKey;
    case eTlsFailure::CertificateWeakHash: return eExchangeFailure::CertificateWeakHash;
    case eTlsFailure::CertificateExpired: return eExchangeFailure::CertificateExpired;
    case eTlsFailure::CertificateWrongHost: return eExchangeFailure::CertificateWrongHost;
    case eTlsFailure::BadSignature: return eExchangeFailure::BadSignature;
    case eTlsFailure::RecordAuthentication: return eExchangeFailure::RecordAuthentication;
    case eTlsFailure::MalformedRecord: return eExchangeFailure::MalformedRecord;
    case eTlsFailure::OutOfMemory: return eExchangeFailure::OutOfMemory;
    }
    return eExchangeFailure::MalformedRecord;
}

const char* ExchangeFailureText(eExchangeFailure reason)
{
    switch (reason) {
    case eExchangeFailure::None: return "no failure";
    case eExchangeFailure::BadRequest: return "bad request";
    case eExchangeFailure::HostNotResolved: return "host not resolved";
    case eExchangeFailure::ConnectionRefused: return "connection refused";
    case eExchangeFailure::TimedOut: return "time-out";
    case eExchangeFailure::ClosedEarly: return "connection closed early";
    case eExchangeFailure::NoCloseNotify: return "connection closed without close_notify";
    case eExchangeFailure::TlsAlert: return "TLS alert received";
    case eExchangeFailure::HandshakeRefused:
        return "the server accepts none of the offered cipher suites or signature schemes (handshake failure alert)";
    case eExchangeFailure::NoCommonProtocol: return "no common protocol or suite";
    case eExchangeFailure::CertificateUntrusted: return "server certificate untrusted";
    case eExchangeFailure::CertificateWeakKey: return "server certificate chain has an RSA key under 2048 bits";
    case eExchangeFailure::CertificateWeakHash: return "server certificate chain has a SHA-1 signature";
    case eExchangeFailure::CertificateExpired: return "server certificate expired or not yet valid";
    case eExchangeFailure::CertificateWrongHost: return "server certificate for another host name";
    case eExchangeFailure::BadSignature: return "bad handshake signature";
    case eExchangeFailure::RecordAuthentication: return "record authentication failure";
    case eExchangeFailure::MalformedRecord: return "malformed record";
    case eExchangeFailure::MalformedAnswer: return "malformed HTTP answer";
    case eExchangeFailure::UnsupportedCoding: return "unsupported transfer coding";
    case eExchangeFailure::StoppedByReceiver: return "answer refused by its receiver";
    case eExchangeFailure::UnusableAnswer: return "unusable answer";
    case eExchangeFailure::OutOfMemory: return "out of memory";
    }
    return "unknown failure";
}
