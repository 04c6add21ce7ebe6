// The form translator's native-text cache: one item per (object, property, text) the
// translator has written, remembering the text as it was first seen, so that every
// translation starts from the native text and a form can change language any number of times
// without translating translations.
//
// An item is found by the object, the property name (exact) and the text last written (exact;
// for menu items without its first "&", so that automatic hot keys moving the "&" do not lose
// it). An empty text is found by its place instead: the item last written at that line of the
// list, or into the property's own value, when what it wrote was empty; so that several emptied
// texts of one property each come back as their own. Each item also keeps the component the
// walk reached the object from, so that when a component is destroyed its items go with it,
// those of its sub-objects and collection items too.
//
// Raises: rtl::EListError for an index outside the table; nothing else of its own.
// Ownership: the table owns its items; the objects they name are not owned.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/classes.h"

namespace qx {

class TQxTranslatorTableItem {
public:
    virtual ~TQxTranslatorTableItem();
    virtual const char* ClassName() const { return "TQxTranslatorTableItem"; }

    const kxc::TObject* Control = nullptr;       // the object whose property holds the text
    const kxc::TComponent* Component = nullptr;  // the component the walk came from
    std::string ComponentName;  // Name of Control when it is a component other than the root
    std::string PropertyName;   // for the lines of a list: the list property's name
    std::string NativeText;     // the text as first seen
    std::string NativeKey;      // NativeText, for menu items without its first "&"
    std::string CurrentText;    // the text last written, for menu items without its first "&"
    int32_t Index = -1;         // where it was last written: a list's line, -1 the property itself
    uint64_t Written = 0;       // when: the table's count of writes at that moment
};

class TQxTranslatorTable {
public:
    TQxTranslatorTable();
    virtual ~TQxTranslatorTable();
    virtual const char* ClassName() const { return "TQxTranslatorTable"; }
    TQxTranslatorTable(const TQxTranslatorTable&) = delete;
    TQxTranslatorTable& operator=(const TQxTranslatorTable&) = delete;

    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    TQxTranslatorTableItem* Items(int32_t index) const;
    // Appends; the table takes the item and hands it back.
    TQxTranslatorTableItem* Add(std::unique_ptr<TQxTranslatorTableItem> item);
    void Clear();

    // The first item in table order with this key; nullptr when none.
    TQxTranslatorTableItem* Find(const kxc::TObject* control, const std::string& propertyName,
                                 const std::string& currentText) const;
    // The item last written at this place (line `index` of the list, -1 for the property's own
    // value) when what it wrote was empty; nullptr when none.
    TQxTranslatorTableItem* FindEmptied(const kxc::TObject* control,
                                        const std::string& propertyName, int32_t index) const;
    // Records that `item` has just been written at line `index` (-1: the property itself).
    void MarkWritten(TQxTranslatorTableItem* item, int32_t index);
    // Drops every item of `component`: those whose Control or Component it is.
    void RemoveComponent(const kxc::TComponent* component);
    // Whether some item is of `component` (the same test).
    bool Holds(const kxc::TComponent* component) const;

private:
    std::vector<std::unique_ptr<TQxTranslatorTableItem>> items_;
    uint64_t writes_ = 0;
};

// The text without its first "&" for a menu item (hadHotKey tells whether it had one); any
// other object's text unchanged.
std::string StripHotKey(const std::string& text, bool menuItem, bool* hadHotKey = nullptr);

// Looks up the translation of a native text: (native text, native key, component name,
// whether the text being replaced held "&") → the text to write.
using TQxLookupTranslation = std::function<std::string(
    const std::string& native, const std::string& nativeKey, const std::string& componentName,
    bool hadHotKey)>;

// What the translator writes for `text` of property `propertyName` of `control` (at line
// `index` of a list, -1 for the property's own value), reached from `component`: the lookup
// of the native text that the table holds for it, or, for a text the table does not know, of
// the text itself, which becomes its native text. The item's current text becomes what was
// written.
//
// An empty text without an item stays empty and adds none; an empty text that the table
// wrote (a dictionary that gives empty texts for missing translations) is found by its place,
// so the next language starts again from the native text of that line or that property.
std::string TranslateThroughTable(TQxTranslatorTable& table, const kxc::TObject* control,
                                  const kxc::TComponent* component, bool menuItem,
                                  const std::string& componentName, const std::string& text,
                                  const std::string& propertyName, int32_t index,
                                  const TQxLookupTranslation& lookup);

}  // namespace qx
