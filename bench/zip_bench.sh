#!/usr/bin/env bash
# The ZIP reader against Python's zipfile, unzip and 7z, timed with hyperfine:
# - opening a 100,000-entry archive (empty members, made by zipfile) against
#   ZipFile(...).namelist() and `unzip -l`;
# - reading 50 MB members (deflate, bzip2, LZMA) through the member stream against
#   `unzip -p` and `7z x -so` (each tool carries its own decoders: ratios only); the bytes
#   are compared with Python's ZipFile.read first.
# The inputs are made once into WORK_DIR.
# Usage: bench/zip_bench.sh BUILD_DIR [WORK_DIR]   (needs hyperfine, unzip, 7z, /usr/bin/python3)
set -euo pipefail
tool="$(cd "$1" && pwd)/bench/zip_read"
work="${2:-${TMPDIR:-/tmp}/qel_zip_bench}"
mkdir -p "$work"
cd "$work"

[[ -f many.zip ]] || /usr/bin/python3 - <<'PY'
import zipfile
with zipfile.ZipFile("many.zip", "w") as z:
    for i in range(100000):
        z.writestr("d%03d/entry%06d.txt" % (i // 1000, i), b"")
PY
[[ -f big.zip ]] || /usr/bin/python3 - <<'PY'
import random, zipfile
random.seed(7)
words = [bytes(random.choice(b"abcdefghijklmnop") for _ in range(random.randint(2, 9)))
         for _ in range(5000)]
data = b" ".join(random.choices(words, k=9_000_000))[:50_000_000]
with zipfile.ZipFile("big.zip", "w") as z:
    for name, method in (("deflate", zipfile.ZIP_DEFLATED), ("bzip2", zipfile.ZIP_BZIP2),
                         ("lzma", zipfile.ZIP_LZMA)):
        z.writestr("data." + name, data, compress_type=method)
PY

echo "== open: 100,000 entries"
"$tool" many.zip
hyperfine -N --warmup 1 --runs 10 \
    "$tool many.zip" \
    "/usr/bin/python3 -c 'import zipfile; zipfile.ZipFile(\"many.zip\").namelist()'" \
    "unzip -l many.zip"
# Debian's unzip has no LZMA: that member is timed against 7z alone.
for method in deflate bzip2 lzma; do
    echo "== member throughput: 50 MB $method"
    cmp <("$tool" big.zip data.$method) <(/usr/bin/python3 -c \
        "import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile('big.zip').read('data.$method'))")
    peers=("7z x -so big.zip data.$method")
    [[ $method == lzma ]] || peers+=("unzip -p big.zip data.$method")
    hyperfine -N --warmup 1 --runs 5 "$tool big.zip data.$method" "${peers[@]}"
done
