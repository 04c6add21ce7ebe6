// The saving window: a frameless panel with the application's icon, shown without a message
// loop while the old database is copied.
#pragma once

#include "components/forms.h"
#include "components/stdctrls.h"

class TfrmSaving : public kxc::TForm {
    KXC_CLASS(TfrmSaving, kxc::TForm)
public:
    explicit TfrmSaving(kxc::TComponent* owner);
    void Loaded() override;

    kxc::TPanel* Panel1 = nullptr;
    kxc::TLabel* Label1 = nullptr;
    kxc::TImage* PIC = nullptr;
};
