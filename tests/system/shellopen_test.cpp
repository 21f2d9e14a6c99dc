#include "system/shellopen.h"

#include "base/utf.h"

#include "support/fakedesktop.h"
#include "support/filehelpers.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

namespace {

using qeltest::cEnvironmentVariable;
using qeltest::cFakeDesktop;
using qeltest::cScratchFolder;
using qeltest::ReadText;
using qeltest::RunCommand;
using qeltest::ShellQuote;
using qeltest::WaitFor;

std::u16string Wide(const std::string& utf8)
{
    _guardchar<char16_t> wide;
    EXPECT_TRUE(Utf8ToWideString(utf8.c_str(), i64(utf8.size()), wide));
    return wide.GetOrEmpty();
}

} // namespace

TEST(ShellOpenLink, AllowListOpensOnlyAddressesAndExistingPaths)
{
    cFakeDesktop desktop;
    std::string expected;
    for (const char* text : {"https://example.com/a?b=1", "HTTP://H:8080/", "mailto:x@example.com", "/etc/passwd",
                             "https://[::1]:8443/x", "https://u@h/#frag", "/bin/true"}) {
        EXPECT_TRUE(ShellOpenLink(Wide(text).c_str())) << text;
        expected += std::string(text) + '\0';
        ASSERT_TRUE(WaitFor([&] { return desktop.Log() == expected; })) << text << " gave " << desktop.Log();
    }
    for (const char* text : {"/nonexistent", "relative/path", "file:///etc/passwd", "javascript:alert(1)", "https://",
                             "https:///path", "https://@/", "https://:80/", "https://[]/", "https://x/a b",
                             "http://x/\"", "http://x/<script>", "https://x/\xc3\xa9", "mailto:",
                             "sh -c 'touch /tmp/pwned'", "calc.exe /x", "-h", "--help", "", "/etc/passwd\n",
                             "/tmp/\x01", "ftp://example.com/", "https:/x"}) {
        EXPECT_FALSE(ShellOpenLink(Wide(text).c_str())) << text;
    }
    EXPECT_FALSE(ShellOpenLink(nullptr));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(desktop.Log(), expected);
}

TEST(ShellOpen, DesktopChildrenAreDetachedAndReaped)
{
    cFakeDesktop desktop;
    cEnvironmentVariable sleep("QEL_TEST_XDG_SLEEP", "1");
    EXPECT_TRUE(ShellOpen(u"https://example.com/"));
    ASSERT_TRUE(WaitFor([&] { return !desktop.Pids().empty(); }));
    pid_t child = std::stoi(desktop.Pids());
    // Still sleeping: ShellOpen returned without waiting for it.
    EXPECT_EQ(::kill(child, 0), 0);
    // A zombie still answers kill(pid, 0); only a reaped child is gone.
    for (int round = 0; round < 300 && ::kill(child, 0) == 0; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(::kill(child, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST(ShellOpen, RunsCommandsWithoutAShellAndReportsTheirStatus)
{
    cFakeDesktop desktop;
    cScratchFolder folder;
    EXPECT_FALSE(ShellOpen(u"sh -c \"exit 3\""));
    EXPECT_TRUE(ShellOpen(u"sh -c \"exit 0\""));
    EXPECT_FALSE(ShellOpen(u"qel-no-such-program --flag"));
    EXPECT_FALSE(ShellOpen(nullptr));
    EXPECT_FALSE(ShellOpen(u""));
    // No shell sees the text: ';' and '$(...)' are plain argument bytes.
    std::string marker = folder.PathOf("marker");
    EXPECT_TRUE(ShellOpen(Wide("true ; touch " + marker).c_str()));
    EXPECT_TRUE(ShellOpen(Wide("true $(touch " + marker + ")").c_str()));
    EXPECT_FALSE(qeltest::PathExists(marker));
    // Arguments arrive split and unquoted.
    std::string out = folder.PathOf("args");
    EXPECT_TRUE(ShellOpen(Wide("sh -c \"printf '%s|' \\\"$@\\\" > " + out + "\" zero \"a b\" c\\\\\\\"d").c_str()));
    EXPECT_EQ(ReadText(out), "a b|c\\\"d|");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(desktop.Log(), "");
}

TEST(ShellOpen, ProgramsStartInTheirFolderAndOtherPathsOpen)
{
    cFakeDesktop desktop;
    cScratchFolder folder;
    std::string script = folder.PathOf("sub dir/run me.sh");
    std::string out = folder.PathOf("pwd.txt");
    ASSERT_EQ(RunCommand("mkdir " + ShellQuote(folder.PathOf("sub dir")) + " && echo ok"), "ok\n");
    std::ofstream(script) << "#!/bin/sh\npwd > " << ShellQuote(out) << "\n";
    ::chmod(script.c_str(), 0755);
    EXPECT_TRUE(ShellOpen(Wide(script).c_str()));
    ASSERT_TRUE(WaitFor([&] { return ReadText(out) == folder.PathOf("sub dir") + "\n"; })) << ReadText(out);

    // Without an execute bit the file opens in its handler instead, and so do folders.
    ::chmod(script.c_str(), 0644);
    EXPECT_TRUE(ShellOpen(Wide(script).c_str()));
    EXPECT_TRUE(WaitFor([&] { return desktop.Log() == script + '\0'; })) << desktop.Log();
}

TEST(ShellOpen, FailsWithoutADesktopHandler)
{
    cScratchFolder empty;
    cEnvironmentVariable path("PATH", empty.Path().c_str());
    EXPECT_FALSE(ShellOpen(u"https://example.com/"));
    EXPECT_FALSE(ShellOpenLink(u"https://example.com/"));
}

// The program name takes backslashes literally, even before a quote (the lists below
// name no program so).
TEST(SplitCommandLine, ProgramNameAndEmptyLines)
{
    using tWords = std::vector<std::u16string>;
    EXPECT_EQ(SplitCommandLine(u"a\\\"b c"), (tWords{u"a\\b c"}));
    EXPECT_EQ(SplitCommandLine(u"\t "), tWords{});
    EXPECT_EQ(SplitCommandLine(nullptr), tWords{});
}

// Python's subprocess.list2cmdline joins argument lists by the same rules; splitting its
// output must give the lists back.
TEST(SplitCommandLine, InvertsPythonList2cmdline)
{
    QEL_REQUIRE(qeltest::PathExists("/usr/bin/python3"), "/usr/bin/python3");
    const char* program =
        "import random, subprocess, sys\n"
        "rng = random.Random(1234)\n"
        "pieces = ['a', 'b', ' ', '\\t', '\"', '\\\\', '\\\\\\\\', '\\u00e9', 'x\"y', '\\\\\"']\n"
        "out = sys.stdout.buffer\n"
        "for case in range(2000):\n"
        "    args = ['prog' + str(case)]\n"
        "    for _ in range(rng.randrange(0, 5)):\n"
        "        args.append(''.join(rng.choice(pieces) for _ in range(rng.randrange(0, 7))))\n"
        "    out.write(subprocess.list2cmdline(args).encode() + b'\\0' + str(len(args)).encode() + b'\\0')\n"
        "    for arg in args:\n"
        "        out.write(arg.encode() + b'\\0')\n";
    std::string output = RunCommand("/usr/bin/python3 -c " + ShellQuote(program));
    std::vector<std::string> fields;
    for (size_t start = 0; start < output.size();) {
        size_t end = output.find('\0', start);
        fields.push_back(output.substr(start, end - start));
        start = end + 1;
    }
    size_t cases = 0;
    for (size_t index = 0; index + 1 < fields.size(); ++cases) {
        std::u16string line = Wide(fields[index]);
        size_t count = std::stoul(fields[index + 1]);
        std::vector<std::u16string> expected;
        for (size_t arg = 0; arg < count; ++arg) {
            expected.push_back(Wide(fields[index + 2 + arg]));
        }
        index += 2 + count;
        ASSERT_EQ(SplitCommandLine(line.c_str()), expected) << fields[index - 2 - count];
    }
    EXPECT_EQ(cases, 2000u);
}
