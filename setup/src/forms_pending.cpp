// Until setup's forms are built on the component model, the program runs without windows:
// the start-up window, the wizard and the restore window are absent, and the dictionary
// offers no languages.
#include "formhooks.h"
#include "startup.h"

namespace {

class NoLanguages : public ILanguageChoice {
public:
    int LanguageCount() override { return 0; }
    std::string EnglishName(int) override { return std::string(); }
    bool IsCodePageSupported(int) override { return false; }
    void SetLanguage(int) override {}
};

}  // namespace

void CreateMainForm() {}
ILanguageChoice& MainFormDictionary() {
    static NoLanguages none;
    return none;
}
void CreateAndShowStartupWindow() {}
void AdvanceStartupProgress(int) {}
void FreeStartupWindow() {}
void RunMainFormModal() {}
void FreeMainForm() {}
void CreateAndShowRestoreWindow() {}
void CloseRestoreWindow() {}
void InitialiseApplication() {}
