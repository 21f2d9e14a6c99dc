// AES-GCM on both paths against Wycheproof (tags, nonce lengths, counter wraps) and its
// argument refusals; the record layer's form runs through the TLS record tests.
#include "cryptopaths.h"
#include "net/crypto/gcm.h"
#include "net/vectors.h"

using namespace nettest;

namespace {

class GcmPaths : public PathTest
{
};

struct sSealed
{
    bool ok = false;
    Bytes cipher;
    Bytes tag;
};

sSealed Seal(const Bytes& key, const Bytes& nonce, const Bytes& aad, const Bytes& plain)
{
    sGcmKey context;
    sSealed sealed{false, Bytes(plain.size()), Bytes(16)};
    EXPECT_TRUE(GcmSetKey(context, key.data(), static_cast<u32>(key.size() * 8)));
    sealed.ok = GcmSealAny(context, nonce.data(), nonce.size(), aad.data(), aad.size(), plain.data(), plain.size(),
                           sealed.cipher.data(), sealed.tag.data());
    return sealed;
}

// Opens in place (the record layer's way) and returns whether the tag matched.
bool Open(const Bytes& key, const Bytes& nonce, const Bytes& aad, Bytes& text, const Bytes& tag)
{
    sGcmKey context;
    EXPECT_TRUE(GcmSetKey(context, key.data(), static_cast<u32>(key.size() * 8)));
    return GcmOpenAny(context, nonce.data(), nonce.size(), aad.data(), aad.size(), text.data(), text.size(),
                      text.data(), tag.data());
}

} // namespace

// Wycheproof: valid cases give exactly ct and tag; modified tags fail; an empty nonce is
// refused by both directions.
TEST_P(GcmPaths, Wycheproof)
{
    const std::string path = SharedDataPath("wycheproof/aes_gcm_test.json");
    const Json root = ReadJsonFile(path);
    QEL_REQUIRE(root.is_object(), path);
    const size_t count = ForEachWycheproofTest(root, [](const Json& group, const Json& test) {
        ASSERT_EQ(group["tagSize"], 128);
        const Bytes key = HexOf(test["key"]), nonce = HexOf(test["iv"]), aad = HexOf(test["aad"]);
        const sSealed sealed = Seal(key, nonce, aad, HexOf(test["msg"]));
        Bytes text = HexOf(test["ct"]);
        const bool opened = Open(key, nonce, aad, text, HexOf(test["tag"]));
        if (test["result"] == "valid") {
            ASSERT_TRUE(sealed.ok && opened);
            EXPECT_EQ(ToHex(sealed.cipher), test["ct"].get<std::string>());
            EXPECT_EQ(ToHex(sealed.tag), test["tag"].get<std::string>());
            EXPECT_EQ(ToHex(text), test["msg"].get<std::string>());
        } else {
            EXPECT_FALSE(opened);
            EXPECT_FALSE(nonce.empty() && sealed.ok);
        }
    });
    EXPECT_EQ(count, 316u);
}

QEL_INSTANTIATE_PATHS(GcmPaths);

TEST(Gcm, RefusesBadArguments)
{
    sGcmKey key;
    const Bytes keyBytes(32, 1);
    EXPECT_FALSE(GcmSetKey(key, nullptr, 128) || GcmSetKey(key, keyBytes.data(), 0) || GcmSetKey(key, keyBytes.data(), 64));
    ASSERT_TRUE(GcmSetKey(key, keyBytes.data(), 256));
    const u8 nonce[12] = {};
    const u8 aad[5] = {};
    u8 data[16] = {};
    u8 tag[16] = {};
    EXPECT_FALSE(GcmSeal(key, nonce, 0, aad, data, 16, data, tag)) << "empty nonce";
    EXPECT_FALSE(GcmSeal(key, nullptr, 12, aad, data, 16, data, tag));
    EXPECT_FALSE(GcmSeal(key, nonce, 12, aad, nullptr, 16, data, tag));
    EXPECT_FALSE(GcmSeal(key, nonce, 12, aad, data, 16, data, nullptr));
    EXPECT_FALSE(GcmSealAny(key, nonce, 12, nullptr, 3, data, 16, data, tag));
    EXPECT_FALSE(GcmOpen(key, nonce, 12, aad, data, 16, data, nullptr));
    EXPECT_TRUE(GcmSeal(key, nonce, 12, aad, nullptr, 0, nullptr, tag)) << "empty text";
    EXPECT_TRUE(GcmOpen(key, nonce, 12, aad, nullptr, 0, nullptr, tag));
}
