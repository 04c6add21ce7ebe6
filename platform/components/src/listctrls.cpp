#include "components/listctrls.h"

#include <algorithm>

#include "components/forms.h"
#include "rtl/resstrings.h"
#include "rtl/strutil.h"

namespace kxc {

const TEnumInfo ComboBoxStyleInfo{"TComboBoxStyle", {"csDropDown", "csSimple", "csDropDownList"}};

namespace {
[[noreturn]] void BadIndex(int index) {
    throw rtl::EListError(rtl::FormatResString(&rtl::SListIndexError, index));
}

// The text the window holds now.
std::string WindowText(HWND h) {
    int n = GetWindowTextLengthA(h);
    std::string s(size_t(n) + 1, '\0');
    s.resize(size_t(GetWindowTextA(h, &s[0], n + 1)));
    return s;
}

// For styles that the system fixes when it makes the window.
void RecreateWindow(TWinControl* c) {
    c->DestroyHandle();
    if (c->Parent() && c->Parent()->HandleAllocated()) c->CreateHandle();
}
}  // namespace

// ---- TListControlItems ----

KXC_IMPLEMENT_CLASS(TListControlItems)
void TListControlItems::DescribeClass(TClassBuilder<TListControlItems>&) {}

int TListControlItems::Count() const { return int(control_->lines_.size()); }

std::string TListControlItems::Get(int index) const {
    control_->CheckIndex(index);
    return control_->lines_[size_t(index)].text;
}

// As the system list does: the line is taken out and a new one put in its place, so its
// selection and check mark are gone.
void TListControlItems::Put(int index, const std::string& s) {
    control_->CheckIndex(index);
    control_->DeleteLine(index);
    control_->InsertLine(index, s);
    Changed();
}

void TListControlItems::Insert(int index, const std::string& s) {
    if (index < 0 || index > Count()) BadIndex(index);
    control_->InsertLine(index, s);
    Changed();
}

void TListControlItems::Delete(int index) {
    control_->CheckIndex(index);
    control_->DeleteLine(index);
    Changed();
}

void TListControlItems::Clear() {
    control_->ClearLines();
    Changed();
}

// ---- TCustomListControl ----

KXC_IMPLEMENT_CLASS(TCustomListControl)
void TCustomListControl::DescribeClass(TClassBuilder<TCustomListControl>& c) {
    c.Hide("Caption");
    c.Object<TStrings>("Items", &TCustomListControl::Items, &TCustomListControl::SetItems);
    c.Int("ItemIndex", &TCustomListControl::ItemIndex, &TCustomListControl::SetItemIndex).DefaultValue(-1);
}

TCustomListControl::TCustomListControl(TComponent* owner)
    : TWinControl(owner), items_(new TListControlItems(this)) {
    tabStop_ = true;
    color_ = clWindow;
}

TCustomListControl::~TCustomListControl() {
    DestroyHandle();
    delete items_;
}

void TCustomListControl::CheckIndex(int index) const {
    if (index < 0 || index >= int(lines_.size())) BadIndex(index);
}

void TCustomListControl::InsertLine(int index, const std::string& s) {
    lines_.insert(lines_.begin() + index, TLine{s});
    if (itemIndex_ >= index) ++itemIndex_;
    if (!handle_) return;
    SendMessageA(handle_, Messages().insert, WPARAM(index), reinterpret_cast<LPARAM>(s.c_str()));
    SyncSelection();
}

void TCustomListControl::DeleteLine(int index) {
    lines_.erase(lines_.begin() + index);
    if (itemIndex_ == index)
        itemIndex_ = -1;
    else if (itemIndex_ > index)
        --itemIndex_;
    if (!handle_) return;
    SendMessageA(handle_, Messages().remove, WPARAM(index), 0);
    SyncSelection();
}

// The window moves its selection with the lines as the list does; this makes sure of it.
void TCustomListControl::SyncSelection() {
    if (SendMessageA(handle_, Messages().getCurSel, 0, 0) != itemIndex_)
        SendMessageA(handle_, Messages().setCurSel, WPARAM(itemIndex_), 0);
}

void TCustomListControl::ClearLines() {
    lines_.clear();
    itemIndex_ = -1;
    if (handle_) SendMessageA(handle_, Messages().reset, 0, 0);
}

int TCustomListControl::ItemIndex() const { return itemIndex_; }

void TCustomListControl::SetItemIndex(int index) {
    if (Loading()) {
        // The lines may come later in the description; Loaded selects it.
        loadedIndex_ = index;
        return;
    }
    if (index < -1 || index >= int(lines_.size())) index = -1;
    itemIndex_ = index;
    if (handle_) SendMessageA(handle_, Messages().setCurSel, WPARAM(index), 0);
}

// The window gets the lines and the selection kept while it did not exist.
void TCustomListControl::AfterCreateHandle() {
    TWinControl::AfterCreateHandle();
    const TListMessages& m = Messages();
    for (size_t i = 0; i < lines_.size(); ++i)
        SendMessageA(handle_, m.insert, WPARAM(i), reinterpret_cast<LPARAM>(lines_[i].text.c_str()));
    if (itemIndex_ >= 0) SendMessageA(handle_, m.setCurSel, WPARAM(itemIndex_), 0);
}

void TCustomListControl::Loaded() {
    TWinControl::Loaded();
    if (loadedIndex_ < 0) return;
    int index = loadedIndex_;
    loadedIndex_ = -1;
    SetItemIndex(index);
}

bool TCustomListControl::HandleCommand(WORD code) {
    if (code != Messages().selChange) return false;
    SelectionChanged();
    Click();
    return true;
}

void TCustomListControl::SelectionChanged() {
    if (handle_) itemIndex_ = int(SendMessageA(handle_, Messages().getCurSel, 0, 0));
}

// ---- TCustomListBox ----

KXC_IMPLEMENT_CLASS(TCustomListBox)
void TCustomListBox::DescribeClass(TClassBuilder<TCustomListBox>& c) {
    c.Int("Color", &TControl::Color, &TControl::SetColor, &ColorIdents).DefaultValue(clWindow);
    c.Bool("MultiSelect", &TCustomListBox::MultiSelect, &TCustomListBox::SetMultiSelect).DefaultValue(0);
}

TCustomListBox::TCustomListBox(TComponent* owner) : TCustomListControl(owner) {
    width_ = 121;
    height_ = 97;
}

const TCustomListControl::TListMessages& TCustomListBox::Messages() const {
    static const TListMessages m{LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT,
                                 LB_GETCURSEL,    LB_SETCURSEL,    LBN_SELCHANGE};
    return m;
}

void TCustomListBox::CreateParams(TCreateParams& p) {
    TCustomListControl::CreateParams(p);
    p.BaseClass = "LISTBOX";
    p.Style = (p.Style & ~WS_CLIPCHILDREN) | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER;
    if (multiSelect_) p.Style |= LBS_EXTENDEDSEL;
    p.ExStyle = (p.ExStyle & ~WS_EX_CONTROLPARENT) | WS_EX_CLIENTEDGE;
}

void TCustomListBox::AfterCreateHandle() {
    // The base class puts the lines in; a multi-select list then gets its marks and caret.
    TCustomListControl::AfterCreateHandle();
    if (!multiSelect_) return;
    for (size_t i = 0; i < lines_.size(); ++i) SendMessageA(handle_, LB_SETSEL, lines_[i].selected, LPARAM(i));
    if (itemIndex_ >= 0) SendMessageA(handle_, LB_SETCARETINDEX, WPARAM(itemIndex_), FALSE);
}

void TCustomListBox::SyncSelection() {
    if (!multiSelect_) TCustomListControl::SyncSelection();
}

void TCustomListBox::SetMultiSelect(bool v) {
    if (v == multiSelect_) return;
    multiSelect_ = v;
    for (TLine& l : lines_) l.selected = false;
    if (handle_) RecreateWindow(this);
}

int TCustomListBox::ItemIndex() const {
    if (!multiSelect_) return TCustomListControl::ItemIndex();
    return lines_.empty() ? -1 : itemIndex_;
}

void TCustomListBox::SetItemIndex(int index) {
    if (!multiSelect_) {
        TCustomListControl::SetItemIndex(index);
        return;
    }
    // Of a multi-select list only the focused line moves; the marks stay.
    if (Loading()) {
        TCustomListControl::SetItemIndex(index);
        return;
    }
    if (index < -1 || index >= int(lines_.size())) index = -1;
    itemIndex_ = index;
    if (handle_ && index >= 0) SendMessageA(handle_, LB_SETCARETINDEX, WPARAM(index), FALSE);
}

bool TCustomListBox::Selected(int index) const {
    CheckIndex(index);
    return multiSelect_ ? lines_[size_t(index)].selected : itemIndex_ == index;
}

void TCustomListBox::SetSelected(int index, bool v) {
    CheckIndex(index);
    if (!multiSelect_) {
        if (v)
            SetItemIndex(index);
        else if (itemIndex_ == index)
            SetItemIndex(-1);
        return;
    }
    lines_[size_t(index)].selected = v;
    if (handle_) SendMessageA(handle_, LB_SETSEL, v, LPARAM(index));
}

int TCustomListBox::SelCount() const {
    if (!multiSelect_) return itemIndex_ >= 0 ? 1 : 0;
    return int(std::count_if(lines_.begin(), lines_.end(), [](const TLine& l) { return l.selected; }));
}

int TCustomListBox::ItemAtPos(POINT p) const {
    if (!handle_) return -1;
    LRESULT r = SendMessageA(handle_, LB_ITEMFROMPOINT, 0, MAKELPARAM(p.x, p.y));
    if (HIWORD(r)) return -1;  // outside every line
    int index = LOWORD(r);
    return index < int(lines_.size()) ? index : -1;
}

void TCustomListBox::SelectionChanged() {
    if (!handle_) return;
    if (!multiSelect_) {
        TCustomListControl::SelectionChanged();
        return;
    }
    for (size_t i = 0; i < lines_.size(); ++i)
        lines_[i].selected = SendMessageA(handle_, LB_GETSEL, WPARAM(i), 0) > 0;
    itemIndex_ = int(SendMessageA(handle_, LB_GETCARETINDEX, 0, 0));
}

// ---- TListBox ----

KXC_IMPLEMENT_CLASS(TListBox)
void TListBox::DescribeClass(TClassBuilder<TListBox>&) {}

// ---- TCheckListBox ----

KXC_IMPLEMENT_CLASS(TCheckListBox)
void TCheckListBox::DescribeClass(TClassBuilder<TCheckListBox>& c) {
    c.Event("OnClickCheck", &TCheckListBox::OnClickCheck);
}

TCheckListBox::TCheckListBox(TComponent* owner) : TCustomListBox(owner) {}

namespace {
const int kCheckSize = 13;  // the check box, as the system draws it for buttons
const int kCheckMargin = 2;
}  // namespace

void TCheckListBox::CreateParams(TCreateParams& p) {
    TCustomListBox::CreateParams(p);
    p.Style |= LBS_OWNERDRAWFIXED | LBS_HASSTRINGS;
}

int TCheckListBox::LineHeight() const {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, static_cast<HFONT>(font_->Handle()));
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return std::max<int>(tm.tmHeight, kCheckSize) + 2;
}

void TCheckListBox::AfterCreateHandle() {
    TCustomListBox::AfterCreateHandle();
    SendMessageA(handle_, LB_SETITEMHEIGHT, 0, LineHeight());
}

void TCheckListBox::FontChanged() {
    TCustomListBox::FontChanged();
    if (handle_) SendMessageA(handle_, LB_SETITEMHEIGHT, 0, LineHeight());
}

bool TCheckListBox::Checked(int index) const {
    CheckIndex(index);
    return lines_[size_t(index)].checked;
}

void TCheckListBox::SetChecked(int index, bool v) {
    CheckIndex(index);
    lines_[size_t(index)].checked = v;
    if (handle_) {
        RECT r;
        if (SendMessageA(handle_, LB_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&r)) != LB_ERR)
            InvalidateRect(handle_, &r, TRUE);
    }
}

void TCheckListBox::Toggle(int index) {
    if (index < 0 || index >= int(lines_.size()) || !enabled_) return;
    SetChecked(index, !lines_[size_t(index)].checked);
    OnClickCheck(this);
}

void TCheckListBox::DrawLine(const DRAWITEMSTRUCT& d) {
    if (d.itemID == UINT(-1)) return;
    HDC dc = d.hDC;
    RECT r = d.rcItem;
    bool selected = (d.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &r, selected ? GetSysColorBrush(COLOR_HIGHLIGHT) : BackgroundBrush());
    bool rtl = bidiMode_ == bdRightToLeft;
    int top = r.top + (r.bottom - r.top - kCheckSize) / 2;
    int left = rtl ? r.right - kCheckMargin - kCheckSize : r.left + kCheckMargin;
    RECT box{left, top, left + kCheckSize, top + kCheckSize};
    bool checked = d.itemID < lines_.size() && lines_[d.itemID].checked;
    DrawFrameControl(dc, &box, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_FLAT | (checked ? DFCS_CHECKED : 0));
    RECT text = r;
    if (rtl)
        text.right = box.left - kCheckMargin * 2;
    else
        text.left = box.right + kCheckMargin * 2;
    if (d.itemID < lines_.size()) {
        const std::string& s = lines_[d.itemID].text;
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : enabled_ ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
        UINT flags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | (rtl ? DT_RIGHT | DT_RTLREADING : DT_LEFT);
        DrawTextA(dc, s.c_str(), int(s.size()), &text, flags);
    }
    if (d.itemState & ODS_FOCUS) DrawFocusRect(dc, &text);
}

LRESULT TCheckListBox::WndProc(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_DRAWITEM + 0x2000:  // reflected by the parent
        DrawLine(*reinterpret_cast<const DRAWITEMSTRUCT*>(l));
        return TRUE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        POINT p{short(LOWORD(l)), short(HIWORD(l))};
        int index = ItemAtPos(p);
        LRESULT r = TCustomListBox::WndProc(msg, w, l);
        if (index >= 0) {
            RECT item;
            SendMessageA(handle_, LB_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&item));
            bool rtl = bidiMode_ == bdRightToLeft;
            int boxLeft = rtl ? item.right - kCheckMargin - kCheckSize : item.left + kCheckMargin;
            if (p.x >= boxLeft - kCheckMargin && p.x < boxLeft + kCheckSize + kCheckMargin) Toggle(index);
        }
        return r;
    }
    case WM_KEYDOWN:
        if (w == VK_SPACE) {
            Toggle(int(SendMessageA(handle_, LB_GETCARETINDEX, 0, 0)));
            return 0;
        }
        break;
    case WM_CHAR:
        if (w == ' ') return 0;
        break;
    default:
        break;
    }
    return TCustomListBox::WndProc(msg, w, l);
}

// ---- TCustomComboBox ----

KXC_IMPLEMENT_CLASS(TCustomComboBox)
void TCustomComboBox::DescribeClass(TClassBuilder<TCustomComboBox>& c) {
    c.Int("Color", &TControl::Color, &TControl::SetColor, &ColorIdents).DefaultValue(clWindow);
    c.Int("DropDownCount", &TCustomComboBox::DropDownCount, &TCustomComboBox::SetDropDownCount).DefaultValue(8);
    c.Enum<TComboBoxStyle>("Style", &TCustomComboBox::Style, &TCustomComboBox::SetStyle, ComboBoxStyleInfo)
        .DefaultValue(csDropDown);
    c.Str("Text", &TCustomComboBox::Text, &TCustomComboBox::SetText);
    c.Event("OnChange", &TCustomComboBox::OnChange);
}

TCustomComboBox::TCustomComboBox(TComponent* owner) : TCustomListControl(owner) {
    width_ = 145;
    height_ = 21;
}

const TCustomListControl::TListMessages& TCustomComboBox::Messages() const {
    static const TListMessages m{CB_INSERTSTRING, CB_DELETESTRING, CB_RESETCONTENT,
                                 CB_GETCURSEL,    CB_SETCURSEL,    CBN_SELCHANGE};
    return m;
}

void TCustomComboBox::CreateParams(TCreateParams& p) {
    TCustomListControl::CreateParams(p);
    p.BaseClass = "COMBOBOX";
    p.Style = (p.Style & ~WS_CLIPCHILDREN) | WS_VSCROLL | CBS_AUTOHSCROLL;
    p.Style |= style_ == csSimple ? CBS_SIMPLE : style_ == csDropDownList ? CBS_DROPDOWNLIST : CBS_DROPDOWN;
    p.ExStyle &= ~WS_EX_CONTROLPARENT;
}

// The height a drop-down combo box is made with is that of its open list; the window then
// takes the height of its edit field, which WM_WINDOWPOSCHANGED brings back.
void TCustomComboBox::CreateHandle() {
    if (handle_ || style_ == csSimple) {
        TCustomListControl::CreateHandle();
        return;
    }
    int closed = height_;
    height_ = closed + std::max<int32_t>(dropDownCount_, 1) * 16 + 2;
    try {
        TCustomListControl::CreateHandle();
    } catch (...) {
        height_ = closed;
        throw;
    }
    if (handle_) {
        RECT r;
        GetWindowRect(handle_, &r);
        height_ = r.bottom - r.top;
    } else {
        height_ = closed;
    }
}

void TCustomComboBox::SetStyle(TComboBoxStyle v) {
    if (v == style_) return;
    std::string text = Text();
    style_ = v;
    if (handle_) RecreateWindow(this);
    if (v != csDropDownList) SetText(text);
}

// The edit field shows the selected line, and nothing when none is selected, as the window
// does.
void TCustomComboBox::SetItemIndex(int index) {
    TCustomListControl::SetItemIndex(index);
    if (!Loading() && style_ != csDropDownList) caption_ = itemIndex_ >= 0 ? lines_[size_t(itemIndex_)].text : std::string();
}

void TCustomComboBox::AfterCreateHandle() {
    TCustomListControl::AfterCreateHandle();
    if (style_ != csDropDownList) SetWindowTextA(handle_, caption_.c_str());
}

std::string TCustomComboBox::Text() const {
    if (style_ == csDropDownList) return itemIndex_ >= 0 ? lines_[size_t(itemIndex_)].text : std::string();
    return handle_ ? WindowText(handle_) : caption_;
}

// A drop-down list shows only its lines: the text selects the line that has it.
void TCustomComboBox::SetText(const std::string& v) {
    if (style_ == csDropDownList) {
        int i = items_->IndexOf(v);
        if (i >= 0 || v.empty()) SetItemIndex(i);
        return;
    }
    caption_ = v;
    if (handle_) SetWindowTextA(handle_, v.c_str());
    TextChanged();
}

bool TCustomComboBox::HandleCommand(WORD code) {
    if (code == CBN_EDITCHANGE) {
        caption_ = Text();
        OnChange(this);
        return true;
    }
    if (code != CBN_SELCHANGE) return false;
    SelectionChanged();
    OnChange(this);
    return true;
}

void TCustomComboBox::SelectionChanged() {
    TCustomListControl::SelectionChanged();
    if (style_ != csDropDownList && itemIndex_ >= 0) caption_ = lines_[size_t(itemIndex_)].text;
}

// ---- TComboBox ----

KXC_IMPLEMENT_CLASS(TComboBox)
void TComboBox::DescribeClass(TClassBuilder<TComboBox>&) {}

// ---- TCustomEdit ----

KXC_IMPLEMENT_CLASS(TCustomEdit)
void TCustomEdit::DescribeClass(TClassBuilder<TCustomEdit>& c) {
    c.Hide("Caption");
    c.Int("Color", &TControl::Color, &TControl::SetColor, &ColorIdents).DefaultValue(clWindow);
    c.Bool("ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly).DefaultValue(0);
}

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
    width_ = 121;
    height_ = 21;
    tabStop_ = true;
    color_ = clWindow;
}

void TCustomEdit::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.BaseClass = "EDIT";
    p.Style = (p.Style & ~WS_CLIPCHILDREN) | ES_AUTOHSCROLL;
    if (readOnly_) p.Style |= ES_READONLY;
    p.ExStyle = (p.ExStyle & ~WS_EX_CONTROLPARENT) | WS_EX_CLIENTEDGE;
}

std::string TCustomEdit::Text() const { return handle_ ? WindowText(handle_) : caption_; }

// Also when the window holds what the user typed and the stored text is older.
void TCustomEdit::SetText(const std::string& v) {
    caption_ = v;
    if (handle_) SetWindowTextA(handle_, v.c_str());
    TextChanged();
}

void TCustomEdit::SetReadOnly(bool v) {
    readOnly_ = v;
    if (handle_) SendMessageA(handle_, EM_SETREADONLY, v, 0);
}

// ---- TMemoStrings ----

KXC_IMPLEMENT_CLASS(TMemoStrings)
void TMemoStrings::DescribeClass(TClassBuilder<TMemoStrings>&) {}

std::vector<std::string> TMemoStrings::Split() const {
    TStringList l;
    l.SetText(memo_->Text());
    std::vector<std::string> r;
    for (int i = 0; i < l.Count(); ++i) r.push_back(l.Get(i));
    return r;
}

void TMemoStrings::Join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& s : lines) text += s + "\r\n";
    memo_->SetText(text);
    Changed();
}

int TMemoStrings::Count() const { return int(Split().size()); }

std::string TMemoStrings::Get(int index) const {
    std::vector<std::string> l = Split();
    if (index < 0 || index >= int(l.size())) BadIndex(index);
    return l[size_t(index)];
}

void TMemoStrings::Put(int index, const std::string& s) {
    std::vector<std::string> l = Split();
    if (index < 0 || index >= int(l.size())) BadIndex(index);
    l[size_t(index)] = s;
    Join(l);
}

void TMemoStrings::Insert(int index, const std::string& s) {
    std::vector<std::string> l = Split();
    if (index < 0 || index > int(l.size())) BadIndex(index);
    l.insert(l.begin() + index, s);
    Join(l);
}

void TMemoStrings::Delete(int index) {
    std::vector<std::string> l = Split();
    if (index < 0 || index >= int(l.size())) BadIndex(index);
    l.erase(l.begin() + index);
    Join(l);
}

void TMemoStrings::Clear() { Join({}); }

// ---- TCustomMemo ----

KXC_IMPLEMENT_CLASS(TCustomMemo)
void TCustomMemo::DescribeClass(TClassBuilder<TCustomMemo>& c) {
    c.Object<TStrings>("Lines", &TCustomMemo::Lines, &TCustomMemo::SetLines);
    c.Bool("WordWrap", &TCustomMemo::WordWrap, &TCustomMemo::SetWordWrap).DefaultValue(1);
}

TCustomMemo::TCustomMemo(TComponent* owner) : TCustomEdit(owner), lines_(new TMemoStrings(this)) {
    width_ = 185;
    height_ = 89;
}

TCustomMemo::~TCustomMemo() {
    DestroyHandle();
    delete lines_;
}

void TCustomMemo::CreateParams(TCreateParams& p) {
    TCustomEdit::CreateParams(p);
    p.Style = (p.Style & ~ES_AUTOHSCROLL) | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
    if (!wordWrap_) p.Style |= ES_AUTOHSCROLL | WS_HSCROLL;
}

void TCustomMemo::SetWordWrap(bool v) {
    if (v == wordWrap_) return;
    std::string text = Text();
    wordWrap_ = v;
    if (handle_) {
        caption_ = text;
        RecreateWindow(this);
    }
}

// ---- TMemo ----

KXC_IMPLEMENT_CLASS(TMemo)
void TMemo::DescribeClass(TClassBuilder<TMemo>&) {}

}  // namespace kxc
