#include "platform/places.h"

#include "platform/folders.h"

#include "support/filehelpers.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <tuple>

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

std::string Serialise(const std::vector<sPlace>& places)
{
    std::string text;
    for (const sPlace& place : places) {
        text += std::to_string(place.m_kind) + '\0' + place.m_name + '\0' + place.m_label + '\0';
    }
    return text;
}

std::vector<sPlace> Deserialise(const std::string& text)
{
    std::vector<std::string> fields;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\0', start);
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::vector<sPlace> places;
    for (size_t index = 0; index + 2 < fields.size(); index += 3) {
        places.push_back({std::stoi(fields[index]), fields[index + 1], fields[index + 2]});
    }
    return places;
}

} // namespace

// Real mounts: two labelled ext4 images on loop devices, one at a folder with a space in
// its name and one as removable media under /run/media, in a private mount namespace.
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
                         " && mkfs.ext4 -q -L 'weird/lbl \xc3\xa9' b.img && mkdir -p 'mnt point' by-label empty"
                         " && echo ok"),
              "ok\n");
    // Each link is named by blkid's udev encoding of its label, as udev names them.
    std::string setup = "cd " + ShellQuote(t) +
                        " && mount -o loop a.img 'mnt point' && mount -t tmpfs none /run"
                        " && mkdir -p /run/media/u/USB && mount -o loop b.img /run/media/u/USB"
                        " && for point in 'mnt point' /run/media/u/USB; do"
                        "   device=$(findmnt -rn -o SOURCE --mountpoint \"$point\");"
                        "   name=$(blkid -o udev \"$device\" | sed -n 's/^ID_FS_LABEL_ENC=//p');"
                        "   ln -s \"$device\" \"by-label/$name\" || exit 1; done"
                        " && ls by-label > by-label.txt";
    bool available;
    std::string report = RunInPrivateMounts(
        setup,
        [&] {
            std::string text;
            for (const std::string& byLabel : {t + "/by-label", t + "/empty"}) {
                SetPlacesSources(nullptr, byLabel.c_str());
                cFolderListing listing;
                if (!listing.ReadPlaces()) {
                    return std::string();
                }
                text += Serialise(Report(listing)) + '\1';
            }
            // What findmnt reads from the same table, for the cross-check below.
            std::string table = ReadText("/proc/self/mountinfo");
            for (const sMountEntry& mount : ParseMountTable(table.data(), table.size())) {
                text += mount.m_mountPoint + '\n';
            }
            text += '\1' + RunCommand("findmnt -rn -o TARGET");
            return text;
        },
        available);
    QEL_REQUIRE(available, "unshare(CLONE_NEWNS) in this process");
    EXPECT_EQ(ReadText(t + "/by-label.txt"), "QEL\\x20Test\nweird\\x2flbl\\x20\xc3\xa9\n");
    std::vector<std::string> parts;
    for (size_t start = 0; start <= report.size();) {
        size_t end = report.find('\1', start);
        end = end == std::string::npos ? report.size() : end;
        parts.push_back(report.substr(start, end - start));
        start = end + 1;
    }
    ASSERT_EQ(parts.size(), 4u);
    auto find = [](const std::vector<sPlace>& places, const std::string& name) {
        auto found = std::find_if(places.begin(), places.end(), [&](const sPlace& p) { return p.m_name == name; });
        return found != places.end() ? *found : sPlace{0, name, ""};
    };
    std::vector<sPlace> labelled = Deserialise(parts[0]);
    EXPECT_EQ(find(labelled, t + "/mnt point"), (sPlace{8, t + "/mnt point", "QEL Test"}));
    EXPECT_EQ(find(labelled, "/run/media/u/USB"), (sPlace{8, "/run/media/u/USB", "weird/lbl \xc3\xa9"}));
    std::vector<sPlace> plain = Deserialise(parts[1]);
    EXPECT_EQ(find(plain, t + "/mnt point"), (sPlace{8, t + "/mnt point", "mnt point"}));
    EXPECT_EQ(find(plain, "/run/media/u/USB"), (sPlace{8, "/run/media/u/USB", "USB"}));

    // findmnt -r writes blanks and other unsafe bytes as \xNN.
    std::string findmnt = parts[3];
    for (size_t at; (at = findmnt.find("\\x20")) != std::string::npos;) {
        findmnt.replace(at, 4, " ");
    }
    std::istringstream ours(parts[2]);
    std::istringstream theirs(findmnt);
    std::vector<std::string> ourPoints;
    std::vector<std::string> theirPoints;
    for (std::string line; std::getline(ours, line);) {
        ourPoints.push_back(line);
    }
    for (std::string line; std::getline(theirs, line);) {
        theirPoints.push_back(line);
    }
    std::sort(ourPoints.begin(), ourPoints.end());
    std::sort(theirPoints.begin(), theirPoints.end());
    EXPECT_EQ(ourPoints, theirPoints);
    EXPECT_NE(std::find(ourPoints.begin(), ourPoints.end(), t + "/mnt point"), ourPoints.end());
}
