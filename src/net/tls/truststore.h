#pragma once
// The trust anchors that server certificates are checked against: the system's store
// (OpenSSL's default paths: on Debian /usr/lib/ssl/cert.pem, i.e. the ca-certificates
// bundle, and /etc/ssl/certs; SSL_CERT_FILE and SSL_CERT_DIR replace them) plus the PEM
// file that QEL_EXTRA_CA_FILE names, when it is set.
struct x509_store_st;

inline constexpr char kExtraCaFileVariable[] = "QEL_EXTRA_CA_FILE";

// A reference to the store for the current settings, or null when QEL_EXTRA_CA_FILE is
// set but its file cannot be read or holds no certificate (a missing anchor is never
// ignored). Release it with ReleaseTrustStore. Loading the system bundle is costly, so the
// loaded store is kept, for every thread, while the three variables keep their values.
x509_store_st* AcquireTrustStore();
void ReleaseTrustStore(x509_store_st* store);
