// The dictionary component on the real Win32 services: a language change moves the thread
// locale and the format settings, the translated exception display shows its box, and a
// window's system menu is translated.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>

#include "components/forms.h"
#include "memory_dictionary.h"
#include "qx/QxSystem.h"
#include "qx/QxTranslatorBase.h"
#include "shown_box.h"
#include "uidriver/uidriver.h"

KXC_IMPLEMENT_CLASS(MemoryDictionary)
void MemoryDictionary::DescribeClass(kxc::TClassBuilder<MemoryDictionary>&) {}

namespace {

std::string LocaleText(LCID id, LCTYPE item) {
    char buffer[256] = {};
    GetLocaleInfoA(id, item, buffer, sizeof buffer);
    return buffer;
}

void AddLanguages(MemoryDictionary& d) {
    d.languages = {MemoryDictionary::Native(),
                   MemoryDictionary::Lang(9, 1, 1252, "1", "English"),
                   MemoryDictionary::Lang(7, 1, 1252, "1", "German")};
}

// Restores the thread locale a test changed.
class ThreadLocaleGuard {
public:
    ThreadLocaleGuard() : saved_(GetThreadLocale()) {}
    ~ThreadLocaleGuard() { SetThreadLocale(saved_); }

private:
    LCID saved_;
};

}  // namespace

TEST(DictionaryOnWindows, GermanMovesTheThreadLocaleAndTheFormatSettings) {
    ThreadLocaleGuard guard;
    MemoryDictionary d;
    AddLanguages(d);
    d.SetLanguage(1);
    d.OpenDictionary();
    ASSERT_TRUE(d.IsOpen());
    d.SetLanguage(2);
    EXPECT_EQ(GetThreadLocale(), 0x0407u);
    const qx::TQxFormatSettings& f = qx::FormatSettings;
    EXPECT_EQ(f.SysLocale.DefaultLCID, 0x0407u);
    EXPECT_EQ(f.LongMonthNames[0], LocaleText(0x0407, LOCALE_SMONTHNAME1));
    EXPECT_EQ(f.LongDayNames[0], LocaleText(0x0407, LOCALE_SDAYNAME7));  // Sunday first
    EXPECT_EQ(f.LongDayNames[1], LocaleText(0x0407, LOCALE_SDAYNAME1));
    EXPECT_EQ(std::string(1, f.DecimalSeparator), LocaleText(0x0407, LOCALE_SDECIMAL).substr(0, 1));
    EXPECT_EQ(f.TimeAMString, LocaleText(0x0407, LOCALE_S1159));

    // The application's reading order follows the language.
    d.languages.push_back(MemoryDictionary::Lang(1, 1, 1256, "1", "Arabic", 2));
    d.SetCheckLevel(qx::qxclNone);  // its locale's code page is not the system's
    d.SetLanguage(3);
    EXPECT_EQ(kxc::Application->BiDiMode(), kxc::bdRightToLeft);
    d.SetLanguage(2);
    EXPECT_EQ(kxc::Application->BiDiMode(), kxc::bdLeftToRight);
    EXPECT_EQ(GetThreadLocale(), 0x0407u);

    // A locale the system does not know: selected without checks, published nowhere.
    qx::TQxLocale probe;
    ASSERT_FALSE(qx::FillLocaleFromSystem(0x0BFF, probe)) << "0x0BFF is known here";
    const qx::TQxFormatSettings before = qx::FormatSettings;
    d.SetCheckLevel(qx::qxclNone);
    d.SetBinding(qx::qxbiNone);
    d.SetLocaleId(0x0BFF);
    EXPECT_EQ(d.SelectedLocaleId(), 0x0BFFu);
    EXPECT_EQ(GetThreadLocale(), 0x0407u);
    EXPECT_EQ(qx::FormatSettings.SysLocale.DefaultLCID, before.SysLocale.DefaultLCID);
    EXPECT_EQ(qx::FormatSettings.LongMonthNames, before.LongMonthNames);
    EXPECT_EQ(qx::FormatSettings.DecimalSeparator, before.DecimalSeparator);
    EXPECT_EQ(qx::FormatSettings.ShortDateFormat, before.ShortDateFormat);
}

TEST(DictionaryOnWindows, TheTranslatedExceptionDisplay) {
    kxc::Application->OnException = kxc::TExceptionEvent();
    MemoryDictionary d;  // the first dictionary of the process: it installs the display
    ASSERT_TRUE(static_cast<bool>(kxc::Application->OnException));
    AddLanguages(d);
    d.Add("File not found", "Datei nicht gefunden");
    d.OpenDictionary();
    auto box = BoxShownBy([] {
        try {
            throw rtl::EFOpenError("File not found");
        } catch (...) {
            kxc::Application->HandleException(nullptr);
        }
    });
    ASSERT_TRUE(box.has_value()) << "no box";
    EXPECT_EQ(box->caption, "Error");
    EXPECT_EQ(box->text, "Datei nicht gefunden.");
    EXPECT_EQ(box->buttons, std::vector<std::string>{"OK"});

    // Closed: the message as it is, with the period rule.
    d.CloseDictionary();
    box = BoxShownBy([] { qx::ShowTranslatedException(nullptr, rtl::Exception("Stop!")); });
    ASSERT_TRUE(box.has_value()) << "no box";
    EXPECT_EQ(box->text, "Stop!");
}

namespace {

LRESULT CALLBACK PlainWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(hwnd, msg, wp, lp);
}

std::string MenuText(HMENU menu, UINT command) {
    char buffer[512] = {};
    GetMenuStringA(menu, command, buffer, sizeof buffer, MF_BYCOMMAND);
    return buffer;
}

class Translator : public qx::TQxCustomTranslator {
public:
    Translator() : qx::TQxCustomTranslator(nullptr) {}
};

}  // namespace

TEST(DictionaryOnWindows, SystemMenuOfARealWindow) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PlainWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QxSystemMenuTest";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "QxSystemMenuTest", "Menu", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                  100, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    HMENU menu = GetSystemMenu(window, FALSE);
    ASSERT_NE(menu, nullptr);
    AppendMenuA(menu, MF_STRING, 0x0110, "&Close");  // an application's own item
    const std::string closeBefore = MenuText(menu, SC_CLOSE);
    const size_t tab = closeBefore.find('\t');
    ASSERT_NE(tab, std::string::npos) << closeBefore;

    MemoryDictionary d;
    d.Add("&Close", "&Schlie\xDF" "en");
    d.Add("&Size", std::string(300, 'g'));
    Translator t;
    t.SetDictionary(&d);
    t.TranslateSystemMenu(nullptr);  // no window: nothing
    EXPECT_EQ(MenuText(menu, SC_CLOSE), closeBefore);
    t.TranslateSystemMenu(window);

    EXPECT_EQ(MenuText(menu, SC_CLOSE), "&Schlie\xDF" "en" + closeBefore.substr(tab));
    EXPECT_EQ(MenuText(menu, 0x0110), "&Close");
    EXPECT_EQ(MenuText(menu, SC_SIZE), std::string(255, 'g'));  // cut to the item's buffer
    EXPECT_EQ(MenuText(menu, SC_MOVE).substr(0, 5), "&Move");   // no translation: English
    DestroyWindow(window);
}
