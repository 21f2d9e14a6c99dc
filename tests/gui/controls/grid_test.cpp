#include "gui/controls/grid.h"
#include "gui/core/keys.h"

#include "gui/controlstest.h"

#include <array>
#include <random>

using namespace qeltest;

namespace {

using tCellActions = std::vector<std::pair<i32, i32>>; // (code, cell)

// Sizes {w, h, row gap, maximum gap, count}; each cell is painted in its own colour
// (the selected one dark and outlined). Records painted cells and its own cell actions.
class cTestGrid : public cSimpleGridChild
{
public:
    explicit cTestGrid(std::array<i32, 5> sizes) : s(sizes) {}
    void PaintCell(cCanvas& canvas, i32 index, bool selected) override
    {
        painted.push_back(index);
        const u32 fill = selected ? 0x804020 : 0xF0E0D0 - u32(index % 8) * 0x100010;
        canvas.FillRect(0, 0, s[0], s[1], fill, selected ? 0 : fill);
    }
    i32 GetCellWidth() override { return s[0]; }
    i32 GetCellHeight() override { return s[1]; }
    i32 GetRowGap() override { return s[2]; }
    i32 GetMaxColumnGap() override { return s[3]; }
    i32 GetCellCount() override { return s[4]; }
    bool WrapsHorizontally() override { return wraps; }
    bool OnAction(cChildElement* source, cChildAction* action) override
    {
        if (auto* cell = dynamic_cast<cCellAction*>(action); cell != nullptr && source == this) {
            actions.push_back({cell->GetCode(), cell->GetCell()});
        }
        return cSimpleGridChild::OnAction(source, action);
    }

    std::array<i32, 5> s;
    bool wraps = false;
    std::vector<i32> painted;
    tCellActions actions;
};

class GridTest : public cFormTest
{
protected:
    cTestGrid& Add(std::array<i32, 5> sizes, i32 width, i32 height)
    {
        grids.push_back(std::make_unique<cTestGrid>(sizes));
        EXPECT_TRUE(form.AttachChild(grids.back().get(), 0, 0, width, height));
        return *grids.back();
    }
    std::vector<std::unique_ptr<cTestGrid>> grids;
};

} // namespace

// View 100, cell 20 x 30, row gaps 30, 7 cells: 3 columns whose gap (100 - 60) / 3 = 13
// keeps the third column inside the view (left edges 6, 39, 72; tops 15, 75, 135).
TEST_F(GridTest, ColumnGapKeepsCellsInsideTheView)
{
    cTestGrid& grid = Add({20, 30, 30, 100, 7}, 100, 200);
    EXPECT_EQ((std::array{grid.GetColumns(), grid.GetRows(), grid.GetColumnGap(), grid.GetContentHeight()}),
              (std::array{3, 3, 13, 180}));
    sRect rect;
    EXPECT_TRUE(grid.GetCellRect(6, rect) && rect == (sRect{6, 135, 20, 30}) && !grid.GetCellRect(7, rect));
    for (auto [x, y, cell] : {std::array{30, 20, -1}, {45, 140, -1}, {45, 80, 4}, {91, 44, 2}, {92, 44, -1}}) {
        EXPECT_EQ(grid.CellAt(x, y), cell) << x << "," << y;
    }
}

TEST_F(GridTest, RandomLayoutsTileTheViewWithoutOverlap)
{
    std::mt19937 random(26);
    auto draw = [&](i32 low, i32 high) { return std::uniform_int_distribution<i32>(low, high)(random); };
    for (int round = 0; round < 60; ++round) {
        const std::array s{draw(1, 60), draw(1, 40), draw(0, 30), draw(-5, 40), draw(1, 90)};
        cTestGrid& grid = Add(s, draw(s[0] + 16, 300), 290);
        const i32 columns = grid.GetColumns(), rows = grid.GetRows();
        ASSERT_TRUE(columns >= 1 && rows * columns >= s[4] && s[4] > (rows - 1) * columns) << round;
        EXPECT_EQ(grid.GetContentHeight(), rows * (s[1] + s[2]));
        sRect rect, next;
        for (i32 i = 0; i < s[4]; ++i) {
            ASSERT_TRUE(grid.GetCellRect(i, rect));
            EXPECT_TRUE(rect.x >= 0 && rect.x + rect.width <= grid.GetViewRect().width) << round << " cell " << i;
            EXPECT_EQ(grid.CellAt(rect.x + rect.width / 2, rect.y + rect.height / 2), i);
            if (grid.GetCellRect(i + 1, next)) { // starts past this one; a point between is in no cell
                EXPECT_TRUE(next.x >= rect.x + rect.width || next.y >= rect.y + rect.height) << round;
                EXPECT_EQ(grid.CellAt(rect.x + rect.width, rect.y), next.x == rect.x + rect.width ? i + 1 : -1);
            }
        }
    }
}

// Every key over 3 columns of 7 cells (rows 0-2, 3-5, 6) and over one column of 3:
// {columns, wraps, from, key, to}.
TEST_F(GridTest, KeysMoveTheSelection)
{
    const std::array<i32, 5> table[] = {
        {3, 0, -1, kVkReturn, -1}, {3, 0, 4, kVkSpace, 4},  {3, 0, -1, kVkHome, -1}, {3, 0, 0, kVkPageUp, 0},
        {3, 0, 4, kVkHome, 0},     {3, 0, -1, kVkEnd, 6},   {3, 0, 6, kVkPageDown, 6}, {3, 0, -1, kVkLeft, -1},
        {3, 0, 3, kVkLeft, 3},     {3, 0, 4, kVkLeft, 3},   {3, 1, 3, kVkLeft, 2},   {3, 1, 0, kVkLeft, 0},
        {3, 0, -1, kVkRight, 0},   {3, 0, 2, kVkRight, 2},  {3, 1, 2, kVkRight, 3},  {3, 1, 6, kVkRight, 6},
        {3, 0, -1, kVkUp, -1},     {3, 0, 2, kVkUp, 2},     {3, 0, 4, kVkUp, 1},     {3, 0, -1, kVkDown, 0},
        {3, 0, 4, kVkDown, 4},     {3, 0, 1, kVkDown, 4},   {1, 0, 1, kVkUp, 0},     {1, 0, 1, kVkDown, 2},
        {1, 0, 1, kVkLeft, 1},     {1, 0, 1, kVkRight, 1},  {1, 1, 1, kVkLeft, 0},   {1, 1, 1, kVkRight, 1},
    };
    for (auto [columns, wraps, from, vk, to] : table) {
        cTestGrid& grid = columns == 3 ? Add({20, 30, 30, 100, 7}, 100, 200) : Add({20, 30, 0, 0, 3}, 30, 200);
        grid.wraps = wraps != 0;
        grid.SetSelection(from, false);
        EXPECT_TRUE(grid.KeyDown(vk, false, false, false)); // Enter alone goes on to the form
        host->Pump();
        const tCellActions moved{{7, to}}, activated{{8, from}};
        EXPECT_EQ(grid.actions, to != from ? moved : vk == kVkSpace ? activated : tCellActions{})
            << "key " << vk << " from " << from << " wraps " << wraps;
    }
    EXPECT_EQ(form.okCount, 1);
}

// Scrolled by 40 in a 100-high view, rows 0-2 show: the gaps take theme colour 14 and
// the cells keep their own pixels. Presses select (a gap clears), double clicks
// activate, and the grid scrolls its own code-7 cell into view.
TEST_F(GridTest, PaintsVisibleCellsAndFollowsTheMouse)
{
    cTestGrid& grid = Add({20, 30, 30, 100, 40}, 120, 100); // 3 columns at 7, 41, 75
    grid.SetSelection(4, false);
    ASSERT_TRUE(grid.ScrollTo(0, 40));
    grid.painted.clear();
    cTestGrid& language = Add({80, 30, 0, 0, 4}, 80, 120); // one column, cells 30 high
    language.SetBounds(130, 0, 80, 120);
    language.SetSelection(1, false);
    host->Pump();
    EXPECT_EQ(grid.painted, (std::vector<i32>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(ElementPixel(*host, &grid, 6, 35), ThemePixel(14));
    EXPECT_EQ(ElementPixel(*host, &grid, 7, 35), PixelFromColour(0xF0E0D0 - 3 * 0x100010u));
    std::unique_ptr<cCanvas> shot(CreateMemoryCanvas(210, 120));
    shot->CopyFrom(0, 0, host->GetCanvas(window), 0, 0, 210, 120);
    ExpectMatchesGolden(*shot, "grid.png");

    ASSERT_TRUE(grid.ScrollTo(0, 0));
    for (auto [x, twice] : {std::pair{10, false}, {30, false}, {45, true}, {30, true}}) {
        twice ? grid.OnDoubleClick(x, 20) : grid.OnMouseButton(x, 20, kMouseLeft, true);
    }
    ASSERT_TRUE(grid.KeyDown(kVkEnd, false, false, false));
    host->Pump();
    EXPECT_EQ(grid.actions, (tCellActions{{7, 0}, {7, -1}, {8, 1}, {7, 39}}));
    EXPECT_EQ(grid.GetScrollY(), 13 * 60 + 15 + 30 - 100);
}

TEST_F(GridTest, SizesThatWouldDivideByZeroGiveNoColumns)
{
    for (std::array<i32, 5> s : {std::array{0, 30, 0, 10, 5}, {20, 0, 0, 10, 5}, {20, 30, -20, 10, 5}, {20, 30, -25, 10, 5}}) {
        EXPECT_EQ(Add(s, 100, 100).GetColumns(), 0);
    }
    host->Pump(); // and paint
}

TEST_F(GridTest, TooNarrowGridDropsItsContentHeight)
{
    cTestGrid& grid = Add({20, 30, 30, 100, 40}, 100, 100);
    grid.SetSelection(3, false);
    grid.SetBounds(0, 0, 19, 100);
    EXPECT_EQ((std::array{grid.GetSelection(), grid.GetContentHeight(), grid.GetVScrollWidth()}), (std::array{-1, 0, 0}));
}

TEST_F(GridTest, HugeCountClampsTheContentHeight)
{
    cTestGrid& grid = Add({20, 1 << 20, 0, 0, INT32_MAX}, 100, 100);
    EXPECT_EQ((std::array{grid.GetRows(), grid.GetContentHeight()}), (std::array{(INT32_MAX - 1) / 4 + 1, INT32_MAX}));
}
