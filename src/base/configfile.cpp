#include "base/configfile.h"

#include "base/byteorder.h"
#include "base/crc32.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr u8 kMagic[4] = {'Q', 'E', 'L', 'C'};
constexpr u16 kVersion = 1;

// The fixed value length of a type; -1 for the types of any length, -2 for unknown ones.
i64 FixedValueLength(u8 type)
{
    switch (type) {
    case kConfigNone:
        return 0;
    case kConfigInt16:
        return 2;
    case kConfigInt32:
        return 4;
    case kConfigInt64:
        return 8;
    case kConfigBytes:
    case kConfigString:
        return -1;
    default:
        return -2;
    }
}

bool IsValidName(const std::string& name)
{
    return !name.empty() && name.size() <= kConfigMaxNameLength &&
           name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

// Unsigned byte order; std::string's compare is memcmp-based and so already unsigned.
bool NameLess(const std::string& a, const std::string& b)
{
    return a.compare(b) < 0;
}

// Reads nodes from a bounded cursor; every length is checked against the bytes left
// before it is used, so a damaged file can neither overread nor make us allocate more
// than the file holds.
class cNodeReader
{
public:
    cNodeReader(const u8* data, u64 size) : m_data(data), m_left(size) {}

    bool ReadNode(sConfigNode& node, u32 depth)
    {
        if (depth > kConfigMaxDepth) {
            return false;
        }
        u16 nameLength;
        u8 type;
        u32 valueLength;
        u32 childCount;
        if (!ReadInteger(nameLength) || nameLength == 0 || !ReadBytes(nameLength, node.m_name) ||
            !IsValidName(node.m_name) || !ReadInteger(type) || !ReadInteger(valueLength)) {
            return false;
        }
        i64 fixed = FixedValueLength(type);
        if (fixed == -2 || (fixed >= 0 && valueLength != u64(fixed))) {
            return false;
        }
        node.m_type = eConfigValueType(type);
        if (!ReadBytes(valueLength, node.m_value) || !ReadInteger(childCount)) {
            return false;
        }
        // The smallest node takes 12 bytes (name length, one name byte, type, value
        // length, child count). Children are added as they are read, never reserved from
        // the count, so memory follows the bytes actually present.
        if (u64(childCount) * 12 > m_left) {
            return false;
        }
        for (u32 index = 0; index < childCount; ++index) {
            sConfigNode& child = node.m_children.emplace_back();
            if (!ReadNode(child, depth + 1)) {
                return false;
            }
            if (index > 0 && !NameLess(node.m_children[index - 1].m_name, child.m_name)) {
                return false;
            }
        }
        return true;
    }

    bool AtEnd() const { return m_left == 0; }

private:
    // A little-endian unsigned integer.
    template <typename T>
    bool ReadInteger(T& value)
    {
        if (m_left < sizeof(T)) {
            return false;
        }
        value = 0;
        for (size_t index = 0; index < sizeof(T); ++index) {
            value = T(value | T(m_data[index]) << (8 * index));
        }
        Advance(sizeof(T));
        return true;
    }
    bool ReadBytes(u64 count, std::string& out)
    {
        if (count > m_left) {
            return false;
        }
        out.assign(reinterpret_cast<const char*>(m_data), size_t(count));
        Advance(count);
        return true;
    }
    void Advance(u64 count)
    {
        m_data += count;
        m_left -= count;
    }

    const u8* m_data;
    u64 m_left;
};

void PutU16(std::vector<u8>& out, u16 value)
{
    u8 bytes[2];
    StoreLe16(bytes, value);
    out.insert(out.end(), bytes, bytes + 2);
}

void PutU32(std::vector<u8>& out, u32 value)
{
    u8 bytes[4];
    StoreLe32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

void PutBytes(std::vector<u8>& out, const std::string& bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

bool WriteNode(const sConfigNode& node, u32 depth, std::vector<u8>& out)
{
    i64 fixed = FixedValueLength(node.m_type);
    if (depth > kConfigMaxDepth || !IsValidName(node.m_name) || fixed == -2 ||
        (fixed >= 0 && node.m_value.size() != u64(fixed)) || node.m_value.size() > kConfigFileMaxSize ||
        node.m_children.size() > kConfigFileMaxSize || out.size() > kConfigFileMaxSize) {
        return false;
    }
    PutU16(out, u16(node.m_name.size()));
    PutBytes(out, node.m_name);
    out.push_back(node.m_type);
    PutU32(out, u32(node.m_value.size()));
    PutBytes(out, node.m_value);
    PutU32(out, u32(node.m_children.size()));
    for (size_t index = 0; index < node.m_children.size(); ++index) {
        if (index > 0 && !NameLess(node.m_children[index - 1].m_name, node.m_children[index].m_name)) {
            return false;
        }
        if (!WriteNode(node.m_children[index], depth + 1, out)) {
            return false;
        }
    }
    return true;
}

bool IsPlainFileNameByte(u8 byte)
{
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
           byte == '.' || byte == '_' || byte == '-';
}

} // namespace

const sConfigNode* sConfigNode::FindChild(const std::string& name) const
{
    auto found = std::lower_bound(m_children.begin(), m_children.end(), name,
                                  [](const sConfigNode& child, const std::string& key) { return NameLess(child.m_name, key); });
    return found != m_children.end() && found->m_name == name ? &*found : nullptr;
}

sConfigNode& sConfigNode::GetOrAddChild(const std::string& name)
{
    auto found = std::lower_bound(m_children.begin(), m_children.end(), name,
                                  [](const sConfigNode& child, const std::string& key) { return NameLess(child.m_name, key); });
    if (found != m_children.end() && found->m_name == name) {
        return *found;
    }
    sConfigNode child;
    child.m_name = name;
    return *m_children.insert(found, std::move(child));
}

bool ParseConfigFile(const u8* data, u64 size, const std::string& key, sConfigNode& root)
{
    root = sConfigNode();
    root.m_name = key;
    if (data == nullptr || size < kConfigHeaderSize || size > kConfigFileMaxSize ||
        std::memcmp(data, kMagic, 4) != 0 || LoadLe16(data + 4) != kVersion ||
        LoadLe16(data + 6) != 0 || LoadLe32(data + 8) != size - kConfigHeaderSize) {
        return false;
    }
    const u8* body = data + kConfigHeaderSize;
    u64 bodyLength = size - kConfigHeaderSize;
    if (Crc32(body, size_t(bodyLength)) != LoadLe32(data + 12)) {
        return false;
    }
    sConfigNode parsed;
    cNodeReader reader(body, bodyLength);
    if (!reader.ReadNode(parsed, 1) || !reader.AtEnd() || parsed.m_name != key) {
        return false;
    }
    root = std::move(parsed);
    return true;
}

bool SerializeConfigFile(const sConfigNode& root, std::vector<u8>& image)
{
    image.assign(kConfigHeaderSize, 0); // filled in once the body is known
    if (!WriteNode(root, 1, image) || image.size() > kConfigFileMaxSize) {
        image.clear();
        return false;
    }
    u32 bodyLength = u32(image.size() - kConfigHeaderSize);
    u32 crc = Crc32(image.data() + kConfigHeaderSize, bodyLength);
    std::memcpy(image.data(), kMagic, 4);
    StoreLe16(image.data() + 4, kVersion);
    StoreLe32(image.data() + 8, bodyLength);
    StoreLe32(image.data() + 12, crc);
    return true;
}

std::string ConfigFileName(const std::string& key)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string name;
    for (size_t index = 0; index < key.size(); ++index) {
        u8 byte = u8(key[index]);
        if (IsPlainFileNameByte(byte) && !(index == 0 && byte == '.')) {
            name.push_back(char(byte));
        } else {
            name.push_back('%');
            name.push_back(kHex[byte >> 4]);
            name.push_back(kHex[byte & 15]);
        }
    }
    return name + ".qelc";
}
