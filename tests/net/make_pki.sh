#!/bin/sh
# The net tests' PKI, made in the current folder with the openssl command: a CA, an
# intermediate and leaves that pass or fail for one reason each, and handshake signatures.
# All leaves share leaf.key except self.pem, weak.pem and ec.pem.
set -e
q() { "$@" 2>/dev/null; }

q openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -subj "/CN=QEL Test CA" -days 3 \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign
q openssl req -newkey rsa:2048 -nodes -keyout leaf.key -out leaf.csr -subj /CN=localhost
printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' > leaf.ext
printf 'subjectAltName=DNS:other.example\nextendedKeyUsage=serverAuth\n' > wrong.ext
printf 'basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign\n' > int.ext
printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\nextendedKeyUsage=clientAuth\n' > client.ext
printf 'subjectAltName=DNS:*.qel.test,DNS:f*.part.qel.test\nextendedKeyUsage=serverAuth\n' > wild.ext
sign() { # sign CSR ISSUER OUT [extra options]
  csr=$1 issuer=$2 out=$3; shift 3
  q openssl x509 -req -in "$csr" -CA "$issuer.pem" -CAkey "$issuer.key" -CAcreateserial "$@" -out "$out"
}
sign leaf.csr ca leaf.pem -days 2 -extfile leaf.ext
sign leaf.csr ca wrong.pem -days 2 -extfile wrong.ext
# notAfter is yesterday: "certificate has expired".
sign leaf.csr ca expired.pem -days -1 -extfile leaf.ext
sign leaf.csr ca client.pem -days 2 -extfile client.ext
sign leaf.csr ca wild.pem -days 2 -extfile wild.ext
sign leaf.csr ca sha1.pem -days 2 -extfile leaf.ext -sha1
q openssl req -x509 -newkey rsa:2048 -nodes -keyout self.key -out self.pem -subj /CN=localhost -days 2 \
  -addext subjectAltName=DNS:localhost,IP:127.0.0.1
q openssl req -newkey rsa:2048 -nodes -keyout int.key -out int.csr -subj "/CN=QEL Test Intermediate"
sign int.csr ca int.pem -days 2 -extfile int.ext
sign leaf.csr int leaf2.pem -days 2 -extfile leaf.ext
q openssl req -x509 -newkey rsa:2048 -nodes -keyout ca2.key -out ca2.pem -subj "/CN=Other CA" -days 3 \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign
sign leaf.csr ca2 foreign.pem -days 2 -extfile leaf.ext
q openssl req -newkey rsa:1024 -nodes -keyout weak.key -out weak.csr -subj /CN=localhost
sign weak.csr ca weak.pem -days 2 -extfile leaf.ext
q openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout ec.key -out ec.csr -subj /CN=localhost
sign ec.csr ca ec.pem -days 2 -extfile leaf.ext

# Handshake signatures over random content, one per scheme the client offers, named by
# its code point: PKCS#1 v1.5 (04 01, 05 01, 06 01) and PSS with a salt of the digest's
# length (08 04, 08 05, 08 06) with SHA-256, -384 and -512; ECDSA P-256 with SHA-256.
head -c 100 /dev/urandom > content.bin
for scheme in 0401:sha256 0501:sha384 0601:sha512; do
  openssl dgst -${scheme#*:} -sign leaf.key -out ${scheme%:*}.sig content.bin
done
for scheme in 0804:sha256 0805:sha384 0806:sha512; do
  openssl dgst -${scheme#*:} -sign leaf.key -sigopt rsa_padding_mode:pss -sigopt rsa_pss_saltlen:digest \
    -out ${scheme%:*}.sig content.bin
done
openssl dgst -sha256 -sign ec.key -out 0403.sig content.bin
for name in leaf leaf2 int wrong expired self foreign client wild sha1 weak ec ca; do
  openssl x509 -in $name.pem -outform DER -out $name.der
done
: > empty.pem
cat leaf.key leaf.pem > key+cert.pem
echo done > ready
