// Menus on real Win32 menus (Windows build only): the main menu of a form (its menu bar), pop-up
// menus, and their items.
//
// A menu holds a tree of items under its root item Items. Items are components (owned by the
// form, as a form description makes them) and each knows its parent item; the menu's window
// menu is rebuilt from the tree whenever an item changes. An item with a ShortCut shows the
// shortcut's text after a tab (MenuItemText of shortcuts.h), except on a menu bar. A menu with AutoHotkeys maAutomatic
// gives every item among its siblings a hot key of its own: an item whose "&" letter another
// sibling already has, or that has none, gets the first free letter of its caption, and its
// Caption says so. A click on an item (WM_COMMAND of the form, or the choice in a pop-up
// menu) runs its OnClick.
//
// Raises: rtl::EListError "List index out of bounds (%d)" for a bad item index,
// rtl::EInvalidOperation "Menu inserted twice" when an item that has a parent is added again.
// Ownership: an item frees its sub-items when it is freed; a menu frees its root item.
#pragma once

#include <windows.h>

#include <vector>

#include "components/classes.h"
#include "components/shortcuts.h"

namespace kxc {

class TMenu;

enum TMenuAutoFlag { maAutomatic, maManual, maParent };
extern const TEnumInfo MenuAutoFlagInfo;

class TMenuItem : public TComponent {
    KXC_CLASS(TMenuItem, TComponent)
    friend class TMenu;

public:
    explicit TMenuItem(TComponent* owner);
    ~TMenuItem() override;

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& v);
    bool Checked() const { return checked_; }
    void SetChecked(bool v);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& v) { hint_ = v; }
    // The key that runs the item, shown beside its caption (scNone: none).
    TShortCut ShortCut() const { return shortCut_; }
    void SetShortCut(TShortCut v);
    // A caption of "-" makes a separator line.
    bool IsLine() const { return caption_ == "-"; }

    int Count() const { return int(items_.size()); }
    TMenuItem* Items(int index) const;
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    // Takes the item out (it is not freed).
    void Remove(TMenuItem* item);
    int IndexOf(const TMenuItem* item) const;
    TMenuItem* Parent() const { return parent_; }
    int MenuIndex() const { return parent_ ? parent_->IndexOf(this) : -1; }
    // The menu whose tree holds the item, nullptr when none.
    TMenu* GetParentMenu() const;
    // The identifier that WM_COMMAND carries for the item.
    uint16_t Command() const { return command_; }
    // The item with that identifier, nullptr when none.
    static TMenuItem* FindCommand(uint16_t command);

    TNotifyEvent OnClick;
    virtual void Click() { OnClick(this); }

    // In form descriptions items are stored inside their parent item, or inside the menu.
    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* p) override;
    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;

private:
    void Changed(bool rethink);
    TMenu* menu_ = nullptr;  // set on a menu's root item only
    TMenuItem* parent_ = nullptr;
    std::vector<TMenuItem*> items_;
    std::string caption_;
    std::string hint_;
    TShortCut shortCut_ = scNone;
    bool checked_ = false;
    bool enabled_ = true;
    bool visible_ = true;
    uint16_t command_;
};

class TMenu : public TComponent {
    KXC_CLASS(TMenu, TComponent)
public:
    explicit TMenu(TComponent* owner);
    ~TMenu() override;
    // The root item: its sub-items are the menu's top-level items.
    TMenuItem* Items() const { return items_; }
    TMenuAutoFlag AutoHotkeys() const { return autoHotkeys_; }
    // maAutomatic gives the items their hot keys at once.
    void SetAutoHotkeys(TMenuAutoFlag v);
    // The window menu, made on first use and kept up to date with the items.
    HMENU Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    // Gives each item a hot key of its own among its siblings (maAutomatic).
    void RethinkHotkeys();
    void Loaded() override;
    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;

protected:
    friend class TMenuItem;
    virtual HMENU MakeHandle() = 0;
    // The items changed: the window menu is rebuilt (and the hot keys rethought when asked).
    virtual void MenuChanged(bool rethink);
    void Rebuild();

private:
    TMenuItem* items_;
    TMenuAutoFlag autoHotkeys_ = maAutomatic;
    HMENU handle_ = nullptr;
};

// A form's menu bar: TForm::SetMenu shows it.
class TMainMenu : public TMenu {
    KXC_CLASS(TMainMenu, TMenu)
public:
    using TMenu::TMenu;
    // The form whose menu bar it is, redrawn on every change.
    HWND WindowHandle() const { return window_; }
    void SetWindowHandle(HWND w) { window_ = w; }

protected:
    HMENU MakeHandle() override { return CreateMenu(); }
    void MenuChanged(bool rethink) override;

private:
    HWND window_ = nullptr;
};

class TPopupMenu : public TMenu {
    KXC_CLASS(TPopupMenu, TMenu)
public:
    using TMenu::TMenu;
    // Shows the menu at a screen point until the user chooses or dismisses it, then runs the
    // chosen item's OnClick. `owner`: the window the menu belongs to (the active one if null).
    void Popup(int x, int y, HWND owner = nullptr);

protected:
    HMENU MakeHandle() override { return CreatePopupMenu(); }
};

}  // namespace kxc
