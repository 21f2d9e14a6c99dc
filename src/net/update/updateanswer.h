#pragma once
// The update service's answer: a version line, the download address, the web site
// address and the release notes, each line ended by CR (and usually LF), in UTF-8.
#include "base/texts.h"

struct sUpdateAnswer
{
    u64 m_version = 0; // major << 48 | minor << 32 | sub << 16 | build
    _guardchar<char16_t> m_downloadAddress;
    _guardchar<char16_t> m_webSiteAddress;
    _guardchar<char16_t> m_releaseNotes; // may be empty; inner CR/LF kept
};

// Parses a whole answer body. The version line (before the first CR, at least one byte)
// holds two to four numbers 0..65535 separated by single dots, the missing ones 0; text
// after the last number is ignored. Runs of CR and LF then separate the two address lines,
// each ended by a CR and not empty, from the notes. False, with `out` reset, for anything
// else, for an address that holds a zero byte, and when memory is short.
[[nodiscard]] bool ParseUpdateAnswer(const u8* bytes, size_t size, sUpdateAnswer& out);

// "major.minor.sub.build" when build is not 0, else "major.minor.sub" when sub is not 0,
// else "major.minor". Empty only when memory is short.
_guardchar<char16_t> FormatVersion(u64 version);
