#include "system/places.h"

#include "system/folders.h"

#include "support/filehelpers.h"
#include "support/testsupport.h"
#include "testhooks/systemhooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sched.h>
#include <sys/mount.h>

namespace {

using qeltest::cEnvironmentVariable;
using qeltest::cScratchFolder;
using qeltest::NameBytes;
using qeltest::ReadText;
using qeltest::RunCommand;
using qeltest::ShellQuote;

struct sPlace
{
    int m_kind;
    std::string m_name;
    std::string m_label; // "(none)" for a null label
    bool operator==(const sPlace&) const = default;
};

std::ostream& operator<<(std::ostream& out, const sPlace& place)
{
    return out << place.m_kind << " \"" << place.m_name << "\" \"" << place.m_label << "\"";
}

std::vector<sPlace> Report(const cFolderListing& listing)
{
    std::vector<sPlace> places;
    for (i32 index = 0; index < listing.GetCount(); ++index) {
        const sFolderEntry* entry = listing.GetEntry(index);
        _guardchar<char16_t> path;
        EXPECT_TRUE(listing.GetEntryPath(index, path));
        EXPECT_EQ(NameBytes(path.Get()), NameBytes(entry->m_name.Get())) << "a place's path is its name";
        EXPECT_EQ(entry->m_size, 0u);
        EXPECT_EQ(entry->m_hidden, 0);
        EXPECT_EQ(entry->m_date.m_year, 0);
        std::string label = entry->m_label.IsEmpty() ? "(none)" : NameBytes(entry->m_label.Get());
        places.push_back({entry->m_kind, NameBytes(entry->m_name.Get()), label});
    }
    return places;
}

// The fixture with its placeholder replaced by `folder`.
std::string Fixture(const std::string& folder)
{
    std::string text = ReadText(qeltest::LocalDataPath("mountinfo/desktop.txt"));
    for (size_t at; (at = text.find("@T@")) != std::string::npos;) {
        text.replace(at, 3, folder);
    }
    return text;
}

// Points the places at a mount table and a by-label folder for one test.
class cPlacesSources
{
public:
    cPlacesSources(const std::string& table, const std::string& byLabel)
    {
        SetPlacesSources(table.c_str(), byLabel.c_str());
    }
    ~cPlacesSources() { SetPlacesSources(nullptr, nullptr); }
};

// Lays out the scratch folder the fixture refers to and the fake by-label links.
void PrepareFixtureFolder(const cScratchFolder& folder)
{
    std::string commands = "cd " + ShellQuote(folder.Path()) +
                           " && mkdir -p home/u squash data weird over over2 twice1 twice2 by-label"
                           " \"$(printf 'with space\\ttab\\nnl\\\\bs')\" && touch hosts"
                           " && ln -s /dev/full by-label/ROOT && ln -s ../../../dev/null 'by-label/QEL\\x20Test'"
                           " && ln -s /dev/zero \"by-label/$(printf 'weird\\\\x2flbl\\\\x20\\303\\251')\""
                           " && ln -s /nowhere by-label/DANGLING && echo ok";
    ASSERT_EQ(RunCommand(commands), "ok\n");
}

std::vector<sPlace> ExpectedFixturePlaces(const std::string& t)
{
    std::vector<sPlace> disks = {
        {8, t + "/data", "QEL Test"},
        {8, t + "/home", "ROOT"},
        {8, t + "/over2", "over2"},
        {8, t + "/twice1", "twice1"},
        {8, t + "/twice2", "twice2"},
        {8, t + "/weird", "weird/lbl \xc3\xa9"},
        {8, t + "/with space\ttab\nnl\\bs", "with space\ttab\nnl\\bs"},
        // Below a network mount: taken as it stands, never examined.
        {8, "/net/share/usb", "usb"},
    };
    std::sort(disks.begin(), disks.end(), [](const sPlace& a, const sPlace& b) { return a.m_name < b.m_name; });
    std::vector<sPlace> places = {{9, t + "/home/u", "u"}, {8, "/", "ROOT"}};
    places.insert(places.end(), disks.begin(), disks.end());
    places.push_back({10, "/net/share", "share"});
    places.push_back({10, "/net/share ssh", "share ssh"});
    places.push_back({10, "/net/share-cifs", "share-cifs"});
    return places;
}

} // namespace

TEST(MountTable, FieldsEscapesAndMalformedLines)
{
    std::string text = Fixture("/T");
    std::vector<sMountEntry> mounts = ParseMountTable(text.data(), text.size());
    // 36 lines: 7 malformed.
    ASSERT_EQ(mounts.size(), 29u);
    EXPECT_EQ(mounts[0].m_mountPoint, "/");
    EXPECT_EQ(mounts[0].m_fsType, "btrfs");
    EXPECT_EQ(mounts[0].m_source, "/dev/full");
    // Optional fields ("shared:37 master:3") run until the lone "-".
    auto data = std::find_if(mounts.begin(), mounts.end(), [](const sMountEntry& m) { return m.m_mountPoint == "/T/data"; });
    ASSERT_NE(data, mounts.end());
    EXPECT_EQ(data->m_fsType, "ext4");
    EXPECT_EQ(data->m_source, "/dev/null");
    EXPECT_EQ(mounts[14].m_mountPoint, "/T/with space\ttab\nnl\\bs");
    EXPECT_EQ(mounts[25].m_mountPoint, "/net/share ssh");
    EXPECT_EQ(mounts[25].m_fsType, "fuse.sshfs");
    EXPECT_EQ(mounts[25].m_source, "u@host:/home/u");
    EXPECT_EQ(mounts.back().m_mountPoint, "/srv/fuse");

    // A table without a final newline, and an empty one.
    std::string line = "1 0 8:1 / /x rw - ext4 /dev/sda1 rw";
    EXPECT_EQ(ParseMountTable(line.data(), line.size()).size(), 1u);
    EXPECT_TRUE(ParseMountTable("", 0).empty());
    // The kernel never writes a raw NUL: such a line is damage.
    std::string withNul = "1 0 8:1 / /x\0y rw - ext4 /dev/sda1 rw";
    EXPECT_TRUE(ParseMountTable(withNul.data(), withNul.size()).empty());
}

TEST(Places, FixtureGivesHomeRootDisksAndNetworkPlacesInOrder)
{
    cScratchFolder folder;
    PrepareFixtureFolder(folder);
    std::string table = folder.PathOf("mountinfo");
    std::ofstream(table) << Fixture(folder.Path());
    cPlacesSources sources(table, folder.PathOf("by-label"));
    cEnvironmentVariable home("HOME", folder.PathOf("home/u/").c_str());
    cFolderListing listing;
    ASSERT_TRUE(listing.Enumerate(u"/"));
    ASSERT_TRUE(listing.ReadPlaces());
    EXPECT_EQ(listing.GetFolder(), nullptr);
    EXPECT_EQ(Report(listing), ExpectedFixturePlaces(folder.Path()));
}

TEST(Places, MissingTableStillGivesHomeAndRoot)
{
    cScratchFolder folder;
    cPlacesSources sources(folder.PathOf("absent"), folder.PathOf("absent-too"));
    cEnvironmentVariable home("HOME", "/");
    cFolderListing listing;
    ASSERT_TRUE(listing.ReadPlaces());
    // HOME=/ has an empty base name: no label.
    std::vector<sPlace> expected = {{9, "/", "(none)"}, {8, "/", "(none)"}};
    EXPECT_EQ(Report(listing), expected);
}

// Run under strace by the test below (disabled on its own, so it never runs without its
// fixture).
TEST(Places, DISABLED_TracedFixtureRun)
{
    const char* table = std::getenv("QEL_PLACES_TRACE_TABLE");
    ASSERT_NE(table, nullptr);
    cPlacesSources sources(table, std::getenv("QEL_PLACES_TRACE_BY_LABEL"));
    cFolderListing listing;
    ASSERT_TRUE(listing.ReadPlaces());
    EXPECT_EQ(listing.GetCount(), i32(ExpectedFixturePlaces(std::getenv("QEL_PLACES_TRACE_ROOT")).size()));
}

// A dead file server would block any system call that touches its mount point for
// minutes; reading the places must make none.
TEST(Places, NetworkMountPointsAreNeverTouched)
{
    QEL_REQUIRE(qeltest::HaveTool("strace"), "strace");
    cScratchFolder folder;
    PrepareFixtureFolder(folder);
    std::string table = folder.PathOf("mountinfo");
    std::ofstream(table) << Fixture(folder.Path());
    std::string trace = folder.PathOf("trace.txt");
    int status;
    // LeakSanitizer cannot run under ptrace; the traced run is about system calls only.
    std::string output = RunCommand(
        "ASAN_OPTIONS=detect_leaks=0 QEL_PLACES_TRACE_TABLE=" + ShellQuote(table) + " QEL_PLACES_TRACE_BY_LABEL=" +
            ShellQuote(folder.PathOf("by-label")) + " QEL_PLACES_TRACE_ROOT=" + ShellQuote(folder.Path()) + " HOME=" +
            ShellQuote(folder.PathOf("home/u")) + " strace -f -e trace=%file,%stat,statfs,fstatfs -o " +
            ShellQuote(trace) + " /proc/" + std::to_string(::getpid()) +
            "/exe --gtest_also_run_disabled_tests --gtest_filter=Places.DISABLED_TracedFixtureRun 2>&1",
        &status);
    QEL_REQUIRE(status == 0 || output.find("PTRACE_TRACEME") == std::string::npos, "ptrace allowed: " + output);
    ASSERT_EQ(status, 0) << output;
    std::string calls = ReadText(trace);
    // The run did examine the local disks, so the trace is real.
    EXPECT_NE(calls.find(folder.PathOf("data")), std::string::npos);
    EXPECT_EQ(calls.find("/net/share"), std::string::npos);
}

namespace {

// Runs `body` in a child process with a mount namespace of its own, after `setup` (shell
// commands) ran there; returns what the child wrote to its output, or nothing when the
// namespace could not be had.
template <typename Body>
std::string RunInPrivateMounts(const std::string& setup, Body body, bool& available)
{
    int pipeEnds[2];
    available = false;
    if (::pipe(pipeEnds) != 0) {
        return "";
    }
    pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            ::_exit(3);
        }
        if (std::system(setup.c_str()) != 0) {
            ::_exit(4);
        }
        std::string report = body();
        ssize_t written = ::write(pipeEnds[1], report.data(), report.size());
        ::_exit(written == ssize_t(report.size()) ? 0 : 5);
    }
    ::close(pipeEnds[1]);
    std::string report;
    char buffer[4096];
    ssize_t count;
    while ((count = ::read(pipeEnds[0], buffer, sizeof(buffer))) > 0) {
        report.append(buffer, size_t(count));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    available = WIFEXITED(status) && WEXITSTATUS(status) != 3;
    EXPECT_TRUE(WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 3)) << status;
    return report;
}

} // namespace

// Real mounts: two labelled ext4 images on loop devices, one at a folder with a space in
// its name and one as removable media under /run/media, in a private mount namespace;
// the mount points read from its table are the ones findmnt lists.
TEST(Places, LoopMountedLabelledDisksAppear)
{
    QEL_REQUIRE(::geteuid() == 0, "root, for loop mounts");
    for (const char* tool : {"mkfs.ext4", "blkid", "findmnt", "mount", "unshare"}) {
        QEL_REQUIRE(qeltest::HaveTool(tool), tool);
    }
    QEL_REQUIRE(RunCommand("unshare -m true && echo ok") == "ok\n", "unshare -m (private mount namespaces)");
    cScratchFolder folder;
    std::string t = folder.Path();
    ASSERT_EQ(RunCommand("cd " + ShellQuote(t) +
                         " && truncate -s 8M a.img b.img && mkfs.ext4 -q -L 'QEL Test' a.img"
                         " && mkfs.ext4 -q -L 'weird/lbl \xc3\xa9' b.img && mkdir -p 'mnt point' by-label"
                         " && echo ok"),
              "ok\n");
    // Each link is named by blkid's udev encoding of its label, as udev names them.
    std::string setup = "cd " + ShellQuote(t) +
                        " && mount -o loop a.img 'mnt point' && mount -t tmpfs none /run"
                        " && mkdir -p /run/media/u/USB && mount -o loop b.img /run/media/u/USB"
                        " && for point in 'mnt point' /run/media/u/USB; do"
                        "   device=$(findmnt -rn -o SOURCE --mountpoint \"$point\");"
                        "   name=$(blkid -o udev \"$device\" | sed -n 's/^ID_FS_LABEL_ENC=//p');"
                        "   ln -s \"$device\" \"by-label/$name\" || exit 1; done";
    bool available;
    // The child reports its places (one "kind|name|label" line each), then its sorted
    // mount points and findmnt's (which writes blanks as \x20), both sorted.
    std::string report = RunInPrivateMounts(
        setup,
        [&] {
            SetPlacesSources(nullptr, (t + "/by-label").c_str());
            cFolderListing listing;
            std::string text;
            for (const sPlace& place : listing.ReadPlaces() ? Report(listing) : std::vector<sPlace>()) {
                text += std::to_string(place.m_kind) + "|" + place.m_name + "|" + place.m_label + "\n";
            }
            std::string table = ReadText("/proc/self/mountinfo");
            std::string points;
            for (const sMountEntry& mount : ParseMountTable(table.data(), table.size())) {
                points += mount.m_mountPoint + '\n';
            }
            return text + "\1" + RunCommand("sort <<'EOF'\n" + points + "EOF") + "\1" +
                   RunCommand("findmnt -rn -o TARGET | sed 's/\\\\x20/ /g' | sort");
        },
        available);
    QEL_REQUIRE(available, "unshare(CLONE_NEWNS) in this process");
    EXPECT_NE(report.find("8|" + t + "/mnt point|QEL Test\n"), std::string::npos) << report;
    EXPECT_NE(report.find("8|/run/media/u/USB|weird/lbl \xc3\xa9\n"), std::string::npos) << report;
    const size_t first = report.find('\1');
    const size_t second = report.find('\1', first + 1);
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(report.substr(first + 1, second - first - 1), report.substr(second + 1));
    EXPECT_NE(report.find(t + "/mnt point\n", first), std::string::npos);
}
