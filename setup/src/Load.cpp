#include "Load.h"

#include "formfields.h"
#include "formhooks.h"
#include "globals.h"

KXC_IMPLEMENT_CLASS(TfrmRestore)

void TfrmRestore::DescribeClass(kxc::TClassBuilder<TfrmRestore>& c) {
    c.Method("FormClose", &TfrmRestore::FormClose);
    c.Method("FormDestroy", &TfrmRestore::FormDestroy);
}

TfrmRestore::TfrmRestore(kxc::TComponent* owner) : kxc::TForm(owner) {}

void TfrmRestore::Loaded() {
    inherited::Loaded();
    BindFormField(this, imgRestore, "imgRestore");
    BindFormField(this, lb1, "lb1");
}

void TfrmRestore::FormClose(kxc::TObject*, kxc::TCloseAction& action) { action = kxc::caFree; }

void TfrmRestore::FormDestroy(kxc::TObject*) {
    if (frmRestore == this) frmRestore = nullptr;
}

void CreateAndShowRestoreWindow() {
    frmRestore = kxc::CreateForm<TfrmRestore>(nullptr);
    frmRestore->Show();
    // No message loop runs in restore mode: without this the window would stay blank.
    frmRestore->Repaint();
}

void CloseRestoreWindow() {
    // A click on the close box while a converter pumped messages has freed the window already.
    if (frmRestore) frmRestore->Close();
}
