#pragma once
// cHeaderChild: the column header of the list view, a splitter in absolute mode whose
// panes are push buttons, one per column, the pane index being the column id (so
// columns show left to right in ascending id). A disabled filler button covers the room
// right of the last column up to the visible width the list gives (SetVisibleWidth).
//
// Actions it posts to itself, bubbling on to the list with source = the header:
//   code 7   cResizeRequestAction   the header resized itself to its columns' width
//   code 8   plain                  column widths changed (a divider drag)
//   code 9   cColumnClickAction     a column button was pressed
// Its height is fixed to the theme's list header height; the cursor over the dividers
// is the west-east arrow.
#include "base/keytree.h"
#include "base/types.h"
#include "gui/controls/pushbutton.h"
#include "gui/controls/splitter.h"

class cHeaderChild : public cSplitterChild
{
public:
    class cColumnClickAction : public cChildAction
    {
    public:
        enum : i32 { kCode = 9 };
        explicit cColumnClickAction(i32 column) : cChildAction(kCode), m_column(column) {}
        i32 GetColumn() const { return m_column; }

    private:
        i32 m_column;
    };

    cHeaderChild() = default;
    // The column buttons go first, then the filler, then the splitter part.
    ~cHeaderChild() override = default;

    // Adds the column's button (pane `id`, `width` pixels, framed face, not focusable)
    // or reuses it; a non-null title becomes its caption and `alignment` (0 left,
    // 1 centre, 2 right) its caption alignment. False when the splitter refuses the
    // pane (a negative id): the new button is removed again.
    bool AddColumn(i32 id, const char16_t* title, i32 width, u32 alignment);
    // The button's current width; 0 for an unknown id.
    i32 GetColumnWidth(i32 id);
    // Null for an unknown id.
    cButtonChild* GetColumnButton(i32 id);
    // The width of the list's view: the filler stretches from the last column to it.
    void SetVisibleWidth(i32 width);

    void ApplyStyle() override;
    // Plain code-0 presses of the column buttons become cColumnClickAction (a plain
    // code-0 action of the header when that cannot be allocated); the rest passes on.
    bool OnAction(cChildElement* source, cChildAction* action) override;

private:
    cButtonChild m_filler;
    _keytree<i32, cButtonChild*, eValueOwnership::Owned> m_columns;
};
