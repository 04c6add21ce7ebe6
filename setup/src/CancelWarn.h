// The exit confirmation that every Cancel button of the wizard shows modally. "E&xit Setup"
// asks the application to terminate; both buttons close the confirmation with mrCancel, and
// "&Resume" has the focus.
#pragma once

#include "components/forms.h"
#include "components/stdctrls.h"

class TfrmCancelWarn : public kxc::TForm {
    KXC_CLASS(TfrmCancelWarn, kxc::TForm)
public:
    explicit TfrmCancelWarn(kxc::TComponent* owner);
    void Loaded() override;

    // OnCreate: the focus goes to btResume.
    void FormCreate(kxc::TObject* sender);
    // OnClick of btExitSetup: requests the application's termination.
    void btExitSetupClick(kxc::TObject* sender);

    kxc::TLabel* Label1 = nullptr;
    kxc::TLabel* Label2 = nullptr;
    kxc::TLabel* Label3 = nullptr;
    kxc::TButton* btExitSetup = nullptr;
    kxc::TButton* btResume = nullptr;
};
