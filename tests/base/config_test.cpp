#include "base/config.h"
#include "base/configfile.h"

#include "support/filehelpers.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

using qeltest::cEnvironmentVariable;
using qeltest::cScratchFolder;
using qeltest::ReadText;
using qeltest::RunCommand;
using qeltest::ShellQuote;

std::string FileMode(const std::string& path)
{
    return RunCommand("stat -c %a " + ShellQuote(path));
}

std::string FolderFiles(const std::string& folder)
{
    return RunCommand("LC_ALL=C ls -A " + ShellQuote(folder));
}

// tools/qelc.py, the second implementation of the file layout.
std::string Qelc(const std::string& arguments, int* status = nullptr)
{
    const std::string tool = std::string(QEL_SOURCE_DIR) + "/tools/qelc.py";
    return RunCommand("/usr/bin/python3 " + ShellQuote(tool) + " " + arguments, status);
}

std::u16string GetText(cApplicationConfig& config, const char* path, bool& found)
{
    _guardchar<char16_t> text;
    found = config.GetString(path, text);
    return std::u16string(text.GetOrEmpty());
}

} // namespace

// Every one-byte change and every cut of a file makes it read as empty, and the file stays
// exactly as it was until its key is saved; that save keeps the old bytes in <file>.bad.
// Files of another key or above 16 MiB are refused.
TEST(ConfigStore, DamagedAndForeignFilesReadEmptyAndSurviveUntilTheirKeyIsSaved)
{
    cScratchFolder folder;
    const std::string file = folder.PathOf("install.qelc");
    {
        cCIAppConfig store(folder.Path(), kConfigPerUser);
        ASSERT_TRUE(store.SetInt64("install/prod/ver", 42) && store.SetString("install/prod/name", u"P \u00e9") &&
                    store.SetBytes("install/prod/blob", "\x00\x01\x02", 3) && store.SetInt16("install/a", 7) &&
                    store.SetInt32("install/b/c", 9) && store.Save());
    }
    const std::string good = ReadText(file);
    ASSERT_GT(good.size(), 16u);
    auto expectEmptyAndUntouched = [&](const std::string& bytes, const std::string& what, bool saveOtherKey) {
        folder.MakeFile("install.qelc", bytes);
        {
            cCIAppConfig store(folder.Path(), kConfigPerUser);
            i64 version;
            EXPECT_FALSE(store.GetInt64("install/prod/ver", version)) << what;
            if (saveOtherKey) { // saving another key leaves this file alone
                EXPECT_TRUE(store.SetInt32("other/x", 1) && store.Save());
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
    EXPECT_FALSE(qeltest::PathExists(file + ".bad"));

    std::string damaged = good;
    damaged.back() ^= 0x40;
    folder.MakeFile("install.qelc", damaged);
    folder.MakeFile("install.qelc.bad", std::string("older damage"));
    {
        cCIAppConfig store(folder.Path(), kConfigPerUser);
        ASSERT_TRUE(store.SetInt64("install/new", 5) && store.Save());
    }
    EXPECT_TRUE(ReadText(file + ".bad") == damaged);
    cCIAppConfig store(folder.Path(), kConfigPerUser);
    i64 value = 0;
    EXPECT_TRUE(store.GetInt64("install/new", value) && value == 5);
    EXPECT_FALSE(store.GetInt64("install/prod/ver", value));

    // A well-formed file whose root is another key, and a file above 16 MiB.
    folder.MakeFile("lang.qelc", good);
    folder.MakeFile("huge.qelc", std::string("QELC"));
    ASSERT_EQ(::truncate(folder.PathOf("huge.qelc").c_str(), (16 << 20) + 1), 0);
    cCIAppConfig other(folder.Path(), kConfigPerUser);
    i32 number;
    EXPECT_TRUE(other.GetInt64("install/new", value));
    EXPECT_FALSE(other.GetInt64("lang/prod/ver", value));
    EXPECT_FALSE(other.GetInt32("huge/x", number));
}

// A writer killed at random moments never leaves a torn file: after each kill the file
// parses and holds one of the two states the writer alternates between.
TEST(ConfigStore, SavesKilledAtRandomNeverTearTheFile)
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
        ::waitpid(child, nullptr, 0);

        const std::string bytes = ReadText(folder.PathOf("install.qelc"));
        sConfigNode root;
        ASSERT_TRUE(ParseConfigFile(reinterpret_cast<const u8*>(bytes.data()), bytes.size(), "install", root))
            << "round " << round;
        const sConfigNode* blob = root.FindChild("blob");
        const sConfigNode* mark = root.FindChild("mark");
        ASSERT_TRUE(blob != nullptr && mark != nullptr);
        const bool isA = blob->m_value == blobA && mark->m_value == std::string("\x01\0\0\0\0\0\0\0", 8);
        const bool isB = blob->m_value == blobB && mark->m_value == std::string("\x02\0\0\0\0\0\0\0", 8);
        ASSERT_TRUE(isA || isB) << "round " << round;
    }
}

TEST(ConfigPair, ReadsFallBackToTheMachineStoreAndWritesStayPerUser)
{
    QEL_REQUIRE(qeltest::PathExists("/usr/bin/python3"), "/usr/bin/python3");
    cScratchFolder folder;
    const std::string user = folder.PathOf("user");
    const std::string machine = folder.PathOf("machine");
    ::mkdir(user.c_str(), 0700);
    ::mkdir(machine.c_str(), 0755);
    const std::pair<std::string, const char*> settings[] = {
        {machine, "install/prod/ver i64 281483566841860"}, {machine, "install/prod/name string Machine"},
        {machine, "lang/current string de"}, {user, "install/prod/name string User"},
        {user, "lang/current i32 5"}, {machine, "'.deep \xc3\xa9/x' i16 -2"}, {machine, "blob/b bytes 00ff7f"}};
    for (const auto& [store, rest] : settings) {
        int status = 0;
        Qelc("set " + ShellQuote(store) + " " + rest, &status);
        ASSERT_EQ(status, 0) << rest;
    }
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
    EXPECT_TRUE(pair.GetInt32("lang/current", language) && language == 5);
    // A key whose file name is escaped, and the short and byte types.
    i16 small = 0;
    _typebuf<u8> bytes;
    EXPECT_TRUE(pair.GetInt16(".deep \xc3\xa9/x", small) && small == -2);
    EXPECT_TRUE(pair.GetBytes("blob/b", bytes) && bytes.GetCount() == 3 && bytes.GetData()[1] == 0xff);

    folder.MakeFile("stamp", std::string());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(pair.SetString("installer/temp", u"/data/x") && pair.SetInt64("install/prod/ver", 7));
    ASSERT_TRUE(pair.Save());
    EXPECT_EQ(RunCommand("find " + ShellQuote(machine) + " -newer " + ShellQuote(folder.PathOf("stamp"))), "");
    EXPECT_EQ(Qelc("get " + ShellQuote(user) + " installer/temp"), "/data/x\n");
    EXPECT_EQ(Qelc("get " + ShellQuote(user) + " install/prod/ver"), "7\n");
    EXPECT_EQ(Qelc("get " + ShellQuote(machine) + " install/prod/ver"), "281483566841860\n");
}

// Four threads get, set and save two keys at once (run under TSan too); what is on disk
// afterwards equals what the store holds.
TEST(ConfigPair, ConcurrentAccessAndSaves)
{
    cScratchFolder folder;
    cCIAppFullConfig pair(folder.PathOf("u"), folder.PathOf("m"));
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread) {
        threads.emplace_back([&, thread] {
            const std::string own = "alpha/t" + std::to_string(thread);
            const std::string text = "beta/t" + std::to_string(thread);
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
        const std::string own = "alpha/t" + std::to_string(thread);
        i32 saved = -1;
        i32 held = -2;
        EXPECT_TRUE(reread.GetInt32(own.c_str(), saved) && pair.GetInt32(own.c_str(), held));
        EXPECT_EQ(saved, held);
    }
}

// File modes by store kind, and every way a save can fail: the values stay in memory, the
// keys that can be written are, and a file the reader would refuse is never written.
TEST(ConfigStore, FileModesAndFailedSaves)
{
    cScratchFolder folder;
    cCIAppConfig user(folder.PathOf("a/b/user"), kConfigPerUser);
    ASSERT_TRUE(user.SetString("installer/temp", u"/tmp") && user.Save());
    EXPECT_EQ(FileMode(folder.PathOf("a/b/user/installer.qelc")), "600\n");
    EXPECT_EQ(FileMode(folder.PathOf("a/b/user")), "700\n");
    ::mkdir(folder.PathOf("machine").c_str(), 0755);
    cCIAppConfig machine(folder.PathOf("machine"), kConfigMachineWide);
    ASSERT_TRUE(machine.SetInt32("install/x", 1) && machine.Save());
    EXPECT_EQ(FileMode(folder.PathOf("machine/install.qelc")), "644\n");
    // The machine-wide folder is never made by us.
    cCIAppConfig absent(folder.PathOf("nowhere"), kConfigMachineWide);
    ASSERT_TRUE(absent.SetInt32("install/x", 1));
    EXPECT_FALSE(absent.Save());
    EXPECT_FALSE(qeltest::PathExists(folder.PathOf("nowhere")));

    folder.MakeFile("file", std::string("x"));
    cCIAppConfig blocked(folder.PathOf("file/sub"), kConfigPerUser);
    ASSERT_TRUE(blocked.SetInt32("install/x", 3));
    i32 value = 0;
    EXPECT_TRUE(blocked.GetInt32("install/x", value) && value == 3);
    EXPECT_FALSE(blocked.Save());

    // A key too long for a file name fails alone; the other keys are still written.
    cCIAppConfig other(folder.PathOf("ok"), kConfigPerUser);
    std::string longKey;
    for (int index = 0; index < 100; ++index) {
        longKey += "\xc3\xa9";
    }
    ASSERT_TRUE(other.SetInt32((longKey + "/x").c_str(), 1) && other.SetInt32("short/x", 2));
    EXPECT_FALSE(other.Save());
    EXPECT_EQ(FolderFiles(folder.PathOf("ok")), "short.qelc\n");

    // Two values that fit alone but not together in one file: the old file stays.
    cCIAppConfig big(folder.PathOf("big"), kConfigPerUser);
    ASSERT_TRUE(big.SetInt32("big/small", 1) && big.Save());
    const std::string saved = ReadText(folder.PathOf("big/big.qelc"));
    const std::string half(9 << 20, 'x');
    EXPECT_FALSE(big.SetBytes("big/whole", std::string((16 << 20) + 1, 'x').data(), (16 << 20) + 1));
    ASSERT_TRUE(big.SetBytes("big/a", half.data(), u32(half.size())) &&
                big.SetBytes("big/b", half.data(), u32(half.size())));
    EXPECT_FALSE(big.Save());
    EXPECT_TRUE(ReadText(folder.PathOf("big/big.qelc")) == saved);
    EXPECT_EQ(FolderFiles(folder.PathOf("big")), "big.qelc\n");
}

// Path rules and value types, one table of calls.
TEST(ConfigStore, PathRulesAndValueTypes)
{
    cScratchFolder folder;
    cCIAppConfig store(folder.PathOf("s"), kConfigPerUser);
    const std::string longest(255, 'x');
    std::string deepest = "k";
    for (int depth = 2; depth <= 32; ++depth) {
        deepest += "/c";
    }
    EXPECT_TRUE(store.SetInt32(("k/" + longest).c_str(), 1));
    EXPECT_TRUE(store.SetInt32(deepest.c_str(), 2));
    i32 value = 0;
    for (const std::string& bad : {std::string(""), std::string("/k/a"), std::string("k/a/"),
                                   std::string("k//a"), "k/" + longest + "x", deepest + "/c"}) {
        EXPECT_FALSE(store.SetInt32(bad.c_str(), 3)) << bad;
        EXPECT_FALSE(store.GetInt32(bad.c_str(), value)) << bad;
    }
    EXPECT_FALSE(store.SetInt32(nullptr, 3));
    EXPECT_TRUE(store.GetInt32(deepest.c_str(), value) && value == 2);

    // A getter needs its own type; a setter replaces any type; inner nodes hold nothing.
    ASSERT_TRUE(store.SetInt64("install/prod/ver", 0x0001000200030004LL));
    i64 wide = 0;
    bool found;
    EXPECT_FALSE(store.GetInt32("install/prod/ver", value));
    GetText(store, "install/prod/ver", found);
    EXPECT_FALSE(found);
    EXPECT_TRUE(store.GetInt64("install/prod/ver", wide) && wide == 0x0001000200030004LL);
    EXPECT_FALSE(store.GetInt64("install/prod", wide));
    ASSERT_TRUE(store.SetString("install/prod/ver", u"1.2"));
    EXPECT_FALSE(store.GetInt64("install/prod/ver", wide));
    EXPECT_EQ(GetText(store, "install/prod/ver", found), u"1.2");
    // A null text stores ""; an explicit length may cut the text.
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
}

// The store folders come from the environment, and what one process saves there the
// next one reads: the road of "installer/temp".
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
    xdg.Set("relative/x");
    GetConfigStoreFolders("qel", user, machine);
    EXPECT_EQ(user, folder.PathOf("home/.config/Kestrix Laboratories/qel"));

    configHome.Set(folder.PathOf("u").c_str());
    configMachine.Set(folder.PathOf("m").c_str());
    GetConfigStoreFolders("qel", user, machine);
    EXPECT_EQ(user, folder.PathOf("u"));
    EXPECT_EQ(machine, folder.PathOf("m"));
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto pair = OpenApplicationConfig("qel");
        ::_exit(pair->SetString("installer/temp", u"/home/\u00fc/Downloads") && pair->Save() ? 0 : 1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(qeltest::PathExists(folder.PathOf("u/installer.qelc")));
    bool found;
    EXPECT_EQ(GetText(*OpenApplicationConfig("qel"), "installer/temp", found), u"/home/\u00fc/Downloads");
}
