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

void TQxTranslatorTable::Clear() { items_.clear(); }

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
                                  const std::string& propertyName,
                                  const TQxLookupTranslation& lookup) {
    bool hadHotKey = false;
    const std::string key = StripHotKey(text, menuItem, &hadHotKey);
    if (TQxTranslatorTableItem* item = table.Find(control, propertyName, key)) {
        const std::string result =
            lookup(item->NativeText, item->NativeKey, item->ComponentName, hadHotKey);
        item->CurrentText = StripHotKey(result, menuItem);
        return result;
    }
    if (text.empty()) return text;
    const std::string result = lookup(text, key, componentName, hadHotKey);
    auto item = std::make_unique<TQxTranslatorTableItem>();
    item->Control = control;
    item->Component = component;
    item->ComponentName = componentName;
    item->PropertyName = propertyName;
    item->NativeText = text;
    item->NativeKey = key;
    item->CurrentText = StripHotKey(result, menuItem);
    table.Add(std::move(item));
    return result;
}

}  // namespace qx
