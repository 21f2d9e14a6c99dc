// Sort providers against independent oracles: the name provider's ascending walk
// against coreutils `LC_ALL=C sort -s` over random UTF-16 names, and the list sorted by
// a 64-bit provider (by header clicks) against Python's stable sort.
#include "payloadform.h"
#include "base/utf.h"
#include "gui/controls/listview.h"
#include "gui/controls/sortproviders.h"
#include "support/scratchfolder.h"
#include "support/shellcommand.h"

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

// A random name: ASCII of both cases, Latin-1, CJK and astral characters, often
// starting with an earlier name, sometimes empty or with an undecodable unit.
std::u16string RandomName(std::mt19937& random, const std::vector<std::u16string>& earlier)
{
    std::u16string name;
    if (!earlier.empty() && random() % 3 == 0) {
        name = earlier[random() % earlier.size()];
    }
    const i32 length = i32(random() % 6);
    for (i32 i = 0; i < length; ++i) {
        switch (random() % 6) {
        case 0:
            name += char16_t(u'A' + random() % 26);
            break;
        case 1:
            name += char16_t(u'a' + random() % 26);
            break;
        case 2:
            name += char16_t(0xC0 + random() % 0x40);
            break;
        case 3:
            name += char16_t(0x4E00 + random() % 0x100);
            break;
        case 4:
            name += u"\xD83D";
            name += char16_t(0xDE00 + random() % 0x40);
            break;
        default:
            name += random() % 40 == 0 ? char16_t(0xDC80 + random() % 0x80) : char16_t(u'0' + random() % 10);
            break;
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

    std::vector<i32> ascending;
    std::vector<i32> descending;
    const cListViewChild::sCell* cell = nullptr;
    for (auto position = provider.NextAscending(nullptr, cell); cell != nullptr;
         position = provider.NextAscending(position, cell)) {
        ascending.push_back(cell->itemId);
    }
    for (auto position = provider.NextDescending(nullptr, cell); cell != nullptr;
         position = provider.NextDescending(position, cell)) {
        descending.push_back(cell->itemId);
    }
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
class U64SortTest : public qeltest::cPayloadFormTest
{
protected:
    static u64 KeyOf(void* context, const cListViewChild::sCell* cell)
    {
        return (*static_cast<std::vector<u64>*>(context))[size_t(cell->itemId)];
    }
    std::vector<i32> ClickColumn()
    {
        (void)PostAction(list.GetHeader()->GetColumnButton(1), nullptr);
        host->Pump();
        return list.GetDisplayOrder();
    }

    cListViewChild list;
    std::vector<u64> keys;
};

u64 PackedDate(u64 year, u64 month, u64 day, u64 hour, u64 minute, u64 second)
{
    return year << 40 | month << 32 | day << 24 | hour << 16 | minute << 8 | second;
}

TEST_F(U64SortTest, OrderMatchesPythonStableSort)
{
    QEL_REQUIRE(qeltest::PathExists("/usr/bin/python3"), "python3");
    form.AttachChild(&list, 10, 10, 300, 200);
    ASSERT_TRUE(list.AddColumn(0, u"Name", 100, 0));
    ASSERT_TRUE(list.AddColumn(1, u"Size", 60, 2));
    auto* provider = new cListViewChild::cListViewU64PramSortProvider;
    provider->SetKeyFunction(&KeyOf, &keys);
    ASSERT_TRUE(list.SetSortProvider(1, provider));
    std::mt19937_64 random(1081);
    const u64 special[] = {5368709120ull, 3221225472ull, PackedDate(2024, 1, 1, 0, 0, 0),
                           PackedDate(2023, 12, 31, 23, 59, 59)};
    qeltest::cScratchFolder folder;
    std::ofstream rows(folder.PathOf("rows"));
    list.BeginUpdate();
    for (i32 id = 0; id < 300; ++id) {
        const u64 key = id < 4 ? special[id] : (random() % 3 == 0 ? random() : random() % 8);
        const bool aside = id >= 4 && random() % 7 == 0;
        keys.push_back(key);
        ASSERT_TRUE(list.SetCell(id, 0, u"x", -1, 0));
        if (!aside) {
            ASSERT_TRUE(list.SetCell(id, 1, u"", -1, u32(key)));
        }
        rows << id << ' ' << key << ' ' << aside << '\n';
    }
    list.EndUpdate(false);
    rows.close();
    const std::string script = "import sys\n"
                               "rows = [l.split() for l in open(sys.argv[1])]\n"
                               "keyed = sorted([(int(k), i) for i, k, a in rows if a == '0'], key=lambda r: r[0])\n"
                               "aside = [i for i, k, a in rows if a == '1']\n"
                               "print(' '.join(aside + [i for k, i in keyed]))\n"
                               "print(' '.join([i for k, i in keyed[::-1]] + aside))\n";
    int status = -1;
    std::istringstream oracle(qeltest::RunCommand(
        "/usr/bin/python3 -c " + qeltest::ShellQuote(script) + " " + folder.PathOf("rows"), &status));
    ASSERT_EQ(status, 0);
    for (i32 click = 0; click < 2; ++click) {
        SCOPED_TRACE(click);
        const std::vector<i32> order = ClickColumn();
        std::string line;
        ASSERT_TRUE(std::getline(oracle, line));
        std::istringstream expected(line);
        std::vector<i32> ids;
        for (i32 id; expected >> id;) {
            ids.push_back(id);
        }
        EXPECT_EQ(order, ids);
        EXPECT_EQ(list.GetSortDirection(1), click == 0 ? 1 : 0);
    }
    // The 5 GiB size after the 3 GiB one, 2024-01-01 after 2023-12-31 (descending now).
    const std::vector<i32> order = list.GetDisplayOrder();
    auto at = [&](i32 id) { return std::find(order.begin(), order.end(), id) - order.begin(); };
    EXPECT_LT(at(0), at(1));
    EXPECT_LT(at(2), at(3));
}

} // namespace
