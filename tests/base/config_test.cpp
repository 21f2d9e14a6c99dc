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
