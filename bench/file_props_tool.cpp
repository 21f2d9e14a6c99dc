// file_props: the rows a file property reader reads from each file, with the time and the
// bytes read.
//
//   file_props [--box WxH] [--reset-box WxH] [--pam OUT.pam] [--repeat N] FILE...
//
// Per file: the kind code (or "none"), then every row as "id kind value": integers, reals
// with 9 decimals, texts as UTF-8, date-times as YYYY-MM-DD hh:mm:ss, the picture as WxH.
// With --reset-box the reader is reset, given the second box and read again from the same
// stream (the manager window's 16-then-48 sequence), and the rows are printed once more.
// --pam writes the last picture top-down (TUPLTYPE RGB_ALPHA). Standard error gets
// "FILE MICROSECONDS BYTES_READ" for the whole sequence; with --repeat N the time is the
// mean of N runs in the same process after one warm-up run.
// Links: qel_base qel_package qel_picture_props qel_picture_formats qel_picture_core qel_picture_codecs qel_picture_tiffraw
#include "base/clock.h"
#include "base/fileio.h"
#include "base/utf.h"
#include "picture/props/fileprops.h"
#include "picture/props/propsfactory.h"

#include "pamwrite.h"

#include "../tests/picture/countingstream.h"

#include <cstdio>
#include <cstring>

namespace {

void PrintRows(cFileObjectProps& reader)
{
    std::printf("%d\n", reader.GetPropsKind());
    constexpr i32 kLastId = 31;
    for (i32 id = 0; id <= kLastId; ++id) {
        if (const i32* value = reader.m_ints.FindIntKeyValue(id)) {
            std::printf("%d int %d\n", id, *value);
        }
        if (const f64* value = reader.m_reals.FindIntKeyValue(id)) {
            std::printf("%d real %.9f\n", id, *value);
        }
        if (const _guardchar<char16_t>* value = reader.m_texts.FindIntKeyValue(id)) {
            _guardchar<char> text;
            (void)WideToUtf8String(value->Get(), -1, text);
            std::printf("%d text %s\n", id, text.GetOrEmpty());
        }
        if (cPictDummy* const* value = reader.m_pictures.FindIntKeyValue(id)) {
            std::printf("%d picture %dx%d\n", id, (*value)->GetWidth(), (*value)->GetHeight());
        }
        if (const sDateTime* value = reader.m_dateTimes.FindIntKeyValue(id)) {
            std::printf("%d date %04u-%02u-%02u %02u:%02u:%02u\n", id, value->m_year,
                        value->m_month, value->m_day, value->m_hour, value->m_minute,
                        value->m_second);
        }
    }
}

bool ParseBox(const char* text, i32& width, i32& height)
{
    return std::sscanf(text, "%dx%d", &width, &height) == 2;
}

// Reads one file; false when it could not be opened or a read failed.
struct sOptions
{
    i32 boxW = -1;
    i32 boxH = -1;
    i32 resetW = -1;
    i32 resetH = -1;
    bool reset = false;
    const char* pamPath = nullptr;
    i32 repeat = 0;
};

// The manager's sequence once: create, read, and with a reset box reset and read again.
cFileObjectProps* RunSequence(cFileIOTarget* stream, const sOptions& options, bool print, bool& ok)
{
    cFileObjectProps* reader = CreateFileProps(stream);
    ok = reader != nullptr;
    if (reader == nullptr) {
        return nullptr;
    }
    reader->m_boxWidth = options.boxW;
    reader->m_boxHeight = options.boxH;
    ok = reader->ReadProps(stream, nullptr, true);
    if (options.reset) {
        if (print) {
            PrintRows(*reader);
        }
        reader->ResetProps();
        reader->m_boxWidth = options.resetW;
        reader->m_boxHeight = options.resetH;
        ok = reader->ReadProps(stream, nullptr, true) && ok;
    }
    return reader;
}

bool ReadFile(const char* path, const sOptions& options)
{
    cFileIO file;
    if (!file.Create(path, FileMode::Read)) {
        std::fprintf(stderr, "file_props: cannot open %s\n", path);
        return false;
    }
    picttest::cCountingStream stream(&file);
    bool ok = false;
    u64 elapsed = 0;
    if (options.repeat > 0) {
        delete RunSequence(&stream, options, false, ok);
        const u64 start = MicrosecondClock();
        for (i32 i = 0; i < options.repeat; ++i) {
            delete RunSequence(&stream, options, false, ok);
        }
        elapsed = (MicrosecondClock() - start) / u64(options.repeat);
    }
    const u64 bytesBefore = stream.m_bytesRead;
    const u64 start = MicrosecondClock();
    cFileObjectProps* reader = RunSequence(&stream, options, true, ok);
    if (options.repeat <= 0) {
        elapsed = MicrosecondClock() - start;
    }
    stream.m_bytesRead -= bytesBefore;
    if (reader == nullptr) {
        std::printf("none\n");
    } else {
        PrintRows(*reader);
        cPictDummy* picture = FindThumbnail(reader);
        if (options.pamPath != nullptr && picture != nullptr &&
            !WritePam(options.pamPath, *picture)) {
            ok = false;
        }
        delete reader;
    }
    std::fprintf(stderr, "%s %llu %llu\n", path, static_cast<unsigned long long>(elapsed),
                 static_cast<unsigned long long>(stream.m_bytesRead));
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    sOptions options;
    int first = 1;
    for (; first + 1 < argc; first += 2) {
        const char* option = argv[first];
        const char* value = argv[first + 1];
        if (std::strcmp(option, "--box") == 0 && ParseBox(value, options.boxW, options.boxH)) {
            continue;
        }
        if (std::strcmp(option, "--reset-box") == 0 &&
            ParseBox(value, options.resetW, options.resetH)) {
            options.reset = true;
            continue;
        }
        if (std::strcmp(option, "--pam") == 0) {
            options.pamPath = value;
            continue;
        }
        if (std::strcmp(option, "--repeat") == 0 &&
            std::sscanf(value, "%d", &options.repeat) == 1) {
            continue;
        }
        break;
    }
    if (first >= argc || argv[first][0] == '-') {
        std::fprintf(stderr, "usage: file_props [--box WxH] [--reset-box WxH] [--pam OUT.pam] "
                             "[--repeat N] FILE...\n");
        return 2;
    }
    bool ok = true;
    for (int i = first; i < argc; ++i) {
        ok = ReadFile(argv[i], options) && ok;
    }
    return ok ? 0 : 1;
}
