// Design-time target detection on Windows: the tool's settings read from the registry's 32-bit
// view under a test key, and a translator dropped on a designed form or hearing of a component
// inserted into it, with the settings deciding and the question answered by the test.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "components/forms.h"
#include "components/listctrls.h"
#include "components/stdctrls.h"
#include "memory_dictionary.h"
#include "qx/QxAMulti.h"
#include "qx/QxTargetDetection.h"
#include "qx/QxTranslator.h"
#include "uidriver/uidriver.h"

KXC_IMPLEMENT_CLASS(MemoryDictionary)
void MemoryDictionary::DescribeClass(kxc::TClassBuilder<MemoryDictionary>&) {}

namespace {

using Target = std::pair<std::string, std::string>;

std::vector<Target> TargetsOf(const qx::TQxTargetProperties& list) {
    std::vector<Target> r;
    for (int32_t i = 0; i < list.Count(); ++i)
        r.emplace_back(list.Items(i)->ClassName, list.Items(i)->PropertyName);
    return r;
}

// A settings key of this test under HKEY_LOCAL_MACHINE, in the view a 32-bit program sees,
// made at the start and removed at the end; the detection reads it for the test's length.
class TestSettingsKey {
public:
    TestSettingsKey()
        : name_("Software\\KxTests\\TargetDetection" + std::to_string(GetCurrentProcessId())),
          previous_(qx::ToolSettingsKey) {
        qx::ToolSettingsKey = name_;
    }
    ~TestSettingsKey() {
        qx::ToolSettingsKey = previous_;
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
            RegDeleteKeyExA(HKEY_LOCAL_MACHINE, name_.c_str(), view, 0);
    }
    TestSettingsKey(const TestSettingsKey&) = delete;
    TestSettingsKey& operator=(const TestSettingsKey&) = delete;

    // Writes a value into one view (the 32-bit one unless told).
    LONG Set(const char* value, DWORD type, const void* data, DWORD size,
             REGSAM view = KEY_WOW64_32KEY) {
        HKEY key = nullptr;
        LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, name_.c_str(), 0, nullptr, 0,
                                  KEY_SET_VALUE | view, nullptr, &key, nullptr);
        if (rc != ERROR_SUCCESS) return rc;
        rc = RegSetValueExA(key, value, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
        return rc;
    }
    LONG SetText(const char* value, const std::string& text, REGSAM view = KEY_WOW64_32KEY) {
        return Set(value, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1), view);
    }
    void Delete(const char* value) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, name_.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_32KEY,
                          &key) != ERROR_SUCCESS)
            return;
        RegDeleteValueA(key, value);
        RegCloseKey(key);
    }
    const std::string& Name() const { return name_; }

private:
    std::string name_, previous_;
};

class Services : public RecordingApplication {
public:
    bool ShowConfirmationBox(const std::string& text) override {
        questions.push_back(text);
        return answer;
    }
    std::vector<std::string> questions;
    bool answer = false;
};

}  // namespace

TEST(ToolSettingsInTheRegistry, StringValuesElseTheDefaults) {
    EXPECT_STREQ(qx::QxToolSettingsKeyName, "Software\\Glossavant\\Form Designer 5");
    TestSettingsKey key;
    // No key at all: every default; reading does not create the key.
    EXPECT_EQ(qx::ReadToolSetting("Detect", "2"), "2");
    HKEY probe = nullptr;
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.Name().c_str(), 0,
                            KEY_QUERY_VALUE | KEY_WOW64_32KEY, &probe),
              ERROR_SUCCESS);

    // The other view first: where the system keeps two views, only the 32-bit one is read.
    ASSERT_EQ(key.SetText("Detect", "64", KEY_WOW64_64KEY), ERROR_SUCCESS);
    ASSERT_EQ(key.SetText("Detect", "258"), ERROR_SUCCESS);
    const std::string cyrillic = "C:\\\xCF\xF0\xEE\xE5\xEA\xF2\xFB";  // "Projects" in cp1251
    ASSERT_EQ(key.SetText("RootDir", cyrillic), ERROR_SUCCESS);
    ASSERT_EQ(key.SetText("Empty", ""), ERROR_SUCCESS);
    const DWORD number = 2;
    ASSERT_EQ(key.Set("Number", REG_DWORD, &number, sizeof number), ERROR_SUCCESS);
    ASSERT_EQ(key.Set("Expand", REG_EXPAND_SZ, "%TEMP%\\x", 9), ERROR_SUCCESS);
    ASSERT_EQ(key.Set("Unterminated", REG_SZ, "abc", 3), ERROR_SUCCESS);

    const struct {
        const char* value;
        const char* defaultValue;
        std::string expected;
    } cases[] = {
        {"Detect", "2", "258"},
        {"detect", "2", "258"},  // value names ignore letter case
        {"RootDir", ".", cyrillic},
        {"Empty", "x", ""},
        {"Number", "x", "x"},  // no string: the default
        {"Expand", "x", "%TEMP%\\x"},
        {"Unterminated", "x", "abc"},
        {"Missing", "dflt", "dflt"},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        EXPECT_EQ(qx::ReadToolSetting(cases[i].value, cases[i].defaultValue), cases[i].expected)
            << "case " << i;
}

class DesignedForm : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(qx::FileExists(".\\Targets.txt"));
        form = kxc::Create<kxc::TForm>(nullptr);
        form->SetDesigning(true);
        auto* button = kxc::Create<kxc::TButton>(form);
        button->SetName("btnNext");
        auto* label = kxc::Create<kxc::TLabel>(form);
        label->SetName("lblTitle");
    }
    void TearDown() override {
        if (form) form->Free();
    }
    qx::TQxTranslator* Drop() { return kxc::Create<qx::TQxTranslator>(form); }

    TestSettingsKey key;
    Services services;
    kxc::TForm* form = nullptr;
};

TEST_F(DesignedForm, ADroppedTranslatorDetectsAtOnceWithoutSettings) {
    qx::TQxTranslator* translator = Drop();
    EXPECT_EQ(TargetsOf(*translator->Targets()),
              (std::vector<Target>{{"", "Caption"}, {"", "Hint"}}));
    EXPECT_TRUE(services.questions.empty());
    EXPECT_TRUE(services.boxes.empty());

    // A memo put on the form afterwards: its Text for its class, its Lines for any class.
    kxc::Create<kxc::TMemo>(form);
    EXPECT_EQ(TargetsOf(*translator->Targets()),
              (std::vector<Target>{
                  {"", "Caption"}, {"", "Hint"}, {"TMemo", "Text"}, {"", "Lines"}}));

    // While the form is being read nothing is detected.
    form->SetComponentState(kxc::csReading, 0);
    kxc::Create<kxc::TListBox>(form);
    qx::TQxTranslator* whileReading = Drop();
    EXPECT_EQ(translator->Targets()->Count(), 4);
    EXPECT_EQ(whileReading->Targets()->Count(), 0);
    form->SetComponentState(0, kxc::csReading);
}

TEST_F(DesignedForm, TheDetectSettingFromTheRegistry) {
    const struct {
        const char* detect;
        bool answer, asked, detected;
    } cases[] = {
        {"1", false, true, false}, {"1", true, true, true},   {"0", false, false, false},
        {"258", false, false, true}, {"two", false, false, true}, {"257", true, true, true},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        ASSERT_EQ(key.SetText("Detect", cases[i].detect), ERROR_SUCCESS);
        services.questions.clear();
        services.answer = cases[i].answer;
        qx::TQxTranslator* translator = Drop();
        EXPECT_EQ(services.questions.size(), cases[i].asked ? 1u : 0u) << "case " << i;
        EXPECT_EQ(translator->Targets()->Count() > 0, cases[i].detected) << "case " << i;
        translator->Free();
    }
    EXPECT_EQ(services.questions.empty() ? std::string() : services.questions[0],
              "Do you want the translator component to detect the default targets?");
}

TEST_F(DesignedForm, TheCandidateFileUnderRootDir) {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string folder = std::string(temp) + "kxdetect" +
                               std::to_string(GetCurrentProcessId()) + "\xCF\xF0\xEE\xE1\xE0";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string file = folder + "\\Targets.txt";
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const char text[] = "; the hints only\r\n,Hint\r\nTMemo,Lines\r\n";
    DWORD written = 0;
    WriteFile(h, text, sizeof text - 1, &written, nullptr);
    CloseHandle(h);
    ASSERT_EQ(key.SetText("RootDir", folder), ERROR_SUCCESS);

    qx::TQxTranslator* translator = Drop();
    EXPECT_EQ(TargetsOf(*translator->Targets()), (std::vector<Target>{{"", "Hint"}}));
    kxc::Create<kxc::TMemo>(form);  // Text by its class; Lines from the file
    EXPECT_EQ(TargetsOf(*translator->Targets()),
              (std::vector<Target>{{"", "Hint"}, {"TMemo", "Text"}, {"", "Lines"}}));

    DeleteFileA(file.c_str());
    RemoveDirectoryA(folder.c_str());
}

// The platform's own boxes: the question answered with a button, and the error box of a
// candidate file that cannot be opened (another program holds it exclusively).
TEST(DialogsOnScreen, TheQuestionAndTheErrorBox) {
    TestSettingsKey key;
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string folder =
        std::string(temp) + "kxdetectbox" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_EQ(key.SetText("RootDir", folder), ERROR_SUCCESS);
    ASSERT_EQ(key.SetText("Detect", "1"), ERROR_SUCCESS);
    auto* form = kxc::Create<kxc::TForm>(nullptr);
    form->SetDesigning(true);

    // Drops a translator while a second thread answers the box that comes up with the
    // command of a button (the system names the buttons in its own language).
    auto dropAnswering = [&](WPARAM command, std::optional<uidriver::MessageBoxInfo>& box) {
        std::thread answerer([&] {
            box = uidriver::WaitForMessageBox("", GetCurrentProcessId(), 5000);
            if (box) PostMessageA(box->hwnd, WM_COMMAND, command, 0);
        });
        qx::TQxTranslator* translator = kxc::Create<qx::TQxTranslator>(form);
        answerer.join();
        return translator;
    };
    for (WPARAM answer : {IDNO, IDYES}) {
        std::optional<uidriver::MessageBoxInfo> box;
        qx::TQxTranslator* translator = dropAnswering(answer, box);
        ASSERT_TRUE(box.has_value()) << answer;
        EXPECT_EQ(box->caption, "Confirm");
        EXPECT_EQ(box->text, "Do you want the translator component to detect the default targets?");
        EXPECT_EQ(box->buttons.size(), 2u);
        EXPECT_EQ(translator->Targets()->Count() > 0, answer == IDYES) << answer;
        translator->Free();
    }

    const std::string file = folder + "\\Targets.txt";
    HANDLE held = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_EQ(key.SetText("Detect", "2"), ERROR_SUCCESS);
    std::optional<uidriver::MessageBoxInfo> box;
    qx::TQxTranslator* translator = dropAnswering(IDOK, box);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->caption, "Error");
    EXPECT_EQ(box->text,
              "The detection of the targets properties failed!\r\nSet the Targets property "
              "manually.");
    EXPECT_EQ(translator->Targets()->Count(), 0);
    CloseHandle(held);

    form->Free();
    DeleteFileA(file.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(RunTimeForm, NoDetection) {
    Services services;
    TestSettingsKey key;
    auto* form = kxc::Create<kxc::TForm>(nullptr);
    auto* translator = kxc::Create<qx::TQxTranslator>(form);
    kxc::Create<kxc::TMemo>(form);
    EXPECT_EQ(translator->Targets()->Count(), 0);
    // Designed but without an owner: no root, nothing.
    auto* alone = kxc::Create<qx::TQxTranslator>(nullptr);
    alone->SetDesigning(true);
    alone->DetectFormTargets(alone->Targets());
    EXPECT_EQ(alone->Targets()->Count(), 0);
    EXPECT_TRUE(services.boxes.empty());
    alone->Free();
    form->Free();
}
