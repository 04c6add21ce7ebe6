#include "components/menus.h"

#include <algorithm>
#include <map>
#include <set>

#include "rtl/resstrings.h"
#include "rtl/strutil.h"

namespace kxc {

const TEnumInfo MenuAutoFlagInfo{"TMenuAutoFlag", {"maAutomatic", "maManual", "maParent"}};

namespace {

// Command identifiers of items. They stay clear of IDOK and friends, which the dialog manager
// sends without a control, and of the system commands.
const uint16_t kFirstCommand = 0x0100, kLastCommand = 0xEFFF;

std::map<uint16_t, TMenuItem*>& Commands() {
    static std::map<uint16_t, TMenuItem*> m;
    return m;
}

uint16_t NewCommand(TMenuItem* item) {
    static uint16_t next = kFirstCommand;
    auto& m = Commands();
    while (m.count(next)) next = next == kLastCommand ? kFirstCommand : uint16_t(next + 1);
    uint16_t c = next;
    next = next == kLastCommand ? kFirstCommand : uint16_t(next + 1);
    m[c] = item;
    return c;
}

[[noreturn]] void BadIndex(int index) {
    throw rtl::EListError(rtl::FormatResString(&rtl::SListIndexError, index));
}

// Where the hot-key marker of a caption stands: the first "&" that is not part of "&&".
size_t HotkeyPos(const std::string& s) {
    for (size_t i = 0; i + 1 < s.size(); ++i) {
        if (s[i] != '&') continue;
        if (s[i + 1] == '&') {
            ++i;
            continue;
        }
        return i;
    }
    return std::string::npos;
}

// Hot keys compare as the system compares them: ignoring letter case in the ANSI code page.
unsigned char FoldKey(char c) {
    char buf[2] = {c, 0};
    CharUpperBuffA(buf, 1);
    return static_cast<unsigned char>(buf[0]);
}

void RethinkGroup(TMenuItem* parent, std::string (*get)(TMenuItem*), void (*set)(TMenuItem*, const std::string&)) {
    std::set<unsigned char> used;
    std::vector<TMenuItem*> need;
    for (int i = 0; i < parent->Count(); ++i) {
        TMenuItem* item = parent->Items(i);
        if (!item->Visible() || item->IsLine() || item->Caption().empty()) continue;
        std::string c = get(item);
        size_t pos = HotkeyPos(c);
        if (pos != std::string::npos && used.insert(FoldKey(c[pos + 1])).second) continue;
        need.push_back(item);
    }
    // Items that keep theirs are done; the others take the first free letter or digit.
    for (TMenuItem* item : need) {
        std::string c = get(item);
        size_t pos = HotkeyPos(c);
        if (pos != std::string::npos) c.erase(pos, 1);
        for (size_t i = 0; i < c.size(); ++i) {
            if (c[i] == '&') {
                ++i;
                continue;
            }
            if (IsCharAlphaNumericA(c[i]) && used.insert(FoldKey(c[i])).second) {
                c.insert(i, "&");
                break;
            }
        }
        set(item, c);
    }
    for (int i = 0; i < parent->Count(); ++i) RethinkGroup(parent->Items(i), get, set);
}

}  // namespace

// ---- TMenuItem ----

KXC_IMPLEMENT_CLASS(TMenuItem)
void TMenuItem::DescribeClass(TClassBuilder<TMenuItem>& c) {
    c.Str("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption);
    c.Bool("Checked", &TMenuItem::Checked, &TMenuItem::SetChecked).DefaultValue(0);
    c.Bool("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled).DefaultValue(1);
    c.Str("Hint", &TMenuItem::Hint, &TMenuItem::SetHint);
    TPropInfo& shortCut = c.Int("ShortCut", &TMenuItem::ShortCut, &TMenuItem::SetShortCut);
    shortCut.TypeName = "TShortCut";
    shortCut.DefaultValue(scNone);
    c.Bool("Visible", &TMenuItem::Visible, &TMenuItem::SetVisible).DefaultValue(1);
    c.Event("OnClick", &TMenuItem::OnClick);
}

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), command_(NewCommand(this)) {}

TMenuItem::~TMenuItem() {
    // Sub-items go with their item, whoever owns them.
    while (!items_.empty()) {
        TMenuItem* item = items_.back();
        Remove(item);
        item->Free();
    }
    if (parent_) parent_->Remove(this);
    Commands().erase(command_);
}

TMenuItem* TMenuItem::FindCommand(uint16_t command) {
    auto it = Commands().find(command);
    return it == Commands().end() ? nullptr : it->second;
}

TMenuItem* TMenuItem::Items(int index) const {
    if (index < 0 || index >= Count()) BadIndex(index);
    return items_[size_t(index)];
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
    auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : int(it - items_.begin());
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
    if (!item) return;
    if (item->parent_) throw rtl::EInvalidOperation(rtl::LoadResString(&rtl::SMenuReinserted));
    if (index < 0 || index > Count()) BadIndex(index);
    for (const TMenuItem* p = this; p; p = p->parent_)
        if (p == item) throw rtl::EInvalidOperation(rtl::LoadResString(&rtl::SMenuReinserted));
    items_.insert(items_.begin() + index, item);
    item->parent_ = this;
    Changed(true);
}

void TMenuItem::Remove(TMenuItem* item) {
    int i = IndexOf(item);
    if (i < 0) return;
    items_.erase(items_.begin() + i);
    item->parent_ = nullptr;
    Changed(true);
}

TMenu* TMenuItem::GetParentMenu() const {
    const TMenuItem* p = this;
    while (p->parent_) p = p->parent_;
    return p->menu_;
}

void TMenuItem::SetCaption(const std::string& v) {
    if (v == caption_) return;
    caption_ = v;
    Changed(true);
}

void TMenuItem::SetChecked(bool v) {
    if (v == checked_) return;
    checked_ = v;
    Changed(false);
}

void TMenuItem::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    Changed(false);
}

void TMenuItem::SetShortCut(TShortCut v) {
    if (v == shortCut_) return;
    shortCut_ = v;
    Changed(false);
}

void TMenuItem::SetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    Changed(true);
}

void TMenuItem::Changed(bool rethink) {
    TMenu* m = GetParentMenu();
    if (m && !m->Destroying() && !Destroying()) m->MenuChanged(rethink);
}

TComponent* TMenuItem::GetParentComponent() const {
    if (parent_ && parent_->menu_) return parent_->menu_;
    return parent_;
}

void TMenuItem::SetParentComponent(TComponent* p) {
    if (parent_) parent_->Remove(this);
    if (auto* m = dynamic_cast<TMenu*>(p))
        m->Items()->Add(this);
    else if (auto* i = dynamic_cast<TMenuItem*>(p))
        i->Add(this);
}

void TMenuItem::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
    for (TMenuItem* item : std::vector<TMenuItem*>(items_))
        if (item->Owner() == root) proc(item);
}

// ---- TMenu ----

KXC_IMPLEMENT_CLASS(TMenu)
void TMenu::DescribeClass(TClassBuilder<TMenu>& c) {
    c.Enum<TMenuAutoFlag>("AutoHotkeys", &TMenu::AutoHotkeys, &TMenu::SetAutoHotkeys, MenuAutoFlagInfo)
        .DefaultValue(maAutomatic);
}

TMenu::TMenu(TComponent* owner) : TComponent(owner), items_(Create<TMenuItem>(this)) { items_->menu_ = this; }

TMenu::~TMenu() {
    SetComponentState(csDestroying, 0);
    TMenuItem* root = items_;
    items_ = nullptr;
    root->menu_ = nullptr;
    root->Free();
    if (handle_) DestroyMenu(handle_);
}

void TMenu::SetAutoHotkeys(TMenuAutoFlag v) {
    if (v == maParent) v = maAutomatic;  // a menu has no parent to follow
    if (v == autoHotkeys_) return;
    autoHotkeys_ = v;
    MenuChanged(true);
}

HMENU TMenu::Handle() {
    if (!handle_) {
        handle_ = MakeHandle();
        Rebuild();
    }
    return handle_;
}

void TMenu::Loaded() {
    TComponent::Loaded();
    MenuChanged(true);
}

void TMenu::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
    items_->GetChildren(proc, root);
}

void TMenu::MenuChanged(bool rethink) {
    if (Loading() || Destroying() || !items_) return;
    if (rethink && autoHotkeys_ == maAutomatic) RethinkHotkeys();
    Rebuild();
}

void TMenu::RethinkHotkeys() {
    RethinkGroup(
        items_, [](TMenuItem* i) { return i->caption_; },
        [](TMenuItem* i, const std::string& c) { i->caption_ = c; });
}

namespace {
// Items on a menu bar show their captions alone; elsewhere the shortcut's text follows.
void AppendItems(HMENU menu, const TMenuItem* parent, bool menuBar) {
    for (int i = 0; i < parent->Count(); ++i) {
        const TMenuItem* item = parent->Items(i);
        if (!item->Visible()) continue;
        if (item->IsLine()) {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        UINT flags = MF_STRING | (item->Checked() ? MF_CHECKED : 0) | (item->Enabled() ? 0 : MF_GRAYED);
        if (item->Count() > 0) {
            HMENU sub = CreatePopupMenu();
            AppendItems(sub, item, false);
            AppendMenuA(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), item->Caption().c_str());
        } else {
            const std::string text =
                menuBar ? item->Caption() : MenuItemText(item->Caption(), item->ShortCut());
            AppendMenuA(menu, flags, item->Command(), text.c_str());
        }
    }
}
}  // namespace

// The whole window menu is made anew from the tree: menus are small and change seldom.
void TMenu::Rebuild() {
    if (!handle_) return;
    while (GetMenuItemCount(handle_) > 0) DeleteMenu(handle_, 0, MF_BYPOSITION);
    AppendItems(handle_, items_, dynamic_cast<TMainMenu*>(this) != nullptr);
}

// ---- TMainMenu ----

KXC_IMPLEMENT_CLASS(TMainMenu)
void TMainMenu::DescribeClass(TClassBuilder<TMainMenu>&) {}

void TMainMenu::MenuChanged(bool rethink) {
    TMenu::MenuChanged(rethink);
    if (window_ && HandleAllocated() && !Loading()) DrawMenuBar(window_);
}

// ---- TPopupMenu ----

KXC_IMPLEMENT_CLASS(TPopupMenu)
void TPopupMenu::DescribeClass(TClassBuilder<TPopupMenu>&) {}

void TPopupMenu::Popup(int x, int y, HWND owner) {
    HWND w = owner ? owner : GetActiveWindow();
    if (!w) return;
    UINT flags = TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON | TPM_LEFTALIGN;
    auto cmd = uint16_t(TrackPopupMenu(Handle(), flags, x, y, 0, w, nullptr));
    if (TMenuItem* item = TMenuItem::FindCommand(cmd)) item->Click();
}

}  // namespace kxc
