#include "base/config.h"
#include "base/configfile.h"

#include "file_helpers.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using qeltest::cEnvironmentVariable;
using qeltest::cScratchFolder;
using qeltest::ReadText;
using qeltest::RunCommand;
using qeltest::ShellQuote;

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string FileMode(const std::string& path)
{
    return RunCommand("stat -c %a " + ShellQuote(path));
}

bool HavePython()
{
    return qeltest::PathExists("/usr/bin/python3");
}

// tools/qelc.py, the second implementation of the file layout.
std::string Qelc(const std::string& arguments, int* status = nullptr)
{
    return RunCommand("/usr/bin/python3 " + ShellQuote(std::string(QEL_SOURCE_DIR) + "/tools/qelc.py") + " " +
                          arguments,
                      status);
}

std::u16string GetText(cApplicationConfig& config, const char* path, bool& found)
{
    _guardchar<char16_t> text;
    found = config.GetString(path, text);
    return std::u16string(text.GetOrEmpty());
}

// ---- a random tree, kept as a model beside the store ----

struct sPiece
{
    std::u16string m_wide;
    std::string m_utf8;
};

// Names and strings are drawn from pieces of every UTF-8 length, blanks, controls and the
// bytes the dump format escapes.
const std::vector<sPiece>& Pieces()
{
    static const std::vector<sPiece> pieces = {
        {u"a", "a"},           {u"Z", "Z"},       {u"7", "7"},         {u" ", " "},
        {u"%", "%"},           {u".", "."},       {u"\t", "\t"},       {u"\n", "\n"},
        {u"\u00e9", "\xc3\xa9"}, {u"\u0416", "\xd0\x96"}, {u"\u20ac", "\xe2\x82\xac"},
        {u"\U0001F600", "\xf0\x9f\x98\x80"}, {u"~", "~"}, {u"-", "-"},
    };
    return pieces;
}

sPiece RandomText(std::mt19937& rng, int minimum, int maximum)
{
    sPiece text;
    int count = std::uniform_int_distribution<int>(minimum, maximum)(rng);
    for (int index = 0; index < count; ++index) {
        const sPiece& piece = Pieces()[rng() % Pieces().size()];
        text.m_wide += piece.m_wide;
        text.m_utf8 += piece.m_utf8;
    }
    return text;
}

struct sModelValue
{
    eConfigValueType m_type;
    std::string m_bytes;     // bytes and strings (UTF-8)
    std::u16string m_wide;   // strings
    i64 m_number = 0;
};

using tModel = std::map<std::string, sModelValue>;

sModelValue RandomValue(std::mt19937& rng)
{
    sModelValue value;
    value.m_type = eConfigValueType(1 + rng() % 5);
    std::uniform_int_distribution<i64> any64;
    switch (value.m_type) {
    case kConfigBytes:
        for (int count = rng() % 40; count > 0; --count) {
            value.m_bytes.push_back(char(rng()));
        }
        break;
    case kConfigInt16:
        value.m_number = i16(rng());
        break;
    case kConfigInt32:
        value.m_number = i32(rng());
        break;
    case kConfigInt64:
        value.m_number = any64(rng);
        break;
    default: {
        sPiece text = RandomText(rng, 0, 12); // empty strings included
        value.m_wide = text.m_wide;
        value.m_bytes = text.m_utf8;
    }
    }
    return value;
}

void SetModelValue(cApplicationConfig& config, const std::string& path, const sModelValue& value)
{
    bool ok = false;
    switch (value.m_type) {
    case kConfigBytes:
        ok = config.SetBytes(path.c_str(), value.m_bytes.data(), u32(value.m_bytes.size()));
        break;
    case kConfigInt16:
        ok = config.SetInt16(path.c_str(), i16(value.m_number));
        break;
    case kConfigInt32:
        ok = config.SetInt32(path.c_str(), i32(value.m_number));
        break;
    case kConfigInt64:
        ok = config.SetInt64(path.c_str(), value.m_number);
        break;
    default:
        ok = config.SetString(path.c_str(), value.m_wide.c_str(), i64(value.m_wide.size()));
    }
    ASSERT_TRUE(ok) << path;
}

void ExpectModelValue(cApplicationConfig& config, const std::string& path, const sModelValue& value)
{
    switch (value.m_type) {
    case kConfigBytes: {
        _typebuf<u8> bytes;
        ASSERT_TRUE(config.GetBytes(path.c_str(), bytes)) << path;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.GetData()), size_t(bytes.GetCount())),
                  value.m_bytes)
            << path;
        break;
    }
    case kConfigInt16: {
        i16 number;
        ASSERT_TRUE(config.GetInt16(path.c_str(), number)) << path;
        EXPECT_EQ(number, value.m_number) << path;
        break;
    }
    case kConfigInt32: {
        i32 number;
        ASSERT_TRUE(config.GetInt32(path.c_str(), number)) << path;
        EXPECT_EQ(number, value.m_number) << path;
        break;
    }
    case kConfigInt64: {
        i64 number;
        ASSERT_TRUE(config.GetInt64(path.c_str(), number)) << path;
        EXPECT_EQ(number, value.m_number) << path;
        break;
    }
    default: {
        bool found;
        EXPECT_EQ(GetText(config, path.c_str(), found), value.m_wide) << path;
        EXPECT_TRUE(found) << path;
    }
    }
}

// Three keys: one with 1,000 children, one 32 levels deep, one of random paths over a
// small name pool so that paths share prefixes.
tModel RandomModel(u32 seed)
{
    std::mt19937 rng(seed);
    tModel model;
    for (int index = 0; index < 1000; ++index) {
        model["install/" + RandomText(rng, 1, 8).m_utf8] = RandomValue(rng);
    }
    std::string deep = ".deep \xc3\xa9";
    for (int depth = 2; depth <= 32; ++depth) {
        deep += "/" + RandomText(rng, 1, 4).m_utf8;
        if (rng() % 3 == 0 || depth == 32) {
            model[deep] = RandomValue(rng);
        }
    }
    std::vector<std::string> pool;
    for (int index = 0; index < 12; ++index) {
        pool.push_back(RandomText(rng, 1, 5).m_utf8);
    }
    for (int index = 0; index < 300; ++index) {
        std::string path = "mixed";
        for (int depth = 1 + rng() % 6; depth > 0; --depth) {
            path += "/" + pool[rng() % pool.size()];
        }
        model[path] = RandomValue(rng);
    }
    return model;
}

// The dump format of tools/qelc.py: "PATH TYPE VALUE", bytes outside '!'..'~' and '%'
// written %XX.
std::string Escape(const std::string& bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : bytes) {
        u8 byte = u8(c);
        if (byte >= 0x21 && byte <= 0x7E && byte != '%') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

std::string DumpLine(const std::string& path, const sModelValue& value)
{
    static const char* const kTypeNames[] = {"none", "bytes", "i16", "i32", "i64", "string"};
    std::string text;
    if (value.m_type == kConfigBytes) {
        static constexpr char kHex[] = "0123456789abcdef";
        for (char c : value.m_bytes) {
            text += kHex[u8(c) >> 4];
            text += kHex[u8(c) & 15];
        }
    } else if (value.m_type == kConfigString) {
        text = Escape(value.m_bytes);
    } else {
        text = std::to_string(value.m_number);
    }
    return Escape(path) + " " + kTypeNames[value.m_type] + " " + text;
}

std::vector<std::string> SortedLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> FolderFiles(const std::string& folder)
{
    return SortedLines(RunCommand("ls -A " + ShellQuote(folder)));
}

} // namespace

TEST(ConfigPaths, ComponentRulesAreEnforced)
{
    cScratchFolder folder;
    cCIAppConfig store(folder.PathOf("s"), kConfigPerUser);
    std::string longest(255, 'x');
    std::string deepest = "k";
    for (int depth = 2; depth <= 32; ++depth) {
        deepest += "/c";
    }
    EXPECT_TRUE(store.SetInt32(("k/" + longest).c_str(), 1));
    EXPECT_TRUE(store.SetInt32(deepest.c_str(), 2));
    for (const std::string& bad : {std::string(""), std::string("/k/a"), std::string("k/a/"), std::string("k//a"),
                                   "k/" + longest + "x", deepest + "/c"}) {
        EXPECT_FALSE(store.SetInt32(bad.c_str(), 3)) << bad;
        i32 value;
        EXPECT_FALSE(store.GetInt32(bad.c_str(), value)) << bad;
    }
    EXPECT_FALSE(store.SetInt32(nullptr, 3));
    i32 value = 0;
    EXPECT_TRUE(store.GetInt32(deepest.c_str(), value));
    EXPECT_EQ(value, 2);
}

TEST(ConfigValues, GettersNeedTheirOwnTypeAndSettersReplaceAnyType)
{
    cScratchFolder folder;
    cCIAppConfig store(folder.PathOf("s"), kConfigPerUser);
    ASSERT_TRUE(store.SetInt64("install/prod/ver", 0x0001000200030004LL));
    i32 narrow;
    i64 wide = 0;
    bool found;
    EXPECT_FALSE(store.GetInt32("install/prod/ver", narrow));
    GetText(store, "install/prod/ver", found);
    EXPECT_FALSE(found);
    EXPECT_TRUE(store.GetInt64("install/prod/ver", wide));
    EXPECT_EQ(wide, 0x0001000200030004LL);
    // An inner node holds no value of any type.
    EXPECT_FALSE(store.GetInt64("install/prod", wide));

    ASSERT_TRUE(store.SetString("install/prod/ver", u"1.2"));
    EXPECT_FALSE(store.GetInt64("install/prod/ver", wide));
    EXPECT_EQ(GetText(store, "install/prod/ver", found), u"1.2");

    // A null text stores the empty string; an explicit length may cut the text.
    ASSERT_TRUE(store.SetString("installer/temp", nullptr));
    EXPECT_EQ(GetText(store, "installer/temp", found), u"");
    EXPECT_TRUE(found);
    ASSERT_TRUE(store.SetString("installer/temp", u"/home/\u00fc/Downloads", 7));
    EXPECT_EQ(GetText(store, "installer/temp", found), u"/home/\u00fc");

    ASSERT_TRUE(store.SetBytes("blob/empty", nullptr, 0));
    _typebuf<u8> bytes;
    EXPECT_TRUE(store.GetBytes("blob/empty", bytes));
    EXPECT_EQ(bytes.GetCount(), 0);
    EXPECT_FALSE(store.SetBytes("blob/bad", nullptr, 4));

    for (i16 number : {i16(-32768), i16(-1), i16(32767)}) {
        ASSERT_TRUE(store.SetInt16("n/16", number));
        i16 back = 0;
        EXPECT_TRUE(store.GetInt16("n/16", back));
        EXPECT_EQ(back, number);
    }
}

TEST(ConfigFileNames, KeysAreEscapedIntoSafeFileNames)
{
    EXPECT_EQ(ConfigFileName("install"), "install.qelc");
    EXPECT_EQ(ConfigFileName("installer"), "installer.qelc");
    EXPECT_EQ(ConfigFileName("lang"), "lang.qelc");
    EXPECT_EQ(ConfigFileName(".x.y"), "%2Ex.y.qelc");
    EXPECT_EQ(ConfigFileName("a b%c_d-e"), "a%20b%25c_d-e.qelc");
    EXPECT_EQ(ConfigFileName("\xc3\xa9\x7f"), "%C3%A9%7F.qelc");
}

// Both implementations of the layout, each reading what the other wrote; both must also
// write identical bytes for the same tree, since the layout has one image per tree.
TEST(ConfigInterop, RandomTreesRoundTripThroughTheSecondImplementation)
{
    QEL_REQUIRE(HavePython(), "/usr/bin/python3");
    for (u32 seed : {1u, 2u}) {
        cScratchFolder folder;
        tModel model = RandomModel(seed);
        {
            cCIAppConfig store(folder.PathOf("ours"), kConfigPerUser);
            for (const auto& [path, value] : model) {
                SetModelValue(store, path, value);
            }
            ASSERT_TRUE(store.Save());
        }
        std::string expected;
        for (const auto& [path, value] : model) {
            expected += DumpLine(path, value) + "\n";
        }
        int status;
        std::string dump = Qelc("dump " + ShellQuote(folder.PathOf("ours")), &status);
        ASSERT_EQ(status, 0);
        EXPECT_EQ(SortedLines(dump), SortedLines(expected));

        WriteFile(folder.PathOf("expected.txt"), expected);
        ::mkdir(folder.PathOf("theirs").c_str(), 0700);
        Qelc("restore " + ShellQuote(folder.PathOf("theirs")) + " < " + ShellQuote(folder.PathOf("expected.txt")),
             &status);
        ASSERT_EQ(status, 0);
        std::vector<std::string> files = FolderFiles(folder.PathOf("ours"));
        ASSERT_EQ(files, FolderFiles(folder.PathOf("theirs")));
        ASSERT_EQ(files.size(), 3u);
        for (const std::string& file : files) {
            EXPECT_TRUE(ReadText(folder.PathOf("ours/" + file)) == ReadText(folder.PathOf("theirs/" + file))) << file;
        }
        cCIAppConfig theirs(folder.PathOf("theirs"), kConfigPerUser);
        for (const auto& [path, value] : model) {
            ExpectModelValue(theirs, path, value);
        }
    }
}

TEST(ConfigInterop, SingleValuesThroughGetAndSet)
{
    QEL_REQUIRE(HavePython(), "/usr/bin/python3");
    cScratchFolder folder;
    std::string store = ShellQuote(folder.Path());
    int status;
    Qelc("set " + store + " install/prod/ver i64 281483566841860", &status);
    ASSERT_EQ(status, 0);
    Qelc("set " + store + " installer/temp string " + ShellQuote("/home/\xc3\xbc/x y"), &status);
    ASSERT_EQ(status, 0);
    cCIAppConfig config(folder.Path(), kConfigPerUser);
    i64 version = 0;
    bool found;
    EXPECT_TRUE(config.GetInt64("install/prod/ver", version));
    EXPECT_EQ(version, 0x0001000200030004LL);
    EXPECT_EQ(GetText(config, "installer/temp", found), u"/home/\u00fc/x y");
    ASSERT_TRUE(config.SetInt16("install/prod/count", -2));
    ASSERT_TRUE(config.Save());
    EXPECT_EQ(Qelc("get " + store + " install/prod/count"), "-2\n");
    EXPECT_EQ(Qelc("get " + store + " install/prod/ver"), "281483566841860\n");
    Qelc("get " + store + " install/prod/missing", &status);
    EXPECT_EQ(status, 1);
}

// Every one-byte change and every cut of a file makes it read as empty, and the file stays
// exactly as it was until its key is saved; that save keeps the old bytes in <file>.bad.
TEST(ConfigDamage, DamagedFilesReadEmptyAndSurviveUntilTheirKeyIsSaved)
{
    cScratchFolder folder;
    std::string file = folder.PathOf("install.qelc");
    {
        cCIAppConfig store(folder.Path(), kConfigPerUser);
        ASSERT_TRUE(store.SetInt64("install/prod/ver", 42));
        ASSERT_TRUE(store.SetString("install/prod/name", u"Product \u00e9"));
        ASSERT_TRUE(store.SetBytes("install/prod/blob", "\x00\x01\x02", 3));
        ASSERT_TRUE(store.SetInt16("install/a", 7));
        ASSERT_TRUE(store.SetInt32("install/b/c", 9));
        ASSERT_TRUE(store.Save());
    }
    const std::string good = ReadText(file);
    ASSERT_GT(good.size(), 16u);

    auto expectEmptyAndUntouched = [&](const std::string& bytes, const std::string& what, bool saveOtherKey) {
        WriteFile(file, bytes);
        {
            cCIAppConfig store(folder.Path(), kConfigPerUser);
            i64 version;
            i16 small;
            EXPECT_FALSE(store.GetInt64("install/prod/ver", version)) << what;
            EXPECT_FALSE(store.GetInt16("install/a", small)) << what;
            // Saving another key leaves this file alone.
            if (saveOtherKey) {
                ASSERT_TRUE(store.SetInt32("other/x", 1));
                EXPECT_TRUE(store.Save());
            }
        }
        EXPECT_TRUE(ReadText(file) == bytes) << what;
    };
    for (size_t index = 0; index < good.size(); ++index) {
        std::string flipped = good;
        flipped[index] = char(flipped[index] ^ (1 << (index % 8)));
        expectEmptyAndUntouched(flipped, "flip at " + std::to_string(index), index % 16 == 0);
        expectEmptyAndUntouched(good.substr(0, index), "cut at " + std::to_string(index), index % 16 == 8);
    }
    EXPECT_TRUE(ReadText(file) == good.substr(0, good.size() - 1));
    EXPECT_FALSE(qeltest::PathExists(file + ".bad"));

    std::string damaged = good;
    damaged[good.size() - 1] ^= 0x40;
    WriteFile(file, damaged);
    WriteFile(file + ".bad", "older damage");
    {
        cCIAppConfig store(folder.Path(), kConfigPerUser);
        ASSERT_TRUE(store.SetInt64("install/new", 5));
        ASSERT_TRUE(store.Save());
    }
    EXPECT_TRUE(ReadText(file + ".bad") == damaged);
    cCIAppConfig store(folder.Path(), kConfigPerUser);
    i64 value = 0;
    EXPECT_TRUE(store.GetInt64("install/new", value));
    EXPECT_EQ(value, 5);
    EXPECT_FALSE(store.GetInt64("install/prod/ver", value));
}

TEST(ConfigDamage, ForeignFilesAreRefused)
{
    cScratchFolder folder;
    std::string file = folder.PathOf("lang.qelc");
    // A well-formed file whose root is another key.
    sConfigNode root;
    root.m_name = "other";
    root.GetOrAddChild("current").m_type = kConfigInt32;
    root.GetOrAddChild("current").m_value = std::string(4, '\0');
    std::vector<u8> image;
    ASSERT_TRUE(SerializeConfigFile(root, image));
    sConfigNode parsed;
    EXPECT_TRUE(ParseConfigFile(image.data(), image.size(), "other", parsed));
    EXPECT_FALSE(ParseConfigFile(image.data(), image.size(), "lang", parsed));
    // A file above 16 MiB is refused before it is read.
    WriteFile(file, "QELC");
    ASSERT_EQ(::truncate(file.c_str(), (16 << 20) + 1), 0);
    cCIAppConfig store(folder.Path(), kConfigPerUser);
    i32 value;
    EXPECT_FALSE(store.GetInt32("lang/current", value));
}

// A writer killed at random moments never leaves a torn file: after each kill the file
// parses and holds one of the two states the writer alternates between.
TEST(ConfigCrash, SavesKilledAtRandomNeverTearTheFile)
{
    cScratchFolder folder;
    const std::string blobA(256 * 1024, 'A');
    const std::string blobB(300 * 1024, 'B');
    auto writeState = [&](cCIAppConfig& store, const std::string& blob, i64 mark) {
        return store.SetBytes("install/blob", blob.data(), u32(blob.size())) &&
               store.SetInt64("install/mark", mark) && store.Save();
    };
    {
        cCIAppConfig store(folder.Path(), kConfigPerUser);
        ASSERT_TRUE(writeState(store, blobA, 1));
    }
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            cCIAppConfig store(folder.Path(), kConfigPerUser);
            for (;;) {
                writeState(store, blobB, 2);
                writeState(store, blobA, 1);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 20001));
        ::kill(child, SIGKILL);
        int status;
        ::waitpid(child, &status, 0);

        std::string bytes = ReadText(folder.PathOf("install.qelc"));
        sConfigNode root;
        ASSERT_TRUE(ParseConfigFile(reinterpret_cast<const u8*>(bytes.data()), bytes.size(), "install", root))
            << "round " << round;
        const sConfigNode* blob = root.FindChild("blob");
        const sConfigNode* mark = root.FindChild("mark");
        ASSERT_TRUE(blob != nullptr && mark != nullptr);
        bool isA = blob->m_value == blobA && mark->m_value == std::string("\x01\0\0\0\0\0\0\0", 8);
        bool isB = blob->m_value == blobB && mark->m_value == std::string("\x02\0\0\0\0\0\0\0", 8);
        ASSERT_TRUE(isA || isB) << "round " << round;
    }
}

TEST(ConfigStore, FileModesFollowTheStoreKind)
{
    cScratchFolder folder;
    cCIAppConfig user(folder.PathOf("a/b/user"), kConfigPerUser);
    ASSERT_TRUE(user.SetString("installer/temp", u"/tmp"));
    ASSERT_TRUE(user.Save());
    EXPECT_EQ(FileMode(folder.PathOf("a/b/user/installer.qelc")), "600\n");
    EXPECT_EQ(FileMode(folder.PathOf("a/b/user")), "700\n");

    // The machine-wide folder is never made by us.
    cCIAppConfig absent(folder.PathOf("nowhere"), kConfigMachineWide);
    ASSERT_TRUE(absent.SetInt32("install/x", 1));
    EXPECT_FALSE(absent.Save());
    EXPECT_FALSE(qeltest::PathExists(folder.PathOf("nowhere")));

    ::mkdir(folder.PathOf("machine").c_str(), 0755);
    cCIAppConfig machine(folder.PathOf("machine"), kConfigMachineWide);
    ASSERT_TRUE(machine.SetInt32("install/x", 1));
    ASSERT_TRUE(machine.Save());
    EXPECT_EQ(FileMode(folder.PathOf("machine/install.qelc")), "644\n");
}

TEST(ConfigStore, UnwritableStoresWorkInMemoryAndFailToSave)
{
    cScratchFolder folder;
    WriteFile(folder.PathOf("file"), "x");
    cCIAppConfig store(folder.PathOf("file/sub"), kConfigPerUser);
    ASSERT_TRUE(store.SetInt32("install/x", 3));
    i32 value = 0;
    EXPECT_TRUE(store.GetInt32("install/x", value));
    EXPECT_EQ(value, 3);
    EXPECT_FALSE(store.Save());

    // A key too long for a file name fails alone; the other keys are still written.
    cCIAppConfig other(folder.PathOf("ok"), kConfigPerUser);
    std::string longKey;
    for (int index = 0; index < 100; ++index) {
        longKey += "\xc3\xa9";
    }
    ASSERT_TRUE(other.SetInt32((longKey + "/x").c_str(), 1));
    ASSERT_TRUE(other.SetInt32("short/x", 2));
    EXPECT_FALSE(other.Save());
    EXPECT_TRUE(qeltest::PathExists(folder.PathOf("ok/short.qelc")));
    EXPECT_EQ(FolderFiles(folder.PathOf("ok")), std::vector<std::string>{"short.qelc"});
}

// A file the reader would refuse is never written: the old file stays and Save fails.
TEST(ConfigStore, KeysTooLargeForOneFileAreNotSaved)
{
    cScratchFolder folder;
    cCIAppConfig store(folder.Path(), kConfigPerUser);
    ASSERT_TRUE(store.SetInt32("big/small", 1));
    ASSERT_TRUE(store.Save());
    const std::string saved = ReadText(folder.PathOf("big.qelc"));
    std::string half(9 << 20, 'x');
    EXPECT_FALSE(store.SetBytes("big/whole", std::string((16 << 20) + 1, 'x').data(), (16 << 20) + 1));
    ASSERT_TRUE(store.SetBytes("big/a", half.data(), u32(half.size())));
    ASSERT_TRUE(store.SetBytes("big/b", half.data(), u32(half.size())));
    EXPECT_FALSE(store.Save());
    EXPECT_TRUE(ReadText(folder.PathOf("big.qelc")) == saved);
    EXPECT_EQ(FolderFiles(folder.Path()), std::vector<std::string>{"big.qelc"});
}

TEST(ConfigPair, ReadsFallBackToTheMachineStoreAndWritesStayPerUser)
{
    QEL_REQUIRE(HavePython(), "/usr/bin/python3");
    cScratchFolder folder;
    std::string user = folder.PathOf("user");
    std::string machine = folder.PathOf("machine");
    ::mkdir(user.c_str(), 0700);
    ::mkdir(machine.c_str(), 0755);
    int status = 0;
    auto set = [&](const std::string& store, const std::string& rest) {
        Qelc("set " + ShellQuote(store) + " " + rest, &status);
        ASSERT_EQ(status, 0) << rest;
    };
    set(machine, "install/prod/ver i64 281483566841860");
    set(machine, "install/prod/name string Machine");
    set(machine, "lang/current string de");
    set(user, "install/prod/name string User");
    set(user, "lang/current i32 5");

    cCIAppFullConfig pair(user, machine);
    i64 version = 0;
    i32 language = 0;
    bool found;
    EXPECT_TRUE(pair.GetInt64("install/prod/ver", version));
    EXPECT_EQ(version, 0x0001000200030004LL);
    EXPECT_EQ(GetText(pair, "install/prod/name", found), u"User");
    // Another type in the per-user store ends the lookup there.
    GetText(pair, "lang/current", found);
    EXPECT_FALSE(found);
    EXPECT_TRUE(pair.GetInt32("lang/current", language));
    EXPECT_EQ(language, 5);

    WriteFile(folder.PathOf("stamp"), "");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(pair.SetString("installer/temp", u"/data/x"));
    ASSERT_TRUE(pair.SetInt64("install/prod/ver", 7));
    ASSERT_TRUE(pair.Save());
    EXPECT_EQ(RunCommand("find " + ShellQuote(machine) + " -newer " + ShellQuote(folder.PathOf("stamp"))), "");
    EXPECT_EQ(Qelc("get " + ShellQuote(user) + " installer/temp"), "/data/x\n");
    EXPECT_EQ(Qelc("get " + ShellQuote(user) + " install/prod/ver"), "7\n");
    EXPECT_EQ(Qelc("get " + ShellQuote(machine) + " install/prod/ver"), "281483566841860\n");
}

TEST(ConfigPair, StoreFoldersComeFromTheEnvironment)
{
    cScratchFolder folder;
    cEnvironmentVariable configHome("QEL_CONFIG_HOME", nullptr);
    cEnvironmentVariable configMachine("QEL_CONFIG_MACHINE", nullptr);
    cEnvironmentVariable home("HOME", folder.PathOf("home").c_str());
    cEnvironmentVariable xdg("XDG_CONFIG_HOME", folder.PathOf("x").c_str());
    std::string user;
    std::string machine;
    GetConfigStoreFolders("qel", user, machine);
    EXPECT_EQ(user, folder.PathOf("x/Kestrix Laboratories/qel"));
    EXPECT_EQ(machine, "/var/lib/Kestrix Laboratories/qel");
    {
        auto pair = OpenApplicationConfig("qel");
        ASSERT_TRUE(pair->SetString("installer/temp", u"/t"));
        ASSERT_TRUE(pair->Save());
    }
    EXPECT_TRUE(qeltest::PathExists(folder.PathOf("x/Kestrix Laboratories/qel/installer.qelc")));

    xdg.Set("relative/x");
    GetConfigStoreFolders("qel", user, machine);
    EXPECT_EQ(user, folder.PathOf("home/.config/Kestrix Laboratories/qel"));

    configHome.Set(folder.PathOf("u").c_str());
    configMachine.Set(folder.PathOf("m").c_str());
    GetConfigStoreFolders("qel", user, machine);
    EXPECT_EQ(user, folder.PathOf("u"));
    EXPECT_EQ(machine, folder.PathOf("m"));
}

// What one process saves, the next one reads: the road of "installer/temp".
TEST(ConfigPair, ASecondProcessReadsWhatTheFirstSaved)
{
    cScratchFolder folder;
    cEnvironmentVariable configHome("QEL_CONFIG_HOME", folder.PathOf("u").c_str());
    cEnvironmentVariable configMachine("QEL_CONFIG_MACHINE", folder.PathOf("m").c_str());
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto pair = OpenApplicationConfig("qel");
        bool ok = pair->SetString("installer/temp", u"/home/\u00fc/Downloads") && pair->Save();
        ::_exit(ok ? 0 : 1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    auto pair = OpenApplicationConfig("qel");
    bool found;
    EXPECT_EQ(GetText(*pair, "installer/temp", found), u"/home/\u00fc/Downloads");
}

// Four threads get, set and save two keys at once (run under TSan too); what is on disk
// afterwards equals what the store holds.
TEST(ConfigThreads, ConcurrentAccessAndSaves)
{
    cScratchFolder folder;
    cCIAppFullConfig pair(folder.PathOf("u"), folder.PathOf("m"));
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread) {
        threads.emplace_back([&, thread] {
            std::string own = "alpha/t" + std::to_string(thread);
            std::string text = "beta/t" + std::to_string(thread);
            for (i32 round = 0; !stop.load(); ++round) {
                i32 back = -1;
                if (!pair.SetInt32(own.c_str(), round) || !pair.GetInt32(own.c_str(), back) || back != round ||
                    !pair.SetString(text.c_str(), u"value") || (round % 8 == 0 && !pair.Save())) {
                    ++failures;
                }
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    stop = true;
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures.load(), 0);
    ASSERT_TRUE(pair.Save());
    cCIAppConfig reread(folder.PathOf("u"), kConfigPerUser);
    for (int thread = 0; thread < 4; ++thread) {
        std::string own = "alpha/t" + std::to_string(thread);
        i32 saved = -1;
        i32 held = -2;
        EXPECT_TRUE(reread.GetInt32(own.c_str(), saved));
        EXPECT_TRUE(pair.GetInt32(own.c_str(), held));
        EXPECT_EQ(saved, held);
    }
}
