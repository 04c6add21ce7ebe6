#include "Saving.h"

#include "formfields.h"

KXC_IMPLEMENT_CLASS(TfrmSaving)

void TfrmSaving::DescribeClass(kxc::TClassBuilder<TfrmSaving>&) {}

TfrmSaving::TfrmSaving(kxc::TComponent* owner) : kxc::TForm(owner) {}

void TfrmSaving::Loaded() {
    inherited::Loaded();
    BindFormField(this, Panel1, "Panel1");
    BindFormField(this, Label1, "Label1");
    BindFormField(this, PIC, "PIC");
}
