// A dictionary held in memory, for tests: languages, locales and entries set directly, and
// application services that record what the runtime asks of the application.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "qx/QxDictionary.h"
#include "qx/QxLocaleVars.h"

class MemoryDictionary : public qx::TQxDictionary {
    KXC_CLASS(MemoryDictionary, qx::TQxDictionary)
public:
    explicit MemoryDictionary(kxc::TComponent* owner = nullptr) : qx::TQxDictionary(owner) {}

    // A language as a reader would leave it (SubId completed from DefaultSubId).
    static qx::TQxLanguage Lang(int32_t primary, int32_t defaultSub, int32_t codePage,
                                const std::string& subs, const std::string& english,
                                uint8_t flags = 0) {
        qx::TQxLanguage l(primary, defaultSub, codePage, subs, english, english, "", 0, flags);
        l.SubId = l.DefaultSubId;
        return l;
    }
    static qx::TQxLanguage Native() { return Lang(0, 0, 0, "", "Native", 2); }

    void Add(const std::string& native, const std::string& translation,
             const std::string& contextA = "", const std::string& contextB = "") {
        entries[qx::TQxTranslation::MakeKey(native, contextA, contextB)] = translation;
    }
    void UseContexts(bool on) { SetHasContexts(on); }

    int32_t GetLanguageCount() override { return static_cast<int32_t>(languages.size()); }
    void GetLanguage(int32_t index, qx::TQxLanguage& language) override {
        language.Assign(languages.at(static_cast<size_t>(index)));
    }
    int32_t GetLocaleCount() override { return static_cast<int32_t>(locales.size()); }
    void GetLocale(int32_t index, qx::TQxLocale& locale) override {
        locale.Assign(locales.at(static_cast<size_t>(index)));
    }
    bool FindContextTranslation(const std::string& native, const std::string& contextA,
                                const std::string& contextB, std::string& translation) override {
        auto it = entries.find(qx::TQxTranslation::MakeKey(native, contextA, contextB));
        if (it == entries.end()) return false;
        translation = it->second;
        return true;
    }
    bool IsAvailable() override { return available; }

    using qx::TQxDictionary::FindLanguageByLocale;
    using qx::TQxDictionary::FirstSupportedLanguage;

    std::vector<qx::TQxLanguage> languages;
    std::vector<qx::TQxLocale> locales;
    std::map<std::string, std::string> entries;
    bool available = true;
};

class RecordingApplication : public qx::TQxApplicationServices {
public:
    RecordingApplication() : previous_(qx::SetApplicationServices(this)) {}
    ~RecordingApplication() override { qx::SetApplicationServices(previous_); }
    RecordingApplication(const RecordingApplication&) = delete;
    RecordingApplication& operator=(const RecordingApplication&) = delete;

    bool HasExceptionHandler() override { return handlerInstalled; }
    void InstallExceptionHandler() override {
        handlerInstalled = true;
        ++installs;
    }
    void SetRightToLeft(bool rightToLeft) override {
        log.push_back(rightToLeft ? "rtl" : "ltr");
    }
    void ShowErrorBox(const std::string& text) override { boxes.push_back(text); }
    void ShowInformationBox(const std::string& text) override { informationBoxes.push_back(text); }
    void ShowMessageBox(const std::string& text, const std::string& caption) override {
        messageBoxes.push_back(caption + ": " + text);
    }

    bool handlerInstalled = false;
    int installs = 0;
    std::vector<std::string> log;
    std::vector<std::string> boxes;
    std::vector<std::string> informationBoxes;
    std::vector<std::string> messageBoxes;  // "caption: text"

private:
    qx::TQxApplicationServices* previous_;
};
