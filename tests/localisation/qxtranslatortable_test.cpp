// The translator's native-text cache: every pass translates from the text first seen.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "components/classes.h"
#include "qx/QxTranslatorTable.h"

using qx::TQxTranslatorTable;

namespace {

// A dictionary of two languages over native texts; language 0 is the native one. A missing
// translation gives `missing` (the native text, or empty like a dictionary that gives empty
// texts for missing words).
struct Dictionary {
    int language = 0;
    bool emptyWhenMissing = false;
    std::map<std::pair<int, std::string>, std::string> words;
    std::vector<std::string> asked;  // "native|key|component|hotkey"

    std::string Lookup(const std::string& native, const std::string& key,
                       const std::string& component, bool hadHotKey) {
        asked.push_back(native + "|" + key + "|" + component + "|" + (hadHotKey ? "&" : ""));
        if (language == 0) return native;
        auto it = words.find({language, native});
        if (it == words.end() && hadHotKey) it = words.find({language, key});
        if (it != words.end()) return it->second;
        return emptyWhenMissing ? std::string() : native;
    }
    qx::TQxLookupTranslation Fn() {
        return [this](const std::string& n, const std::string& k, const std::string& c, bool h) {
            return Lookup(n, k, c, h);
        };
    }
};

// A property value as the walk sees it: it translates what the property holds and writes the
// result back.
struct Prop {
    const kxc::TObject* object;
    const kxc::TComponent* component;
    bool menuItem;
    std::string componentName;
    std::string name;
    std::string value;
    int32_t index = -1;  // the line of a list; -1 for the property's own value

    void Pass(TQxTranslatorTable& table, Dictionary& d) {
        value = qx::TranslateThroughTable(table, object, component, menuItem, componentName,
                                          value, name, index, d.Fn());
    }
};

TEST(QxTranslatorTable, EveryLanguageFromTheNativeText) {
    kxc::TComponent label1(nullptr), label2(nullptr);
    Dictionary d;
    d.words = {{{1, "Next"}, "Weiter"}, {{2, "Next"}, "Далее"}, {{1, "Back"}, "Zurück"},
               {{2, "Weiter"}, "wrong: a translation translated"}};
    TQxTranslatorTable table;
    // Two labels with the same caption, and an empty one.
    Prop a{&label1, &label1, false, "Label1", "Caption", "Next"};
    Prop b{&label2, &label2, false, "Label2", "Caption", "Next"};
    Prop hint{&label2, &label2, false, "Label2", "Hint", ""};
    const struct {
        int language;
        const char* expected;
    } steps[] = {{0, "Next"}, {1, "Weiter"}, {2, "Далее"}, {0, "Next"}, {2, "Далее"}};
    for (const auto& s : steps) {
        d.language = s.language;
        a.Pass(table, d);
        b.Pass(table, d);
        hint.Pass(table, d);
        EXPECT_EQ(a.value, s.expected) << "language " << s.language;
        EXPECT_EQ(b.value, s.expected) << "language " << s.language;
        EXPECT_EQ(hint.value, "");
    }
    // One item per label; the native text is always what is looked up, with its component.
    ASSERT_EQ(table.Count(), 2);
    EXPECT_EQ(table.Items(0)->NativeText, "Next");
    EXPECT_EQ(table.Items(0)->ComponentName, "Label1");
    EXPECT_EQ(table.Items(1)->ComponentName, "Label2");
    for (const std::string& q : d.asked) EXPECT_EQ(q.substr(0, 5), "Next|") << q;

    // A text the application sets between passes is a new native text.
    a.value = "Back";
    d.language = 1;
    a.Pass(table, d);
    EXPECT_EQ(a.value, "Zurück");
    EXPECT_EQ(table.Count(), 3);
    d.language = 0;
    a.Pass(table, d);
    EXPECT_EQ(a.value, "Back");
}

// A dictionary that gives an empty text for a missing word: the emptied caption still finds
// its item, so the next language gets its text from the native one.
TEST(QxTranslatorTable, AnEmptiedTextComesBack) {
    kxc::TComponent label(nullptr);
    Dictionary d;
    d.emptyWhenMissing = true;
    d.words = {{{2, "Cancel"}, "Отмена"}};
    TQxTranslatorTable table;
    Prop p{&label, &label, false, "Label1", "Caption", "Cancel"};
    d.language = 1;
    p.Pass(table, d);
    EXPECT_EQ(p.value, "");
    d.language = 2;
    p.Pass(table, d);
    EXPECT_EQ(p.value, "Отмена");
    d.language = 1;
    p.Pass(table, d);
    d.language = 0;
    p.Pass(table, d);
    EXPECT_EQ(p.value, "Cancel");
    EXPECT_EQ(table.Count(), 1);
}

// Every emptied text looks alike: each must come back as its own native text, never as that
// of another line or of a text the property held before.
TEST(QxTranslatorTable, EachEmptiedTextFindsItsOwnItem) {
    kxc::TComponent listBox(nullptr), button(nullptr);
    Dictionary d;
    d.emptyWhenMissing = true;
    // Language 1 knows none of the texts, language 2 all of them.
    d.words = {{{2, "Yes"}, "Oui"}, {{2, "Cancel"}, "Annuler"}, {{2, "Stop"}, "Arr\xEAt"},
               {{2, "No"}, "Non"}};
    TQxTranslatorTable table;
    // Lines of a list: an empty native line, then a text.
    std::vector<Prop> lines = {{&listBox, &listBox, false, "ListBox1", "Items", "", 0},
                               {&listBox, &listBox, false, "ListBox1", "Items", "Yes", 1}};
    auto pass = [&](int language) {
        d.language = language;
        std::vector<std::string> values;
        for (Prop& line : lines) {
            line.Pass(table, d);
            values.push_back(line.value);
        }
        return values;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(pass(1), (V{"", ""}));
    EXPECT_EQ(pass(2), (V{"", "Oui"}));
    EXPECT_EQ(pass(0), (V{"", "Yes"}));
    EXPECT_EQ(pass(1), (V{"", ""}));
    EXPECT_EQ(pass(0), (V{"", "Yes"}));
    // Two emptied lines, each its own.
    lines[0].value = "No";
    EXPECT_EQ(pass(1), (V{"", ""}));
    EXPECT_EQ(pass(2), (V{"Non", "Oui"}));
    EXPECT_EQ(pass(1), (V{"", ""}));
    EXPECT_EQ(pass(0), (V{"No", "Yes"}));

    // A caption emptied, changed by the application, and emptied again: the text it held last.
    Prop caption{&button, &button, false, "Button1", "Caption", "Cancel"};
    d.language = 1;
    caption.Pass(table, d);
    EXPECT_EQ(caption.value, "");
    caption.value = "Stop";
    caption.Pass(table, d);
    EXPECT_EQ(caption.value, "");
    d.language = 2;
    caption.Pass(table, d);
    EXPECT_EQ(caption.value, "Arr\xEAt");
    d.language = 0;
    caption.Pass(table, d);
    EXPECT_EQ(caption.value, "Stop");
    // Emptied by the application itself: it stays empty, no earlier text comes back.
    caption.value = "";
    d.language = 2;
    caption.Pass(table, d);
    EXPECT_EQ(caption.value, "");
}

TEST(QxTranslatorTable, MenuItemsIgnoreTheirHotKey) {
    kxc::TComponent item(nullptr);
    Dictionary d;
    // One entry with its "&", one stored without: the second is found by the native key.
    d.words = {{{1, "&File"}, "&Datei"}, {{1, "Exit"}, "Be&enden"}};
    TQxTranslatorTable table;
    Prop file{&item, &item, true, "File1", "Caption", "&File"};
    Prop exit{&item, &item, true, "File1", "Hint", "E&xit"};
    d.language = 1;
    file.Pass(table, d);
    exit.Pass(table, d);
    EXPECT_EQ(file.value, "&Datei");
    EXPECT_EQ(exit.value, "Be&enden");
    // The menu's automatic hot keys move the "&": the item is found all the same.
    file.value = "Dat&ei";
    exit.value = "Beenden";
    d.language = 0;
    file.Pass(table, d);
    exit.Pass(table, d);
    EXPECT_EQ(file.value, "&File");
    EXPECT_EQ(exit.value, "E&xit");
    EXPECT_EQ(table.Count(), 2);
    EXPECT_EQ(table.Items(1)->NativeKey, "Exit");

    // The "&" is a hot key only for menu items.
    bool had = true;
    EXPECT_EQ(qx::StripHotKey("Save && &Exit", true, &had), "Save & &Exit");
    EXPECT_TRUE(had);
    EXPECT_EQ(qx::StripHotKey("&Next", false, &had), "&Next");
    EXPECT_FALSE(had);
}

TEST(QxTranslatorTable, ItemsGoWithTheirComponent) {
    kxc::TComponent form(nullptr), listBox(nullptr), other(nullptr);
    kxc::TStringList subObject;  // e.g. a list reached through a property of listBox
    Dictionary d;
    TQxTranslatorTable table;
    Prop own{&listBox, &listBox, false, "ListBox1", "Hint", "Pick one"};
    Prop line{&subObject, &listBox, false, "ListBox1", "Items", "First"};
    Prop kept{&other, &other, false, "Label1", "Caption", "Keep"};
    own.Pass(table, d);
    line.Pass(table, d);
    kept.Pass(table, d);
    ASSERT_EQ(table.Count(), 3);
    table.RemoveComponent(&listBox);
    ASSERT_EQ(table.Count(), 1);
    EXPECT_EQ(table.Items(0)->NativeText, "Keep");
    EXPECT_THROW(table.Items(1), rtl::EListError);
    table.RemoveComponent(nullptr);
    EXPECT_EQ(table.Count(), 1);
    table.Clear();
    EXPECT_EQ(table.Count(), 0);
}

}  // namespace
