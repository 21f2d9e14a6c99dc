// UTF-8 -> UTF-16 throughput: Utf8ToWideString against glibc iconv ("UTF-8" ->
// "UTF-16LE") on 10 MB of mixed text (ASCII words with Latin, Cyrillic, CJK and emoji) and
// on 10 MB of ASCII. iconv writes into a buffer made once; ours allocates its result on
// every call, as callers get it.
#include "base/utf.h"

#include <benchmark/benchmark.h>

#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr size_t kTextSize = 10 * 1024 * 1024;

const std::string& MixedText()
{
    static const std::string text = [] {
        const char* pieces[] = {
            "the ", "quick ", "brown ", "fox ", "jumps ", "over ", "lazy ", "dogs, ", "and ",
            "caf\xC3\xA9 ", "na\xC3\xAFve ", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 ",
            "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E ", "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4 ",
            "\xF0\x9F\x98\x80 ", "line\r\n", "12345 ", "\xE2\x82\xAC" "9.99 "};
        std::mt19937 random(1);
        std::string made;
        while (made.size() < kTextSize) {
            made += pieces[random() % (sizeof(pieces) / sizeof(pieces[0]))];
        }
        return made;
    }();
    return text;
}

const std::string& AsciiText()
{
    static const std::string text = [] {
        std::string made;
        while (made.size() < kTextSize) {
            made += "plain ASCII words of a configuration file or a log line\n";
        }
        return made;
    }();
    return text;
}

const std::string& TextFor(const benchmark::State& state)
{
    return state.range(0) == 0 ? MixedText() : AsciiText();
}

void Utf8ToWide(benchmark::State& state)
{
    const std::string& text = TextFor(state);
    for (auto _ : state) {
        _guardchar<char16_t> wide;
        if (!Utf8ToWideString(text.data(), i64(text.size()), wide)) {
            state.SkipWithError("out of memory");
            break;
        }
        benchmark::DoNotOptimize(wide.Get());
    }
    state.SetBytesProcessed(i64(state.iterations()) * i64(text.size()));
}

void IconvUtf8ToUtf16(benchmark::State& state)
{
    const std::string& text = TextFor(state);
    iconv_t converter = iconv_open("UTF-16LE", "UTF-8");
    if (converter == iconv_t(-1)) {
        state.SkipWithError("iconv_open failed");
        return;
    }
    std::vector<char> output(text.size() * 2);
    for (auto _ : state) {
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(text.data());
        size_t inLeft = text.size();
        char* out = output.data();
        size_t outLeft = output.size();
        if (iconv(converter, &in, &inLeft, &out, &outLeft) == size_t(-1)) {
            state.SkipWithError("iconv failed");
            break;
        }
        benchmark::DoNotOptimize(output.data());
    }
    iconv_close(converter);
    state.SetBytesProcessed(i64(state.iterations()) * i64(text.size()));
}

// Both sides must produce the same units, or the race means nothing.
bool SameOutput(const std::string& text)
{
    _guardchar<char16_t> wide;
    if (!Utf8ToWideString(text.data(), i64(text.size()), wide)) {
        return false;
    }
    iconv_t converter = iconv_open("UTF-16LE", "UTF-8");
    std::vector<char> output(text.size() * 2);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* out = output.data();
    size_t outLeft = output.size();
    bool converted = iconv(converter, &in, &inLeft, &out, &outLeft) != size_t(-1);
    iconv_close(converter);
    size_t bytes = output.size() - outLeft;
    return converted && bytes == wide.Length() * 2 && std::memcmp(output.data(), wide.Get(), bytes) == 0;
}

} // namespace

BENCHMARK(Utf8ToWide)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(IconvUtf8ToUtf16)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (!SameOutput(MixedText()) || !SameOutput(AsciiText())) {
        std::fprintf(stderr, "Utf8ToWideString and iconv disagree\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
