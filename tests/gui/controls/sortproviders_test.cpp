// Sort providers against independent oracles: the name provider's ascending walk
// against coreutils `LC_ALL=C sort -s` over random UTF-16 names, and the list sorted by
// a 64-bit provider (by header clicks) against std::stable_sort.
#include "base/utf.h"
#include "gui/controls/listview.h"
#include "gui/controls/sortproviders.h"
#include "gui/controlstest.h"
#include "support/scratchfolder.h"
#include "support/shellcommand.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ToUtf8(const std::u16string& text)
{
    _guardchar<char> out;
    EXPECT_TRUE(WideToUtf8String(text.c_str(), i64(text.size()), out));
    return out.GetOrEmpty();
}

// A random name: ASCII of both cases, digits, Latin-1, CJK, astral characters and rare
// undecodable units, often starting with an earlier name; sometimes empty.
std::u16string RandomName(std::mt19937& random, const std::vector<std::u16string>& earlier)
{
    static constexpr char16_t kRanges[][2] = {{u'A', 26}, {u'a', 26}, {u'0', 10}, {0xC0, 0x40}, {0x4E00, 0x100}};
    std::u16string name = !earlier.empty() && random() % 3 == 0 ? earlier[random() % earlier.size()] : u"";
    for (u32 i = random() % 6; i > 0; --i) {
        const u32 pick = random() % 7;
        if (pick == 5) {
            name += u"\xD83D";
            name += char16_t(0xDE00 + random() % 0x40);
        } else if (pick == 6) {
            name += random() % 20 == 0 ? char16_t(0xDC80 + random() % 0x80) : u'z';
        } else {
            name += char16_t(kRanges[pick][0] + random() % kRanges[pick][1]);
        }
    }
    return name;
}

// Ascending: the provider's walk equals `sort -s` of the UTF-8 names (undecodable
// units already replaced, as the key does), and descending is its exact reverse.
TEST(SortProviders, NameWalkMatchesCoreutilsSort)
{
    QEL_REQUIRE(qeltest::PathExists("/usr/bin/sort"), "coreutils sort");
    std::mt19937 random(1080);
    std::vector<std::u16string> names = {u"b", u"B", u"a", u"ab", u""};
    while (names.size() < 400) {
        names.push_back(RandomName(random, names));
    }
    std::vector<cListViewChild::sCell> cells(names.size());
    cListViewChild::cListViewNameSortProvider provider;
    ASSERT_TRUE(provider.Reset());
    qeltest::cScratchFolder folder;
    std::ofstream file(folder.PathOf("names"), std::ios::binary);
    for (size_t i = 0; i < names.size(); ++i) {
        ASSERT_TRUE(cells[i].text.Assign(names[i].c_str()));
        cells[i].textSet = true;
        cells[i].itemId = i32(i);
        ASSERT_TRUE(provider.Add(&cells[i]));
        file << ToUtf8(names[i]) << '\n';
    }
    file.close();
    cListViewChild::sCell unset;
    EXPECT_FALSE(provider.Add(&unset));

    auto walk = [&](bool up) {
        std::vector<i32> ids;
        const cListViewChild::sCell* cell = nullptr;
        auto position = up ? provider.NextAscending(nullptr, cell) : provider.NextDescending(nullptr, cell);
        for (; cell != nullptr; position = up ? provider.NextAscending(position, cell) : provider.NextDescending(position, cell)) {
            ids.push_back(cell->itemId);
        }
        return ids;
    };
    const std::vector<i32> ascending = walk(true);
    const std::vector<i32> descending = walk(false);
    ASSERT_EQ(ascending.size(), names.size());
    EXPECT_EQ(std::vector<i32>(descending.rbegin(), descending.rend()), ascending);

    int status = -1;
    std::istringstream sorted(qeltest::RunCommand("LC_ALL=C sort -s " + folder.PathOf("names"), &status));
    ASSERT_EQ(status, 0);
    std::string line;
    for (i32 id : ascending) {
        ASSERT_TRUE(std::getline(sorted, line));
        ASSERT_EQ(line, ToUtf8(names[size_t(id)]));
    }
}

// 64-bit keys through the list: ties, items without a cell in the column (kept
// aside), keys a 32-bit value would get wrong, in both directions by header clicks.
using U64SortTest = qeltest::cFormTest;

u64 PackedDate(u64 year, u64 month, u64 day, u64 hour, u64 minute, u64 second)
{
    return year << 40 | month << 32 | day << 24 | hour << 16 | minute << 8 | second;
}

TEST_F(U64SortTest, OrderMatchesStdStableSort)
{
    cListViewChild list;
    std::vector<u64> keys;
    form.AttachChild(&list, 10, 10, 300, 200);
    ASSERT_TRUE(list.AddColumn(0, u"Name", 100, 0));
    ASSERT_TRUE(list.AddColumn(1, u"Size", 60, 2));
    auto* provider = new cListViewChild::cListViewU64PramSortProvider;
    provider->SetKeyFunction([](void* context, const cListViewChild::sCell* cell) {
        return (*static_cast<std::vector<u64>*>(context))[size_t(cell->itemId)];
    }, &keys);
    ASSERT_TRUE(list.SetSortProvider(1, provider));
    std::mt19937_64 random(1081);
    const u64 special[] = {5368709120ull, 3221225472ull, PackedDate(2024, 1, 1, 0, 0, 0),
                           PackedDate(2023, 12, 31, 23, 59, 59)};
    std::vector<i32> keyed, aside;
    list.BeginUpdate();
    for (i32 id = 0; id < 300; ++id) {
        // Many ties, some items without a cell in the sort column (kept aside).
        keys.push_back(id < 4 ? special[id] : (random() % 3 == 0 ? random() : random() % 8));
        const bool isAside = id >= 4 && random() % 7 == 0;
        (isAside ? aside : keyed).push_back(id);
        ASSERT_TRUE(list.SetCell(id, 0, u"x", -1, 0));
        ASSERT_TRUE(isAside || list.SetCell(id, 1, u"", -1, u32(keys.back())));
    }
    list.EndUpdate(false);
    // Ascending: the kept-aside items in their old order, then a stable sort; descending:
    // the exact reverse of that sort, then the kept-aside items.
    std::stable_sort(keyed.begin(), keyed.end(), [&](i32 a, i32 b) { return keys[size_t(a)] < keys[size_t(b)]; });
    std::vector<i32> ascending = aside, descending(keyed.rbegin(), keyed.rend());
    ascending.insert(ascending.end(), keyed.begin(), keyed.end());
    descending.insert(descending.end(), aside.begin(), aside.end());
    std::vector<i32> order;
    for (const std::vector<i32>* expected : {&ascending, &descending}) {
        (void)PostAction(list.GetHeader()->GetColumnButton(1), nullptr);
        host->Pump();
        order = list.GetDisplayOrder();
        EXPECT_EQ(order, *expected);
    }
    // Descending: the 5 GiB size before the 3 GiB one, 2024-01-01 before 2023-12-31.
    auto at = [&](i32 id) { return std::find(order.begin(), order.end(), id) - order.begin(); };
    EXPECT_LT(at(0), at(1));
    EXPECT_LT(at(2), at(3));
}

} // namespace
