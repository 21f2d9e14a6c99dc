// The timing loop shared by the picture decoding benchmarks.
#pragma once

#include "base/types.h"

#include <benchmark/benchmark.h>

#include <vector>

// Times `decode` (bytes -> pixels decoded, or -1 on failure) on `bytes` and reports ns per
// pixel; an empty input is skipped with `missing`, which says what makes it.
template <class Decode>
void TimeDecode(benchmark::State& state, const std::vector<u8>& bytes, const char* missing, Decode decode)
{
    if (bytes.empty()) {
        state.SkipWithError(missing);
        return;
    }
    i64 pixels = 0;
    for (auto _ : state) {
        pixels = decode(bytes);
        if (pixels < 0) {
            state.SkipWithError("decode failed");
            return;
        }
    }
    state.counters["ns_per_pixel"] =
        benchmark::Counter(f64(pixels) * f64(state.iterations()) * 1e-9,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
