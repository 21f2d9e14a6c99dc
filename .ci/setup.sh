# Shared by ./test, ./run and .ci/run: package installation, builds, fuzzing, benchmarks.

qel_install_packages() {
    local wanted missing=()
    wanted=$(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' .ci/packages)
    for package in $wanted; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
            missing+=("$package")
        fi
    done
    [[ ${#missing[@]} -eq 0 ]] && return 0
    echo "installing: ${missing[*]}"
    local sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    # Packages that ship services (nginx) must not start them: tests start their own
    # servers on loopback ports that they pick.
    if [[ ! -e /usr/sbin/policy-rc.d ]]; then
        printf '#!/bin/sh\nexit 101\n' | $sudo tee /usr/sbin/policy-rc.d > /dev/null
        $sudo chmod +x /usr/sbin/policy-rc.d
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

qel_build() {
    local preset="$1"
    if [[ ! -f "build/$preset/CMakeCache.txt" ]]; then
        cmake --preset "$preset" > /dev/null
    fi
    cmake --build "build/$preset" -- -k 0
}

qel_run_benchmarks() {
    local dir="build/$1/bench" failed=0 log
    # A brief run only checks that each benchmark works: small transfers.
    export QEL_TLS_BENCH_MIB="${QEL_TLS_BENCH_MIB:-4}"
    export QEL_RAW_BENCH_SCALE="${QEL_RAW_BENCH_SCALE:-8}"
    log=$(mktemp)
    for program in "$dir"/*_bench; do
        [[ -x "$program" ]] || continue
        echo "== $(basename "$program")"
        # A benchmark that skips with an error still exits 0: its output tells.
        if ! "$program" --benchmark_min_time=0.01 > "$log" 2>&1; then
            failed=1
        fi
        cat "$log"
        if grep -q "ERROR OCCURRED" "$log"; then
            failed=1
        fi
    done
    rm -f "$log"
    return $failed
}

# Replays each target's committed seeds, then fuzzes it for the given seconds. New inputs
# go to a scratch folder, never into the committed corpus.
qel_run_fuzzers() {
    local seconds="$1" dir="build/fuzz/fuzz" failed=0
    export ASAN_OPTIONS="allocator_may_return_null=1:detect_leaks=1"
    for program in "$dir"/fuzz_*; do
        [[ -x "$program" ]] || continue
        local name seeds scratch dict=()
        name=$(basename "$program"); name=${name#fuzz_}
        seeds="fuzz/corpus/$name"
        # A target's dictionary of format keywords, when it has one, steers the mutations.
        [[ -f "fuzz/$name.dict" ]] && dict=(-dict="fuzz/$name.dict")
        scratch=$(mktemp -d)
        mkdir -p "$seeds" "$scratch/corpus"
        echo "== fuzz $name: replay $(find "$seeds" -type f | wc -l) seeds"
        if ! "$program" -runs=0 "$seeds" > "$scratch/replay.log" 2>&1; then
            tail -40 "$scratch/replay.log"; failed=1; continue
        fi
        if [[ "$seconds" -gt 0 ]]; then
            if ! "$program" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 "${dict[@]}" \
                    -artifact_prefix="$scratch/" "$scratch/corpus" "$seeds" > "$scratch/fuzz.log" 2>&1; then
                tail -40 "$scratch/fuzz.log"; failed=1; continue
            fi
            grep -E "^Done|#[0-9]+.*DONE" "$scratch/fuzz.log" | tail -1 || true
        fi
        rm -rf "$scratch"
    done
    return $failed
}

# --- Real-window tests (label sdl) --------------------------------------------------------
# The SDL host's tests drive real windows, so they run under a private Xvfb server (depth 24
# keeps pixels exact) with SDL on X11 and its software renderer, one test at a time; no
# other test needs a display. Extra arguments go to ctest.
qel_run_sdl_tests() {
    local preset="$1"
    shift
    xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
        env SDL_VIDEODRIVER=x11 SDL_RENDER_DRIVER=software LANG=C.UTF-8 \
        ctest --test-dir "build/$preset" -L sdl --output-on-failure "$@"
}
