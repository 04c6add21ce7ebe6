#include "CancelWarn.h"

#include "formfields.h"

KXC_IMPLEMENT_CLASS(TfrmCancelWarn)

void TfrmCancelWarn::DescribeClass(kxc::TClassBuilder<TfrmCancelWarn>& c) {
    c.Method("FormCreate", &TfrmCancelWarn::FormCreate);
    c.Method("btExitSetupClick", &TfrmCancelWarn::btExitSetupClick);
}

TfrmCancelWarn::TfrmCancelWarn(kxc::TComponent* owner) : kxc::TForm(owner) {}

void TfrmCancelWarn::Loaded() {
    inherited::Loaded();
    BindFormField(this, Label1, "Label1");
    BindFormField(this, Label2, "Label2");
    BindFormField(this, Label3, "Label3");
    BindFormField(this, btExitSetup, "btExitSetup");
    BindFormField(this, btResume, "btResume");
}

void TfrmCancelWarn::FormCreate(kxc::TObject*) { SetActiveControl(btResume); }

void TfrmCancelWarn::btExitSetupClick(kxc::TObject*) { kxc::Application->Terminate(); }
