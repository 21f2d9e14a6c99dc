#include "base/paths.h"
#include "base/utf.h"

#include "support/filehelpers.h"
#include "support/testsupport.h"
#include "wildcard_pairs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <fnmatch.h>
#include <tuple>
#include <locale.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace {

using qeltest::cEnvironmentVariable;
using qeltest::cScratchFolder;
using qeltest::WideName;
using qeltest::RunCommand;
using qeltest::ShellQuote;

} // namespace

// Every kind of entry, following links; a folder is made only one level deep and only
// over nothing or a folder. The FIFO has no writer: opening it would block, so passing here
// also shows it is never opened. A lone surrogate that no byte stands for names nothing.
TEST(PathKind, EveryKindOfEntryAndCreateDirectoryPath)
{
    cScratchFolder folder;
    const std::string base = folder.Path() + "/";
    ASSERT_EQ(RunCommand("cd " + ShellQuote(folder.Path()) +
                         " && echo hi > f && mkdir d && ln -s f lf && ln -s d ld && ln -s nowhere broken &&"
                         " ln -s loop loop && mkfifo p && touch \"$(printf '\\377\\376.bin')\" && echo ok"),
              "ok\n");
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{AF_UNIX, {}};
    std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", (base + "s").c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    const std::u16string unencodable = WideName(base) + u"f\xD800";
    const std::pair<std::u16string, ePathKind> kinds[] = {
        {WideName(base + "f"), kPathFile}, {WideName(base + "d"), kPathFolder}, {WideName(base + "lf"), kPathFile},
        {WideName(base + "ld"), kPathFolder}, {WideName(base + "broken"), kPathMissing},
        {WideName(base + "loop"), kPathMissing}, {WideName(base + "p"), kPathDevice},
        {WideName(base + "s"), kPathDevice}, {WideName(base + "\xff\xfe.bin"), kPathFile},
        {WideName(base + "missing"), kPathMissing}, {WideName(base + "f/below"), kPathMissing},
        {u"/dev/null", kPathDevice}, {u"/", kPathFolder}, {u"", kPathMissing}, {unencodable, kPathMissing}};
    for (const auto& [name, kind] : kinds) {
        EXPECT_EQ(GetPathKind(name.c_str()), kind) << qeltest::NameBytes(name.c_str());
    }
    ::close(listener);
    EXPECT_EQ(GetPathKind(nullptr), kPathMissing);

    const mode_t old = ::umask(022);
    const std::pair<std::u16string, bool> creates[] = {
        {WideName(base + "new \xff"), true}, {WideName(base + "new \xff"), true}, {WideName(base + "ld"), true},
        {WideName(base + "f"), false}, {WideName(base + "broken"), false}, {WideName(base + "a/b"), false},
        {unencodable, false}, {u"", false}};
    for (const auto& [name, made] : creates) {
        EXPECT_EQ(CreateDirectoryPath(name.c_str()), made) << qeltest::NameBytes(name.c_str());
    }
    ::umask(old);
    EXPECT_EQ(RunCommand("stat -c %a " + ShellQuote(base + "new \xff")), "755\n");
    EXPECT_FALSE(qeltest::PathExists(base + "a") || CreateDirectoryPath(nullptr));
}

// $HOME first (without trailing slashes, undecodable bytes escaped), then the password
// database as getent reports it.
TEST(HomeFolder, EnvironmentFirstThenThePasswordDatabase)
{
    std::string database = RunCommand("getent passwd $(id -u) | cut -d: -f6");
    ASSERT_FALSE(database.empty());
    database.pop_back();
    while (database.size() > 1 && database.back() == '/') {
        database.pop_back();
    }
    cEnvironmentVariable variable("HOME", nullptr);
    const std::pair<const char*, std::u16string> cases[] = {
        {"/x/y//", u"/x/y"}, {"///", u"/"}, {"/h\xff\xc3\xa9", u"/h\xDCFF\u00e9"}, {"", WideName(database)},
        {nullptr, WideName(database)}};
    for (const auto& [value, expected] : cases) {
        variable.Set(value);
        _guardchar<char16_t> home;
        ASSERT_TRUE(GetHomeFolder(home));
        EXPECT_EQ(std::u16string(home.GetOrEmpty()), expected) << (value ? value : "unset");
    }
}

// What the fnmatch cross-check below cannot reach: lists, blanks, null and empty
// arguments, '[' and '\' taken literally, escaped file-name bytes.
TEST(MatchWildcardList, ListsBlanksAndLiterals)
{
    const std::tuple<const char16_t*, const char16_t*, bool> cases[] = {
        {u"A.TXT", u"*.txt; *.log", true}, {u"x.log", u"*.txt; *.log", true},
        {u"x.log ", u"*.txt; *.log", false}, {u"x.log", u" \t*.LOG\t ;", true},
        {u"x.png", u"*.txt;*.log", false}, {u"anything", nullptr, true}, {u"anything", u"", true},
        {u"anything", u" ; ;\t", true}, {u"anything", u" ; x;\t", false}, {nullptr, u"*", true},
        {nullptr, u"?", false}, {u"[a].txt", u"[a].txt", true}, {u"a.txt", u"[a].txt", false},
        {u"a\\b", u"a\\b", true}, {u".hidden", u"*", true}, {u".hidden", u"?hidden", true},
        {u"a\xDCFF", u"a?", true}, {u"\U0001F600.png", u"??.png", false},
    };
    for (const auto& [name, list, expected] : cases) {
        EXPECT_EQ(MatchWildcardList(name, list), expected)
            << qeltest::NameBytes(name ? name : u"") << " / " << qeltest::NameBytes(list ? list : u"");
    }
}

// glibc's fnmatch in C.UTF-8 with FNM_NOESCAPE | FNM_CASEFOLD is the oracle; a list holds
// one pattern here, trimmed of blanks as the list rules say, and an empty one matches all.
// Debian's fnmatch retries byte by byte when the character match fails ("???" matches
// the one character U+20AC), so both sides get a prefix that no byte match can pass:
// "\u00c9" before the pattern and "\u00e9" before the name match as characters only when
// case is folded, and their second bytes differ.
TEST(MatchWildcardList, AgreesWithFnmatchOnRandomPairs)
{
    locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    QEL_REQUIRE(utf8 != locale_t(0), "the C.UTF-8 locale");
    locale_t previous = ::uselocale(utf8);
    ASSERT_EQ(::fnmatch("???", "\xe2\x82\xac", FNM_NOESCAPE), 0) << "the byte retry this test expects";
    size_t matches = 0;
    for (const qeltest::sWildcardPair& pair : qeltest::MakeWildcardPairs(100000, 20240611)) {
        std::string pattern = pair.m_patternUtf8;
        size_t first = pattern.find_first_not_of(" \t");
        size_t last = pattern.find_last_not_of(" \t");
        pattern = first == std::string::npos ? "" : pattern.substr(first, last - first + 1);
        std::string name = "\xc3\xa9" + pair.m_nameUtf8;
        bool expected = pattern.empty() ||
                        ::fnmatch(("\xc3\x89" + pattern).c_str(), name.c_str(), FNM_NOESCAPE | FNM_CASEFOLD) == 0;
        bool ours = MatchWildcardList(pair.m_name.c_str(), pair.m_pattern.c_str());
        matches += ours ? 1 : 0;
        if (ours != expected) {
            ADD_FAILURE() << "name \"" << pair.m_nameUtf8 << "\" pattern \"" << pair.m_patternUtf8 << "\"";
            break;
        }
    }
    ::uselocale(previous);
    ::freelocale(utf8);
    // The pairs must exercise both answers.
    EXPECT_GT(matches, 20000u);
    EXPECT_LT(matches, 80000u);
}

// Backtracking over stars would take exponential time here (the run would never end).
TEST(MatchWildcardList, AdversarialPatternsEnd)
{
    const std::u16string name(10000, u'a');
    std::u16string stars;
    for (int index = 0; index < 200; ++index) {
        stars += u"*a";
    }
    const std::pair<std::u16string, bool> cases[] = {
        {u"*a*a*a*a*a*a*b", false}, {u"*a*a*a*a*a*a*a", true}, {stars + u"b", false}};
    for (const auto& [pattern, expected] : cases) {
        EXPECT_EQ(MatchWildcardList(name.c_str(), pattern.c_str()), expected);
    }
}

TEST(CleanPathText, QuotesBackslashesAndTrailingBlanks)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"\"C:\\x\\y\"", u"C:/x/y"}, {u"\"/tmp/a b\"  ", u"/tmp/a b"}, {u"\"\"", u""},
        {u"\"\"x", u"\"x"}, {u"/a/\"b\"", u"/a/\"b"}, {u"  /lead stays", u"  /lead stays"},
        {u"/x \" \"\" ", u"/x"}, {u"\\\\server\\share", u"//server/share"}, {u"\"", u""},
        {u"   ", u""}, {u"\" \"", u""}, {nullptr, u""}};
    for (const auto& [text, expected] : cases) {
        _guardchar<char16_t> holder;
        ASSERT_TRUE(holder.Assign(text));
        CleanPathText(holder);
        // Cleaned to nothing, the text is empty in the holder's sense too.
        EXPECT_EQ(holder.Get() == nullptr ? u"" : std::u16string(holder.Get()), expected);
        EXPECT_EQ(holder.IsEmpty(), *expected == 0);
    }
}
