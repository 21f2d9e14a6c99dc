#pragma once
// cComboBoxChild: an edit field with a drop-down list of numbered entries under it,
// editable (free text) or a pure choice (read-only field).
//
// The field holds the focus whenever the combo would (the combo passes it on), and it
// offers these keys to the combo first, which consumes them while it is enabled:
//   Up, Down (no modifier)  the previous / next entry in index order, posted; nothing
//                           at either end or without a selection; a selected index
//                           gone from the entries selects nothing (posted)
//   Alt+Down, F4            DropDown
// The field's Enter and Escape become the combo's own codes 7 and 8 and stop there:
// they mean "go" and "end editing" and must not also run the form's OnOK or OnCancel.
//
// Actions the combo posts to itself (plain, bubbling to the form): kComboChanged when
// the selection changed through the list or the keys, or Enter was pressed in the field;
// kComboEscape for Escape in the field without a selection. The field's focus-lost code
// reaches the form with the field as source.
//
// A read-only combo takes a left press anywhere as its own (the children see none),
// holding the mouse until the release, which opens the list when it is inside.
#include "base/keytree.h"
#include "base/types.h"
#include "gui/controls/edit.h"
#include "gui/controls/popupmenu.h"
#include "gui/controls/pushbutton.h"
#include "gui/core/element.h"

struct sImageList;

class cComboBoxChild : public cChildElement
{
public:
    enum : i32
    {
        kComboChanged = 7,
        kComboEscape = 8,
    };
    static constexpr i32 kDefaultDropDownHeight = 100;

    cComboBoxChild();
    ~cComboBoxChild() override;

    // Creates or updates an entry; the field shows the new text when it is the selected
    // one (nothing posted). False for a negative index or when memory runs out.
    [[nodiscard]] bool SetItem(i32 index, const char16_t* text, u32 value, i32 iconId);
    // 0 for a missing entry.
    u32 GetItemValue(i32 index) const;
    // A negative index empties the field and selects nothing; an unknown index gives
    // false and changes nothing; otherwise the field shows the entry's text. With `post`
    // kComboChanged is posted (the negative case included).
    bool Select(i32 index, bool post);
    i32 GetSelectedIndex() const { return m_selected; }
    // Empties the field, selects nothing, deletes the entries.
    void Clear();
    // Editable: I-beam cursor, writable field, select-all on focus; else the arrow
    // cursor, a read-only field and no select-all.
    void SetEditable(bool editable);
    [[nodiscard]] bool SetTextN(const char16_t* text, i32 length) { return m_field.SetTextN(text, length); }
    // The pictures of the entries' icon ids (borrowed). Attaching resets it, so set it
    // after attaching.
    void SetImageList(const sImageList* list) { m_imageList = list; }
    cEditChild* GetField() { return &m_field; }
    // Opens the list under the combo; true when an entry was chosen (and selected).
    bool DropDown();

    const char16_t* GetText() override { return m_field.GetText(); }
    bool CopyText(_guardchar<char16_t>& out) override { return m_field.CopyText(out); }
    void Activate() override { m_field.Activate(); }
    void MouseButton(i32 x, i32 y, i32 button, bool down, bool ctrl, bool shift) override;
    bool KeyDown(i32 vk, bool shift, bool ctrl, bool alt) override;
    // The button area continues the field's frame without a line between them.
    bool OnDrawBackground(cCanvas& canvas, const sRect& rect) override;
    bool OnAction(cChildElement* source, cChildAction* action) override;
    void OnFocusGained(i32 kind, bool ctrl, bool shift) override;
    bool DefaultFocusCapable() override { return true; }
    void ApplyStyle() override;

private:
    // The field, offering the list keys to its combo before editing with them.
    class cComboField final : public cEditChild
    {
    public:
        explicit cComboField(cComboBoxChild* owner) : m_owner(owner) {}
        bool KeyDown(i32 vk, bool shift, bool ctrl, bool alt) override;

    private:
        cComboBoxChild* m_owner;
    };

    static bool IsListKey(i32 vk, bool shift, bool ctrl, bool alt);
    // Up, Down, Alt+Down and F4 while enabled; consumed even when nothing happens.
    void OnListKey(i32 vk, bool alt);

    cComboField m_field{this};
    cButtonChild m_button;
    i32 m_selected = -1;
    const sImageList* m_imageList = nullptr;
    tPopupItems m_items;
    i32 m_dropDownHeight = kDefaultDropDownHeight;
    bool m_pressed = false;
};
