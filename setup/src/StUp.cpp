#include "StUp.h"

#include "formfields.h"
#include "formhooks.h"
#include "globals.h"

KXC_IMPLEMENT_CLASS(TfrmStUp)

void TfrmStUp::DescribeClass(kxc::TClassBuilder<TfrmStUp>&) {}

TfrmStUp::TfrmStUp(kxc::TComponent* owner) : kxc::TForm(owner) {}

void TfrmStUp::Loaded() {
    inherited::Loaded();
    BindFormField(this, picStartUp, "picStartUp");
    BindFormField(this, Label1, "Label1");
    BindFormField(this, pbPrep, "pbPrep");
}

void CreateAndShowStartupWindow() {
    kxc::Application->CreateForm(frmStUp);
    frmStUp->picStartUp->Picture()->SetGraphic(kxc::Application->Icon());
    frmStUp->Show();
    frmStUp->Repaint();
}

void AdvanceStartupProgress(int step) {
    if (!frmStUp) return;
    frmStUp->pbPrep->SetPosition(frmStUp->pbPrep->Position() + step);
    frmStUp->pbPrep->Repaint();
    frmStUp->Repaint();
}

void FreeStartupWindow() {
    if (!frmStUp) return;
    TfrmStUp* f = frmStUp;
    frmStUp = nullptr;
    f->Free();
}
