#include "qx/QxTranslatorTable.h"

#include <algorithm>

#include "rtl/exceptions.h"
#include "rtl/strutil.h"

namespace qx {

TQxTranslatorTableItem::~TQxTranslatorTableItem() = default;

TQxTranslatorTable::TQxTranslatorTable() = default;

TQxTranslatorTable::~TQxTranslatorTable() { Clear(); }

TQxTranslatorTableItem* TQxTranslatorTable::Items(int32_t index) const {
    if (index < 0 || index >= Count())
        throw rtl::EListError(rtl::Format("List index out of bounds (%d)", index));
    return items_[static_cast<size_t>(index)].get();
}

TQxTranslatorTableItem* TQxTranslatorTable::Add(std::unique_ptr<TQxTranslatorTableItem> item) {
    if (!item) return nullptr;
    items_.push_back(std::move(item));
    return items_.back().get();
}

void TQxTranslatorTable::Clear() {
    items_.clear();
    writes_ = 0;
}

// A plain list searched from the start: the first item with the key wins.
TQxTranslatorTableItem* TQxTranslatorTable::Find(const kxc::TObject* control,
                                                 const std::string& propertyName,
                                                 const std::string& currentText) const {
    for (const auto& item : items_)
        if (item->Control == control && item->PropertyName == propertyName &&
            item->CurrentText == currentText)
            return item.get();
    return nullptr;
}

// Several items may have emptied this place over time (the application gave it new texts in
// between); only the last one wrote what it holds now.
TQxTranslatorTableItem* TQxTranslatorTable::FindEmptied(const kxc::TObject* control,
                                                        const std::string& propertyName,
                                                        int32_t index) const {
    TQxTranslatorTableItem* last = nullptr;
    for (const auto& item : items_)
        if (item->Control == control && item->PropertyName == propertyName &&
            item->Index == index && (!last || item->Written > last->Written))
            last = item.get();
    return last && last->CurrentText.empty() ? last : nullptr;
}

void TQxTranslatorTable::MarkWritten(TQxTranslatorTableItem* item, int32_t index) {
    if (!item) return;
    item->Index = index;
    item->Written = ++writes_;
}

// Without this a new object at a freed one's address would inherit its native texts.
void TQxTranslatorTable::RemoveComponent(const kxc::TComponent* component) {
    if (!component) return;
    items_.erase(std::remove_if(items_.begin(), items_.end(),
                                [component](const std::unique_ptr<TQxTranslatorTableItem>& item) {
                                    return item->Component == component ||
                                           item->Control == component;
                                }),
                 items_.end());
}

bool TQxTranslatorTable::Holds(const kxc::TComponent* component) const {
    if (!component) return false;
    for (const auto& item : items_)
        if (item->Component == component || item->Control == component) return true;
    return false;
}

std::string StripHotKey(const std::string& text, bool menuItem, bool* hadHotKey) {
    if (hadHotKey) *hadHotKey = false;
    if (!menuItem) return text;
    const size_t at = text.find('&');
    if (at == std::string::npos) return text;
    if (hadHotKey) *hadHotKey = true;
    return text.substr(0, at) + text.substr(at + 1);
}

// The item's native text is looked up, never the text the property holds now: that is the
// last translation, or the native text itself after a pass in the native language.
std::string TranslateThroughTable(TQxTranslatorTable& table, const kxc::TObject* control,
                                  const kxc::TComponent* component, bool menuItem,
                                  const std::string& componentName, const std::string& text,
                                  const std::string& propertyName, int32_t index,
                                  const TQxLookupTranslation& lookup) {
    bool hadHotKey = false;
    const std::string key = StripHotKey(text, menuItem, &hadHotKey);
    // Every emptied text has the same key: an empty one is found by where it stands.
    TQxTranslatorTableItem* item = text.empty() ? table.FindEmptied(control, propertyName, index)
                                                : table.Find(control, propertyName, key);
    if (item) {
        const std::string result =
            lookup(item->NativeText, item->NativeKey, item->ComponentName, hadHotKey);
        item->CurrentText = StripHotKey(result, menuItem);
        table.MarkWritten(item, index);
        return result;
    }
    if (text.empty()) return text;
    const std::string result = lookup(text, key, componentName, hadHotKey);
    auto added = std::make_unique<TQxTranslatorTableItem>();
    added->Control = control;
    added->Component = component;
    added->ComponentName = componentName;
    added->PropertyName = propertyName;
    added->NativeText = text;
    added->NativeKey = key;
    added->CurrentText = StripHotKey(result, menuItem);
    table.MarkWritten(table.Add(std::move(added)), index);
    return result;
}

}  // namespace qx
