// What the start-up code and the restore driver need of setup's forms. The forms' own units
// implement these; the program entry and the driver never touch a control directly.
#pragma once

class ILanguageChoice;

// Wizard mode.
void CreateMainForm();                  // frmMain, owned by the application
ILanguageChoice& MainFormDictionary();  // frmMain's dictionary QxBinaryDictionary1
void CreateAndShowStartupWindow();      // frmStUp with the application's icon, shown, repainted
void AdvanceStartupProgress(int step);  // frmStUp's pbPrep += step, bar and window repainted
void FreeStartupWindow();
void RunMainFormModal();                // the program's only message loop
int MainFormExitCode();                 // 1 when the chosen restore could not be started, else 0
void FreeMainForm();

// Restore mode.
void CreateAndShowRestoreWindow();      // frmRestore without owner, shown and repainted
void CloseRestoreWindow();              // closes frmRestore while it still exists

// Application object.
void InitialiseApplication();
