// The start-up window: shown while the plug-ins load in wizard mode, with the application's
// icon and a progress bar that the plug-in loading advances. No message loop runs while it is
// on screen, so it is repainted explicitly.
#pragma once

#include "components/forms.h"
#include "components/stdctrls.h"

class TfrmStUp : public kxc::TForm {
    KXC_CLASS(TfrmStUp, kxc::TForm)
public:
    explicit TfrmStUp(kxc::TComponent* owner);
    void Loaded() override;

    kxc::TImage* picStartUp = nullptr;
    kxc::TLabel* Label1 = nullptr;
    kxc::TProgressBar* pbPrep = nullptr;
};
