#pragma once
// The "QELC" file: one top-level key of a configuration store with everything below it.
//
// A store is a folder holding one file per top-level key, named <key>.qelc, where every
// key byte outside A-Z a-z 0-9 . _ - (and a leading '.') is written %XX in upper-case hex:
// "install" -> install.qelc, "a b" -> a%20b.qelc, ".x" -> %2Ex.qelc.
//
// Layout, all integers little-endian:
//
//   header (16 bytes)
//     4  magic        "QELC"
//     2  version      1
//     2  flags        0
//     4  body length  = file size - 16
//     4  body CRC     CRC-32 (ISO-HDLC: reflected 0xEDB88320, initial and final all ones)
//                     over the body bytes
//   body = exactly one node, the top-level key's own node (its name is the key)
//
//   node
//     2  name length  1..255
//     n  name         UTF-8 bytes, no '/' and no NUL
//     1  type         0 none, 1 bytes, 2 i16, 3 i32, 4 i64, 5 string
//     4  value length 0 for none, 2 for i16, 4 for i32, 8 for i64, any for bytes and string
//     v  value        integers two's complement; a string is UTF-8 without a terminator
//     4  child count
//        children     nodes whose names are in strictly ascending order, compared as
//                     unsigned bytes (a name that is a prefix of another comes first)
//
// The root node is at depth 1 and no node lies deeper than 32. A reader refuses the whole
// file (it counts as damaged) when: the file is larger than 16 MiB; the magic, the
// version or the flags differ; the body length is not file size - 16; the CRC differs; any length runs
// past the bytes left; a fixed-size value has another length; the type is unknown; a name
// is empty or holds '/' or NUL; sibling names are not strictly ascending; a node lies
// deeper than 32; bytes follow the root node; the root's name is not the key.
//
// Because children are sorted and every field has one encoding, a tree has exactly one
// file image: two writers that agree on the layout write identical bytes.
#include "base/types.h"

#include <string>
#include <vector>

inline constexpr u64 kConfigFileMaxSize = 16u << 20;
inline constexpr u32 kConfigMaxDepth = 32;
inline constexpr u32 kConfigMaxNameLength = 255;
inline constexpr u32 kConfigHeaderSize = 16;

enum eConfigValueType : u8
{
    kConfigNone = 0,
    kConfigBytes = 1,
    kConfigInt16 = 2,
    kConfigInt32 = 3,
    kConfigInt64 = 4,
    kConfigString = 5,
};

// One node of a key's tree. Children are kept sorted by name (unsigned bytes), so the
// in-memory order is the file order.
struct sConfigNode
{
    std::string m_name;
    eConfigValueType m_type = kConfigNone;
    std::string m_value; // raw value bytes as stored (integers little-endian)
    std::vector<sConfigNode> m_children;

    // The child with this name, or null.
    const sConfigNode* FindChild(const std::string& name) const;
    // The child with this name, added (type none, no value) in sorted place when absent.
    sConfigNode& GetOrAddChild(const std::string& name);
};

// Parses a whole file image whose root must be named `key`. False (and `root` reset to an
// empty node named `key`) when the image is damaged in any of the ways listed above.
[[nodiscard]] bool ParseConfigFile(const u8* data, u64 size, const std::string& key, sConfigNode& root);

// The file image of `root` (header included). False when the tree cannot be stored: a name
// outside 1..255 bytes or holding '/' or NUL, a value longer than the file allows, children
// out of order, or the image growing past 16 MiB.
[[nodiscard]] bool SerializeConfigFile(const sConfigNode& root, std::vector<u8>& image);

// The file name (without folder) of a top-level key: its escaped bytes plus ".qelc".
std::string ConfigFileName(const std::string& key);
