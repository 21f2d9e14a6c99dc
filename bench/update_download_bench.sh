#!/usr/bin/env bash
# The update downloader (in the progress form, headless) against curl and http_fetch:
# 256 MiB from nginx on loopback (one worker, TLS 1.3 with AES-128-GCM), timed with
# hyperfine in one run; the downloaded bytes are compared with curl's first. Then the
# stop latency at a throttled rate: Escape to the end of the run over 20 trials.
# Usage: bench/update_download_bench.sh BUILD_DIR [MIB]   (needs nginx, curl, openssl, hyperfine)
set -euo pipefail
build="$(cd "$1" && pwd)"
mib="${2:-256}"
work=$(mktemp -d)
nginx_pid=""
cleanup() {
    [[ -n "$nginx_pid" ]] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -subj "/CN=Bench CA" -days 1 \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout leaf.key -out leaf.csr -subj /CN=127.0.0.1 2>/dev/null
printf 'subjectAltName=IP:127.0.0.1\nextendedKeyUsage=serverAuth\n' > leaf.ext
openssl x509 -req -in leaf.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 1 -extfile leaf.ext \
    -out leaf.pem 2>/dev/null
mkdir -p www/files
head -c "${mib}M" /dev/urandom > www/files/big.bin
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
user=""
[[ $(id -u) -eq 0 ]] && user="user root;"
cat > nginx.conf <<CONF
daemon off; master_process off; worker_processes 1; $user
pid $work/nginx.pid; error_log $work/error.log;
events { worker_connections 64; }
http {
  access_log off; default_type application/octet-stream;
  client_body_temp_path $work/body; proxy_temp_path $work/proxy; fastcgi_temp_path $work/fcgi;
  uwsgi_temp_path $work/uwsgi; scgi_temp_path $work/scgi;
  server {
    listen 127.0.0.1:$port ssl; root $work/www;
    ssl_certificate $work/leaf.pem; ssl_certificate_key $work/leaf.key;
    ssl_protocols TLSv1.3; ssl_conf_command Ciphersuites TLS_AES_128_GCM_SHA256; ssl_ecdh_curve X25519;
    location /slow/ { alias $work/www/files/; limit_rate 200k; }
  }
}
CONF
nginx -p "$work" -c "$work/nginx.conf" -e "$work/error.log" &
nginx_pid=$!
for _ in $(seq 100); do
    curl -s --cacert ca.pem -o /dev/null "https://127.0.0.1:$port/" && break || sleep 0.05
done
url="https://127.0.0.1:$port/files/big.bin"
export QEL_EXTRA_CA_FILE="$work/ca.pem"

"$build/bench/update_download" "$url" "$work/form.bin"
cmp "$work/form.bin" <(curl -s --cacert ca.pem "$url")
echo "== ${mib} MiB over TLS 1.3 AES-128-GCM: the downloader in the form, http_fetch, curl"
hyperfine -N --warmup 1 --runs 5 \
    "$build/bench/update_download $url $work/form.bin" \
    "$build/bench/http_fetch $url --out $work/fetch.bin" \
    "curl -s --cacert $work/ca.pem -o /dev/null $url"
echo "== stop latency at 200 KB/s"
"$build/bench/update_download" --stop-trials 20 "https://127.0.0.1:$port/slow/big.bin"
