#!/usr/bin/env bash
# The update road from start to end against a local update service: the check, the
# update form, the save dialog, the download under the progress form (one redirect) and
# the start of the installer. With a display the windows are real and a person clicks;
# without one the headless host answers every form (QEL_AUTOPILOT=1) and each form is
# saved as a PNG snapshot. Everything lands in demo-out/.
#   run_demo.sh PROGRAM
set -euo pipefail
program="$1"
cd "$(dirname "$0")/../.."

rm -rf demo-out
mkdir -p demo-out/snapshots demo-out/downloads demo-out/served
temp=$(mktemp -d)
server_pid=""
cleanup() {
    if [[ -n "$server_pid" ]]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$temp"
}
trap cleanup EXIT

# A throwaway CA and a leaf for 127.0.0.1, valid one day.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$temp/ca.key" -out "$temp/ca.pem" \
    -subj "/CN=QEL Demo CA" -days 1 -addext basicConstraints=critical,CA:TRUE \
    -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout "$temp/leaf.key" -out "$temp/leaf.csr" -subj /CN=127.0.0.1 2>/dev/null
printf 'subjectAltName=IP:127.0.0.1\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' > "$temp/leaf.ext"
openssl x509 -req -in "$temp/leaf.csr" -CA "$temp/ca.pem" -CAkey "$temp/ca.key" -CAcreateserial \
    -days 1 -extfile "$temp/leaf.ext" -out "$temp/leaf.pem" 2>/dev/null

# The "installer": writes a marker beside the downloads folder, padded to 256 KiB so the
# progress form has something to show.
installer=demo-out/served/demo-app-2.0-setup.sh
{
    printf '#!/bin/sh\n'
    printf 'printf "Demo Application 2.0 installer ran\\n%%s\\n" "$(date)" > "$(dirname "$0")/../installer-ran.txt"\n'
    printf 'exit 0\n'
} > "$installer"
while [[ $(stat -c %s "$installer") -lt 262144 ]]; do
    printf '# padding so that the download takes a moment ....................................\n' >> "$installer"
done
truncate -s 262144 "$installer"
printf '\n' >> "$installer"

/usr/bin/python3 tools/demo/update_server.py --cert "$temp/leaf.pem" --key "$temp/leaf.key" \
    --root demo-out/served > "$temp/server.out" 2> demo-out/server.log &
server_pid=$!
port=""
for _ in $(seq 100); do
    port=$(sed -n 's/^PORT //p' "$temp/server.out")
    [[ -n "$port" ]] && break
    sleep 0.05
done
[[ -n "$port" ]] || { echo "the update service did not start" >&2; exit 1; }

export QEL_CONFIG_HOME="$temp/config" QEL_CONFIG_MACHINE="$temp/machine"
mkdir -p "$QEL_CONFIG_HOME" "$QEL_CONFIG_MACHINE"
/usr/bin/python3 tools/qelc.py set "$QEL_CONFIG_HOME" install/demo.app/ver i64 $((0x0001000000000000))
/usr/bin/python3 tools/qelc.py set "$QEL_CONFIG_HOME" install/demo.app/name string "Demo Application"
/usr/bin/python3 tools/qelc.py set "$QEL_CONFIG_HOME" installer/temp string "$PWD/demo-out/downloads"

if [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    export QEL_AUTOPILOT=1
    echo "no display: headless, the autopilot answers every form"
else
    echo "windows on $DISPLAY${WAYLAND_DISPLAY:-}: choose Install, then Save"
fi
status=0
QEL_UPDATE_BASE_URL="https://127.0.0.1:$port" QEL_EXTRA_CA_FILE="$temp/ca.pem" \
    QEL_SNAPSHOT_DIR=demo-out/snapshots "$program" update demo.app || status=$?

echo "exit code: $status"
echo "snapshots:"
ls -1 demo-out/snapshots
download=demo-out/downloads/demo-app-2.0-setup.sh
sha256sum "$installer" "$download" 2>/dev/null || true
echo "mode of the download: $(stat -c %a "$download" 2>/dev/null || echo missing)"
# The installer runs detached.
for _ in $(seq 50); do
    [[ -s demo-out/installer-ran.txt ]] && break
    sleep 0.1
done
if [[ -s demo-out/installer-ran.txt ]]; then
    echo "installer-ran.txt:"
    cat demo-out/installer-ran.txt
else
    echo "installer-ran.txt: missing"
    status=1
fi
served_sum=$(sha256sum < "$installer")
download_sum=$(sha256sum < "$download" 2>/dev/null || echo none)
[[ "$served_sum" == "$download_sum" ]] || { echo "the download differs from the served file"; status=1; }
[[ $(stat -c %a "$download" 2>/dev/null) == 775 ]] || status=1
exit "$status"
