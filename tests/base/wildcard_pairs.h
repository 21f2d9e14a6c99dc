#pragma once
// Seeded random (name, pattern) pairs for MatchWildcardList, in UTF-16 for us and UTF-8
// for glibc's fnmatch. Shared by the test that checks the matcher against fnmatch and the
// benchmark that times both.
#include <random>
#include <string>
#include <vector>

namespace qeltest {

struct sWildcardPair
{
    std::u16string m_name;
    std::u16string m_pattern;
    std::string m_nameUtf8;
    std::string m_patternUtf8;
};

inline void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
        return;
    }
    const int length = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; // lead byte 110x, 1110x or 11110x
    out += char(((0xF00 >> length) & 0xFF) | (c >> (6 * (length - 1))));
    for (int shift = 6 * (length - 2); shift >= 0; shift -= 6) {
        out += char(0x80 | ((c >> shift) & 0x3F));
    }
}

inline void AppendUtf16(std::u16string& out, char32_t c)
{
    if (c < 0x10000) {
        out += char16_t(c);
    } else {
        out += char16_t(0xD800 + ((c - 0x10000) >> 10));
        out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
}

// ASCII letters of both cases, '.', ' ', Latin-1 letters, Greek without the final sigma
// (whose upper case folds back to the other sigma), Cyrillic, dotted capital I, and
// astral characters without case so that '?' meets surrogate pairs.
inline const std::vector<char32_t>& WildcardAlphabet()
{
    static const std::vector<char32_t> alphabet = [] {
        std::vector<char32_t> letters;
        for (char32_t c = 'a'; c <= 'z'; c += 3) {
            letters.push_back(c);
            letters.push_back(c - 32);
        }
        for (char32_t c : {U'.', U' ', U'.', U'\u0130', U'\U0001F600', U'\U00020000', U'\U0001D11E'}) {
            letters.push_back(c);
        }
        for (char32_t c = 0xC0; c <= 0xFF; c += 5) {
            letters.push_back(c);
        }
        for (char32_t c = 0x391; c <= 0x3C9; c += 4) {
            if (c != 0x3A2 && c != 0x3C2) {
                letters.push_back(c);
            }
        }
        for (char32_t c = 0x400; c <= 0x45F; c += 7) {
            letters.push_back(c);
        }
        return letters;
    }();
    return alphabet;
}

// Half the patterns are made from their name (characters turned into '?', runs into '*',
// case swapped), so that many pairs match; the rest are random.
inline std::vector<sWildcardPair> MakeWildcardPairs(size_t count, unsigned seed)
{
    const std::vector<char32_t>& alphabet = WildcardAlphabet();
    std::mt19937 rng(seed);
    std::vector<sWildcardPair> pairs(count);
    for (sWildcardPair& pair : pairs) {
        std::u32string name;
        for (int length = rng() % 12; length > 0; --length) {
            name += alphabet[rng() % alphabet.size()];
        }
        std::u32string pattern;
        if (rng() % 2 == 0) {
            for (size_t index = 0; index < name.size(); ++index) {
                unsigned roll = rng() % 10;
                char32_t c = name[index];
                if (roll == 0) {
                    pattern += U'?';
                } else if (roll == 1) {
                    pattern += U'*';
                    index += rng() % 3;
                } else if (roll == 2 && c < 0x80 && ((c | 32) >= 'a' && (c | 32) <= 'z')) {
                    pattern += char32_t(c ^ 32);
                } else if (roll == 3) {
                    pattern += alphabet[rng() % alphabet.size()];
                } else {
                    pattern += c;
                }
            }
        } else {
            for (int length = rng() % 8; length > 0; --length) {
                unsigned roll = rng() % 6;
                pattern += roll == 0 ? U'*' : roll == 1 ? U'?' : alphabet[rng() % alphabet.size()];
            }
        }
        for (char32_t c : name) {
            AppendUtf16(pair.m_name, c);
            AppendUtf8(pair.m_nameUtf8, c);
        }
        for (char32_t c : pattern) {
            AppendUtf16(pair.m_pattern, c);
            AppendUtf8(pair.m_patternUtf8, c);
        }
    }
    return pairs;
}

} // namespace qeltest
