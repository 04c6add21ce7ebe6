// Controls that hold lines (Windows build only): list box, check list box, combo box and memo,
// on the system's "LISTBOX", "COMBOBOX" and "EDIT" windows.
//
// A list control keeps its lines with their selection and check marks itself and mirrors them
// into its window, so they can be set while a form loads, before the window exists; what the
// user changes in the window (selection, check marks, typed text) is read back at once.
// Replacing a line drops its selection and check mark, as the system's lists do; deleting the
// selected line leaves no line selected.
//
// Raises: rtl::EListError "List index out of bounds (%d)" for a bad line index (Items,
// Selected, Checked); what TControl raises. Ownership: each control owns its Items / Lines.
#pragma once

#include <vector>

#include "components/controls.h"

namespace kxc {

class TCustomListControl;

// The lines of a list box or combo box, kept by the control.
class TListControlItems : public TStrings {
    KXC_CLASS(TListControlItems, TStrings)
public:
    explicit TListControlItems(TCustomListControl* control) : control_(control) {}
    int Count() const override;
    std::string Get(int index) const override;
    void Put(int index, const std::string& s) override;
    void Insert(int index, const std::string& s) override;
    void Delete(int index) override;
    void Clear() override;

private:
    friend class TCustomListControl;
    using TStrings::Changed;
    TCustomListControl* control_;
};

// What list boxes and combo boxes share: lines, the selected line and the window messages
// that mirror them.
class TCustomListControl : public TWinControl {
    KXC_CLASS(TCustomListControl, TWinControl)
public:
    explicit TCustomListControl(TComponent* owner);
    ~TCustomListControl() override;

    TStrings* Items() const { return items_; }
    void SetItems(TStrings* s) { items_->Assign(s); }
    // The selected line (-1: none); of a multi-select list the line with the focus rectangle.
    virtual int ItemIndex() const;
    virtual void SetItemIndex(int index);
    bool HandleCommand(WORD code) override;
    void Loaded() override;

protected:
    struct TListMessages {
        UINT insert, remove, reset, getCurSel, setCurSel, selChange;
    };
    virtual const TListMessages& Messages() const = 0;
    void AfterCreateHandle() override;
    virtual void SyncSelection();
    // The user changed the selection in the window.
    virtual void SelectionChanged();
    void CheckIndex(int index) const;

    struct TLine {
        std::string text;
        bool selected = false;
        bool checked = false;
    };
    friend class TListControlItems;
    void InsertLine(int index, const std::string& s);
    void DeleteLine(int index);
    void ClearLines();
    std::vector<TLine> lines_;
    int itemIndex_ = -1;
    int loadedIndex_ = -1;  // read from a description before the lines
    TListControlItems* items_;
};

class TCustomListBox : public TCustomListControl {
    KXC_CLASS(TCustomListBox, TCustomListControl)
public:
    explicit TCustomListBox(TComponent* owner);
    bool MultiSelect() const { return multiSelect_; }
    void SetMultiSelect(bool v);
    // Selection of one line (multi-select lists; in a single-select list the selected line).
    bool Selected(int index) const;
    void SetSelected(int index, bool v);
    int SelCount() const;
    int ItemIndex() const override;
    void SetItemIndex(int index) override;
    // The line at a point of the client area, -1 when none.
    int ItemAtPos(POINT p) const;

protected:
    const TListMessages& Messages() const override;
    void CreateParams(TCreateParams& p) override;
    void AfterCreateHandle() override;
    void SyncSelection() override;
    void SelectionChanged() override;

private:
    bool multiSelect_ = false;
};

class TListBox : public TCustomListBox {
    KXC_CLASS(TListBox, TCustomListBox)
public:
    using TCustomListBox::TCustomListBox;
};

// A list box with a check box in front of every line; a click on the box or the space bar
// toggles it.
class TCheckListBox : public TCustomListBox {
    KXC_CLASS(TCheckListBox, TCustomListBox)
public:
    explicit TCheckListBox(TComponent* owner);
    bool Checked(int index) const;
    void SetChecked(int index, bool v);
    // After the user toggled a check mark.
    TNotifyEvent OnClickCheck;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

protected:
    void CreateParams(TCreateParams& p) override;
    void AfterCreateHandle() override;
    void FontChanged() override;

private:
    void Toggle(int index);
    void DrawLine(const DRAWITEMSTRUCT& d);
    int LineHeight() const;
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList };
extern const TEnumInfo ComboBoxStyleInfo;

class TCustomComboBox : public TCustomListControl {
    KXC_CLASS(TCustomComboBox, TCustomListControl)
public:
    explicit TCustomComboBox(TComponent* owner);
    TComboBoxStyle Style() const { return style_; }
    void SetStyle(TComboBoxStyle v);
    // The edit field's text; of a drop-down list the selected line.
    std::string Text() const;
    void SetText(const std::string& v);
    int32_t DropDownCount() const { return dropDownCount_; }
    void SetDropDownCount(int32_t v) { dropDownCount_ = v; }
    void SetItemIndex(int index) override;
    void CreateHandle() override;
    TNotifyEvent OnChange;
    bool HandleCommand(WORD code) override;

protected:
    const TListMessages& Messages() const override;
    void CreateParams(TCreateParams& p) override;
    void AfterCreateHandle() override;
    void SelectionChanged() override;

private:
    TComboBoxStyle style_ = csDropDown;
    int32_t dropDownCount_ = 8;
};

class TComboBox : public TCustomComboBox {
    KXC_CLASS(TComboBox, TCustomComboBox)
public:
    using TCustomComboBox::TCustomComboBox;
};

// A one-line or many-line edit field.
class TCustomEdit : public TWinControl {
    KXC_CLASS(TCustomEdit, TWinControl)
public:
    explicit TCustomEdit(TComponent* owner);
    // The text as the window holds it (what the user typed).
    std::string Text() const;
    void SetText(const std::string& v);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool v);

protected:
    void CreateParams(TCreateParams& p) override;

private:
    bool readOnly_ = false;
};

class TCustomMemo;

// The lines of a memo: its text cut at line breaks, each line followed by CR LF.
class TMemoStrings : public TStrings {
    KXC_CLASS(TMemoStrings, TStrings)
public:
    explicit TMemoStrings(TCustomMemo* memo) : memo_(memo) {}
    int Count() const override;
    std::string Get(int index) const override;
    void Put(int index, const std::string& s) override;
    void Insert(int index, const std::string& s) override;
    void Delete(int index) override;
    void Clear() override;

private:
    std::vector<std::string> Split() const;
    void Join(const std::vector<std::string>& lines);
    TCustomMemo* memo_;
};

class TCustomMemo : public TCustomEdit {
    KXC_CLASS(TCustomMemo, TCustomEdit)
public:
    explicit TCustomMemo(TComponent* owner);
    ~TCustomMemo() override;
    TStrings* Lines() const { return lines_; }
    void SetLines(TStrings* s) { lines_->Assign(s); }
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool v);

protected:
    void CreateParams(TCreateParams& p) override;

private:
    TMemoStrings* lines_;
    bool wordWrap_ = true;
};

class TMemo : public TCustomMemo {
    KXC_CLASS(TMemo, TCustomMemo)
public:
    using TCustomMemo::TCustomMemo;
};

}  // namespace kxc
