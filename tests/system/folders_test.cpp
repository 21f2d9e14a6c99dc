#include "system/folders.h"

#include "support/filehelpers.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <map>
#include <sys/socket.h>
#include <sys/un.h>
#include <atomic>

namespace {

using qeltest::cEnvironmentVariable;
using qeltest::cScratchFolder;
using qeltest::NameBytes;
using qeltest::WideName;
using qeltest::RunCommand;
using qeltest::ShellQuote;

std::vector<std::string> SplitOnNul(const std::string& text)
{
    std::vector<std::string> fields;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\0', start);
        if (end == std::string::npos) {
            break;
        }
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

// The tree every listing test reads: each kind of entry, awkward names, sizes and dates.
class cListingTree
{
public:
    cListingTree()
    {
        std::string script =
            "cd " + ShellQuote(m_folder.Path()) +
            " && echo hi > f && mkdir d && ln -s f lf && ln -s d ld && ln -s nowhere broken && ln -s loop loop"
            " && mkfifo p && ln -s /dev/null dn && touch .hidden && touch $'\\xff\\xfe.bin' && touch $'a\\nb'"
            " && truncate -s 5G big && touch -d '1969-07-20 20:17:40 UTC' old"
            " && touch -d '2040-02-29 12:00:00 UTC' future && touch \"$(printf 'n%.0s' $(seq 255))\" && echo ok";
        m_ready = RunCommand("bash -c " + ShellQuote(script)) == "ok\n";
        m_listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof(address.sun_path), "%s/s", m_folder.Path().c_str());
        m_ready = m_ready && ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~cListingTree() { ::close(m_listener); }

    bool IsReady() const { return m_ready; }
    const std::string& Path() const { return m_folder.Path(); }

private:
    cScratchFolder m_folder;
    int m_listener;
    bool m_ready;
};

struct sFindLine
{
    char m_type;
    u64 m_size;
    std::string m_date; // "YYYY MM DD hh mm ss"
};

// find -L as the oracle: type letter, size and modification time in local time (TZ).
std::map<std::string, sFindLine> FindListing(const std::string& folder, const std::string& zone)
{
    std::string output = RunCommand("TZ=" + zone + " find -L " + ShellQuote(folder) +
                                    " -mindepth 1 -maxdepth 1 -printf '%P\\0%y\\0%s\\0%TY %Tm %Td %TH %TM %TS\\0'"
                                    " 2>/dev/null");
    std::vector<std::string> fields = SplitOnNul(output);
    std::map<std::string, sFindLine> lines;
    for (size_t index = 0; index + 3 < fields.size(); index += 4) {
        std::string date = fields[index + 3];
        date = date.substr(0, date.find('.')); // the integer part of %TS
        lines[fields[index]] = {fields[index + 1][0], std::stoull(fields[index + 2]), date};
    }
    return lines;
}

std::string DateText(const sDateTime& date)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%04u %02u %02u %02u %02u %02u", date.m_year, date.m_month, date.m_day,
                  date.m_hour, date.m_minute, date.m_second);
    return text;
}

} // namespace

// find -L is the oracle for kinds, sizes and local dates, in two zones (Kathmandu was
// UTC+05:30 in 1969 and is +05:45 now, so the historic offset counts).
TEST(FolderListing, FullEntriesAgreeWithFind)
{
    cListingTree tree;
    ASSERT_TRUE(tree.IsReady());
    QEL_REQUIRE(qeltest::PathExists("/usr/share/zoneinfo/Asia/Kathmandu"), "tzdata");
    for (const char* zone : {"UTC", "Asia/Kathmandu"}) {
        cEnvironmentVariable setZone("TZ", zone);
        std::map<std::string, sFindLine> expected = FindListing(tree.Path(), zone);
        cFolderListing listing;
        ASSERT_TRUE(listing.Enumerate(WideName(tree.Path()).c_str(), kListFullEntries));
        ASSERT_EQ(listing.GetCount(), 16);
        // A kinds-only listing has the same names and kinds, without sizes and dates.
        cFolderListing kinds;
        ASSERT_TRUE(kinds.Enumerate(WideName(tree.Path()).c_str()));
        ASSERT_EQ(kinds.GetCount(), 16);
        std::vector<std::string> names;
        for (i32 index = 0; index < listing.GetCount(); ++index) {
            const sFolderEntry* entry = listing.GetEntry(index);
            std::string name = NameBytes(entry->m_name.Get());
            names.push_back(name);
            const sFolderEntry* kindOnly = kinds.GetEntry(index);
            EXPECT_EQ(NameBytes(kindOnly->m_name.Get()), name);
            EXPECT_EQ(kindOnly->m_kind, entry->m_kind) << name;
            EXPECT_EQ(kindOnly->m_hidden, entry->m_hidden) << name;
            EXPECT_EQ(kindOnly->m_size, 0u) << name;
            EXPECT_EQ(kindOnly->m_date.m_year, 0) << name;
            EXPECT_EQ(entry->m_hidden, name[0] == '.' ? 1 : 0) << name;
            EXPECT_TRUE(entry->m_label.IsEmpty());
            // Every listed name opens again, byte for byte the same.
            _guardchar<char16_t> path;
            ASSERT_TRUE(listing.GetEntryPath(index, path));
            int handle = ::open(NameBytes(path.Get()).c_str(), O_PATH | O_NOFOLLOW);
            EXPECT_GE(handle, 0) << name;
            ::close(handle);
            if (name == "loop") {
                // find reports the loop as an error and prints no line for it.
                EXPECT_EQ(entry->m_kind, kEntryOther);
                EXPECT_EQ(expected.count(name), 0u);
                continue;
            }
            ASSERT_EQ(expected.count(name), 1u) << name;
            const sFindLine& line = expected[name];
            int kind = line.m_type == 'f' ? 1 : line.m_type == 'd' ? 2 : 4;
            EXPECT_EQ(entry->m_kind, kind) << name;
            if (kind == 1) {
                EXPECT_EQ(entry->m_size, line.m_size) << name;
            } else {
                EXPECT_EQ(entry->m_size, 0u) << name;
            }
            EXPECT_EQ(DateText(entry->m_date), line.m_date) << name << " in " << zone;
        }
        std::string sorted = RunCommand("cd " + ShellQuote(tree.Path()) +
                                        " && find . -mindepth 1 -maxdepth 1 -printf '%P\\0' | LC_ALL=C sort -z");
        EXPECT_EQ(names, SplitOnNul(sorted));
    }
}

TEST(FolderListing, FailuresLeaveAnEmptyListingAndKeepTheFolder)
{
    cScratchFolder folder;
    ASSERT_EQ(RunCommand("touch " + ShellQuote(folder.PathOf("file")) + " && echo ok"), "ok\n");
    cFolderListing listing;
    EXPECT_EQ(listing.GetFolder(), nullptr);
    ASSERT_TRUE(listing.Enumerate(u"/"));
    ASSERT_GT(listing.GetCount(), 0);
    for (const std::string& bad : {folder.PathOf("missing"), folder.PathOf("file")}) {
        EXPECT_FALSE(listing.Enumerate(WideName(bad).c_str(), kListFullEntries)) << bad;
        EXPECT_EQ(listing.GetCount(), 0);
        EXPECT_EQ(listing.GetEntry(0), nullptr);
        EXPECT_EQ(NameBytes(listing.GetFolder()), bad);
    }
    std::u16string unencodable = WideName(folder.Path()) + u"/\xD800";
    EXPECT_FALSE(listing.Enumerate(unencodable.c_str()));
    EXPECT_EQ(std::u16string(listing.GetFolder()), unencodable);
    EXPECT_FALSE(listing.Enumerate(nullptr));
    EXPECT_EQ(listing.GetFolder(), nullptr);
}

// A folder given with or without its trailing separator, and the root, join their entry
// paths with one separator.
TEST(FolderListing, EntryPathsJoinWithOneSeparator)
{
    cScratchFolder folder;
    ASSERT_EQ(RunCommand("mkdir " + ShellQuote(folder.PathOf("b")) + " && echo ok"), "ok\n");
    cFolderListing listing;
    _guardchar<char16_t> path;
    for (const std::string& form : {folder.Path(), folder.Path() + "/"}) {
        ASSERT_TRUE(listing.Enumerate(WideName(form).c_str()));
        ASSERT_TRUE(listing.GetEntryPath(0, path));
        EXPECT_EQ(NameBytes(path.Get()), folder.PathOf("b"));
        EXPECT_FALSE(listing.GetEntryPath(1, path));
    }
    ASSERT_TRUE(listing.Enumerate(u"/"));
    ASSERT_TRUE(listing.GetEntryPath(0, path));
    EXPECT_EQ(NameBytes(path.Get()), "/" + NameBytes(listing.GetEntry(0)->m_name.Get()));
}

// A stop request ends the listing at once, with an empty listing.
TEST(FolderListing, StopEndsTheListing)
{
    std::atomic<bool> stop{true};
    cFolderListing listing;
    EXPECT_FALSE(listing.Enumerate(u"/", kListFullEntries, &stop));
    EXPECT_EQ(listing.GetCount(), 0);
}
