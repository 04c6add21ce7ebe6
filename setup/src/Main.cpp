#include "Main.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include "CancelWarn.h"
#include "Saving.h"
#include "formfields.h"
#include "formhooks.h"
#include "globals.h"
#include "oldinstall.h"
#include "plugins.h"
#include "qx/QxBinDic.h"
#include "qx/QxTranslator.h"
#include "rtl/exceptions.h"
#include "rtl/strutil.h"
#include "savedb.h"
#include "startup.h"

KXC_IMPLEMENT_CLASS(TfrmMain)

void TfrmMain::DescribeClass(kxc::TClassBuilder<TfrmMain>& c) {
    c.Method("FormCreate", &TfrmMain::FormCreate);
    c.Method("tsOldLumexFoundShow", &TfrmMain::tsOldLumexFoundShow);
    c.Method("tsRMOldVerShow", &TfrmMain::tsRMOldVerShow);
    c.Method("tsDBVerNotValidShow", &TfrmMain::tsDBVerNotValidShow);
    c.Method("tsFinalAskShow", &TfrmMain::tsFinalAskShow);
    c.Method("btFoundCancelClick", &TfrmMain::btFoundCancelClick);
    c.Method("btFoundNextClick", &TfrmMain::btFoundNextClick);
    c.Method("btRmOldBackClick", &TfrmMain::btRmOldBackClick);
    c.Method("btRmOldNextClick", &TfrmMain::btRmOldNextClick);
    c.Method("bt2BackClick", &TfrmMain::bt2BackClick);
    c.Method("bt2NextClick", &TfrmMain::bt2NextClick);
    c.Method("btNotValidNextClick", &TfrmMain::btNotValidNextClick);
    c.Method("btBack3Click", &TfrmMain::btBack3Click);
    c.Method("btNext3Click", &TfrmMain::btNext3Click);
    c.Method("btNextFinalClick", &TfrmMain::btNextFinalClick);
}

TfrmMain::TfrmMain(kxc::TComponent* owner) : kxc::TForm(owner) {}

void TfrmMain::Loaded() {
    inherited::Loaded();
    BindFormField(this, pcMain, "pcMain");
    BindFormField(this, tsOldLumexFound, "tsOldLumexFound");
    BindFormField(this, tsRMOldVer, "tsRMOldVer");
    BindFormField(this, tsDBVerNotValid, "tsDBVerNotValid");
    BindFormField(this, tsRMOldVer2, "tsRMOldVer2");
    BindFormField(this, tsRemoveOld3, "tsRemoveOld3");
    BindFormField(this, tsFinalAsk, "tsFinalAsk");
    for (int i = 0; i < 6; ++i) {
        std::string name = "pic" + std::to_string(i + 1);
        BindFormField(this, pics[i], name.c_str());
    }
    BindFormField(this, rbSave, "rbSave");
    BindFormField(this, rbReplace, "rbReplace");
    BindFormField(this, rbUnInstOld, "rbUnInstOld");
    BindFormField(this, rbInstOverOld, "rbInstOverOld");
    BindFormField(this, rbUninstallOld2, "rbUninstallOld2");
    BindFormField(this, rbInstOverOld2, "rbInstOverOld2");
    BindFormField(this, rbUninstOld3, "rbUninstOld3");
    BindFormField(this, rbInstOverOld3, "rbInstOverOld3");
    BindFormField(this, rbFinalRestore, "rbFinalRestore");
    BindFormField(this, rbFinalDontRestore, "rbFinalDontRestore");
    BindFormField(this, btFoundNext, "btFoundNext");
    BindFormField(this, btRmOldNext, "btRmOldNext");
    BindFormField(this, btNotValidCancel, "btNotValidCancel");
    BindFormField(this, bt2Next, "bt2Next");
    BindFormField(this, btBack3, "btBack3");
    BindFormField(this, btNext3, "btNext3");
    BindFormField(this, btCancel3, "btCancel3");
    BindFormField(this, btNextFinal, "btNextFinal");
    BindFormField(this, QxBinaryDictionary1, "QxBinaryDictionary1");
    BindFormField(this, QxTranslator1, "QxTranslator1");
}

void TfrmMain::FormCreate(kxc::TObject*) {
    for (kxc::TImage* pic : pics) pic->Picture()->Bitmap()->LoadFromResourceName(nullptr, "WIZ_PIC");
    pcMain->SetActivePage(tsOldLumexFound);
}

void TfrmMain::SetPageCaption(const char* text) { SetCaption(qx::TranslateString(text)); }

void TfrmMain::tsOldLumexFoundShow(kxc::TObject*) {
    SetPageCaption("Found previous installation");
    SetActiveControl(btFoundNext);
}

// Shared by the three removal pages; each focuses its own Next button, so Enter never reaches
// a button of a page that is not shown.
void TfrmMain::tsRMOldVerShow(kxc::TObject* sender) {
    SetPageCaption("Removing previous installation");
    if (sender == tsRMOldVer)
        SetActiveControl(btRmOldNext);
    else if (sender == tsRMOldVer2)
        SetActiveControl(bt2Next);
    else
        SetActiveControl(btNext3);
}

void TfrmMain::tsDBVerNotValidShow(kxc::TObject*) {
    SetPageCaption("Korvix database version is not detected");
    SetActiveControl(btNotValidCancel);
}

void TfrmMain::tsFinalAskShow(kxc::TObject*) {
    SetPageCaption("Convert saved databases");
    SetActiveControl(btNextFinal);
}

void TfrmMain::btFoundCancelClick(kxc::TObject*) {
    kxc::Application->CreateForm(frmCancelWarn);
    try {
        frmCancelWarn->ShowModal();
    } catch (...) {
        frmCancelWarn->Free();
        frmCancelWarn = nullptr;
        throw;
    }
    frmCancelWarn->Free();
    frmCancelWarn = nullptr;
}

void TfrmMain::btFoundNextClick(kxc::TObject*) {
    if (!rbSave->Checked()) {
        pcMain->SetActivePage(tsRMOldVer);
        return;
    }
    OldVersion = GetOldDatabaseVersion();
    if (OldVersion == TVersionCode::Nop()) {
        pcMain->SetActivePage(tsDBVerNotValid);
        return;
    }
    kxc::Application->CreateForm(frmSaving);
    // The saving window goes when the save ends, whether it succeeded or not; a failed save
    // leaves the wizard on this page with the error shown. The wizard takes the activation
    // back first, so that it does not pass to some other program's window when the saving
    // window (which took it on showing) is destroyed.
    auto endSaving = [this] {
        if (HandleAllocated() && Visible()) SetForegroundWindow(WindowHandle());
        frmSaving->Free();
        frmSaving = nullptr;
    };
    try {
        frmSaving->PIC->Picture()->SetGraphic(kxc::Application->Icon());
        frmSaving->Show();
        frmSaving->Repaint();
        SaveOldDatabase();
    } catch (...) {
        endSaving();
        throw;
    }
    endSaving();
    pcMain->SetActivePage(tsRemoveOld3);
}

void TfrmMain::btRmOldBackClick(kxc::TObject*) { pcMain->SetActivePage(tsOldLumexFound); }

void TfrmMain::btRmOldNextClick(kxc::TObject*) { RemovalStep(Road::R1, rbUnInstOld->Checked()); }

void TfrmMain::bt2BackClick(kxc::TObject*) { pcMain->SetActivePage(tsDBVerNotValid); }

void TfrmMain::bt2NextClick(kxc::TObject*) { RemovalStep(Road::R2, rbUninstallOld2->Checked()); }

void TfrmMain::btNotValidNextClick(kxc::TObject*) { pcMain->SetActivePage(tsRMOldVer2); }

void TfrmMain::btBack3Click(kxc::TObject*) { pcMain->SetActivePage(tsOldLumexFound); }

void TfrmMain::btNext3Click(kxc::TObject*) { RemovalStep(Road::R3, rbUninstOld3->Checked()); }

namespace {

void ProcessApplicationMessages() { kxc::Application->ProcessMessages(); }

// The wizard was closed (its close box) or the application asked to terminate.
bool WizardEnding() {
    return kxc::Application->Terminated() || (frmMain && frmMain->ModalResult() != kxc::mrNone);
}

// Disables the given buttons for its lifetime and gives them back their former state.
class DisabledButtons {
public:
    DisabledButtons(std::initializer_list<kxc::TButton*> buttons) {
        for (kxc::TButton* b : buttons) {
            saved_[count_] = {b, b->Enabled()};
            b->SetEnabled(false);
            ++count_;
        }
    }
    ~DisabledButtons() {
        for (int i = 0; i < count_; ++i) saved_[i].button->SetEnabled(saved_[i].enabled);
    }
    DisabledButtons(const DisabledButtons&) = delete;
    DisabledButtons& operator=(const DisabledButtons&) = delete;

private:
    struct Saved {
        kxc::TButton* button;
        bool enabled;
    };
    Saved saved_[3] = {};
    int count_ = 0;
};

}  // namespace

// Steps R1, R2 and R3. The counts of product entries judge what the uninstaller and the set-up
// did; a start that failed is reported by the process calls and never waited for.
void TfrmMain::RemovalStep(Road road, bool removalChosen) {
    bool hiddenHere = false;
    try {
        int32_t countBefore = 0;
        if (removalChosen) {
            Hide();
            hiddenHere = true;
            std::string firstEntry;
            countBefore = CountOldInstallEntries(&firstEntry);
            // An entry gone since the count, or an uninstaller that cannot start, simply ends
            // here; the count below tells what happened.
            bool ran = !firstEntry.empty() && RunOldUninstaller(firstEntry);
            if (ran && road == Road::R2) Sleep(500);
        }
        int32_t countAfter = CountOldInstallEntries();
        bool startSetup = countAfter < countBefore || !removalChosen;
        if (road != Road::R3) {
            if (startSetup) {
                if (road == Road::R1) {
                    Hide();
                    hiddenHere = true;
                }
                StartSetupProgram();
            }
            kxc::Application->Terminate();
            return;
        }
        if (!startSetup || !StartSetupProgram()) {
            kxc::Application->Terminate();
            return;
        }
        int32_t countFinal;
        {
            // While the set-up runs with the window on screen, a second Next must not start it
            // again, nor Back or Cancel change the page under the wait.
            DisabledButtons wait({btBack3, btNext3, btCancel3});
            kxc::Application->ProcessMessages();
            WaitForInstallShield(&ProcessApplicationMessages, &WizardEnding);
            countFinal = CountOldInstallEntries();
        }
        // The wizard was closed during the wait (its close box, or a termination request).
        if (kxc::Application->Terminated() || ModalResult() != kxc::mrNone) return;
        bool goOn = removalChosen ? countFinal == countBefore : countFinal > countBefore;
        if (!goOn) {
            kxc::Application->Terminate();
            return;
        }
        Show();
        hiddenHere = false;
        pcMain->SetActivePage(tsFinalAsk);
        kxc::Application->BringToFront();
    } catch (...) {
        // The error display runs inside the wizard's modal loop: never leave that loop without
        // a window the user can see.
        if (hiddenHere && !Visible()) Show();
        throw;
    }
}

namespace {
// Set while the restore that the user chose could not be started; the program then ends
// with exit code 1 unless a later attempt starts it.
bool restoreNotStarted = false;
}  // namespace

void TfrmMain::btNextFinalClick(kxc::TObject*) {
    if (rbFinalRestore->Checked()) {
        Hide();
        if (!RelaunchForRestore()) {
            // Nothing was started: the saved database would silently stay unrestored. The
            // wizard comes back on this page with the error, and the user decides.
            restoreNotStarted = true;
            Show();
            throw rtl::EOSError(rtl::Format(
                "The restore of the saved database (version \"%s\") could not be started",
                OldVersion.Text().c_str()));
        }
        restoreNotStarted = false;
        Close();
    }
    kxc::Application->Terminate();
}

// ---- What the program entry needs (formhooks.h) ----

void InitialiseApplication() {
    kxc::Application->Initialize();
    kxc::RegisterStandardClasses();
    kxc::RegisterComponentClass(qx::TQxBinaryDictionary::StaticClass());
    kxc::RegisterComponentClass(qx::TQxTranslator::StaticClass());
}

void CreateMainForm() { kxc::Application->CreateForm(frmMain); }

namespace {
// The start-up's language choice over the wizard's dictionary. Setting a language makes the
// dictionary retranslate every form whose translator is registered with it.
class TDictionaryLanguageChoice : public ILanguageChoice {
public:
    void Bind(qx::TQxDictionary* dictionary) { dictionary_ = dictionary; }
    int LanguageCount() override { return dictionary_->GetLanguageCount(); }
    std::string EnglishName(int index) override {
        return dictionary_->GetLanguageInfo(index)->EnglishName;
    }
    bool IsCodePageSupported(int index) override {
        return qx::TQxDictionary::IsLanguageCodePageSupported(*dictionary_->GetLanguageInfo(index));
    }
    void SetLanguage(int index) override { dictionary_->SetLanguage(index); }

private:
    qx::TQxDictionary* dictionary_ = nullptr;
};
}  // namespace

ILanguageChoice& MainFormDictionary() {
    static TDictionaryLanguageChoice choice;
    choice.Bind(frmMain->QxBinaryDictionary1);
    return choice;
}

void RunMainFormModal() { frmMain->ShowModal(); }

int MainFormExitCode() { return restoreNotStarted ? 1 : 0; }

void FreeMainForm() {
    if (!frmMain) return;
    TfrmMain* f = frmMain;
    frmMain = nullptr;
    f->Free();
}
