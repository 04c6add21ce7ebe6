// The wizard form: six pages without tabs that lead through saving the old database, removing
// the old version, running the product's set-up and, at the end, restoring the saved database
// through a new instance of setup in restore mode. Every road ends by asking the application
// to terminate; the wizard keeps no state beyond its controls and OldVersion.
#pragma once

#include "components/forms.h"
#include "components/stdctrls.h"

namespace qx {
class TQxBinaryDictionary;
class TQxTranslator;
}  // namespace qx

class TfrmMain : public kxc::TForm {
    KXC_CLASS(TfrmMain, kxc::TForm)
public:
    explicit TfrmMain(kxc::TComponent* owner);
    void Loaded() override;

    // Published handlers (bound by name in the form description).
    void FormCreate(kxc::TObject* sender);
    void tsOldLumexFoundShow(kxc::TObject* sender);
    void tsRMOldVerShow(kxc::TObject* sender);
    void tsDBVerNotValidShow(kxc::TObject* sender);
    void tsFinalAskShow(kxc::TObject* sender);
    void btFoundCancelClick(kxc::TObject* sender);
    void btFoundNextClick(kxc::TObject* sender);
    void btRmOldBackClick(kxc::TObject* sender);
    void btRmOldNextClick(kxc::TObject* sender);
    void bt2BackClick(kxc::TObject* sender);
    void bt2NextClick(kxc::TObject* sender);
    void btNotValidNextClick(kxc::TObject* sender);
    void btBack3Click(kxc::TObject* sender);
    void btNext3Click(kxc::TObject* sender);
    void btNextFinalClick(kxc::TObject* sender);

    kxc::TPageControl* pcMain = nullptr;
    kxc::TTabSheet* tsOldLumexFound = nullptr;
    kxc::TTabSheet* tsRMOldVer = nullptr;
    kxc::TTabSheet* tsDBVerNotValid = nullptr;
    kxc::TTabSheet* tsRMOldVer2 = nullptr;
    kxc::TTabSheet* tsRemoveOld3 = nullptr;
    kxc::TTabSheet* tsFinalAsk = nullptr;
    kxc::TImage* pics[6] = {};  // pic1 ... pic6
    kxc::TRadioButton* rbSave = nullptr;
    kxc::TRadioButton* rbReplace = nullptr;
    kxc::TRadioButton* rbUnInstOld = nullptr;
    kxc::TRadioButton* rbInstOverOld = nullptr;
    kxc::TRadioButton* rbUninstallOld2 = nullptr;
    kxc::TRadioButton* rbInstOverOld2 = nullptr;
    kxc::TRadioButton* rbUninstOld3 = nullptr;
    kxc::TRadioButton* rbInstOverOld3 = nullptr;
    kxc::TRadioButton* rbFinalRestore = nullptr;
    kxc::TRadioButton* rbFinalDontRestore = nullptr;
    kxc::TButton* btFoundNext = nullptr;
    kxc::TButton* btRmOldNext = nullptr;
    kxc::TButton* btNotValidCancel = nullptr;
    kxc::TButton* bt2Next = nullptr;
    kxc::TButton* btBack3 = nullptr;
    kxc::TButton* btNext3 = nullptr;
    kxc::TButton* btCancel3 = nullptr;
    kxc::TButton* btNextFinal = nullptr;
    qx::TQxBinaryDictionary* QxBinaryDictionary1 = nullptr;
    qx::TQxTranslator* QxTranslator1 = nullptr;

private:
    enum class Road { R1, R2, R3 };
    void RemovalStep(Road road, bool removalChosen);
    void SetPageCaption(const char* text);
};
