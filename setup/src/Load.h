// The restore window, shown throughout restore mode; it has no owner and is never translated.
// Closing it frees it, and its destruction clears the global frmRestore.
#pragma once

#include "components/forms.h"
#include "components/stdctrls.h"

class TfrmRestore : public kxc::TForm {
    KXC_CLASS(TfrmRestore, kxc::TForm)
public:
    explicit TfrmRestore(kxc::TComponent* owner);
    void Loaded() override;

    // OnClose: the close frees the window (caFree).
    void FormClose(kxc::TObject* sender, kxc::TCloseAction& action);
    // OnDestroy: frmRestore := none.
    void FormDestroy(kxc::TObject* sender);

    kxc::TImage* imgRestore = nullptr;
    kxc::TLabel* lb1 = nullptr;
};
