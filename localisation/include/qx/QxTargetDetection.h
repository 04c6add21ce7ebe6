// Design-time target detection: while a form is designed, the translator proposes its own
// targets. It looks at the published properties of the form and its components and adds the
// text properties worth translating: those the candidate file "Targets.txt" names (else six
// default names), and fixed properties of a few control classes. The tool's settings
// ("Detect", "RootDir") are string values of its registry key (HKEY_LOCAL_MACHINE, 32-bit
// view); the settings source can be replaced, and the key name changed, for tests.
//
// Only a component in design state runs any of it; a program that loads its forms at run time
// never does.
//
// Raises: DetectTargets and ReadCandidateTargets pass on what reading the candidate file
// raises (rtl::EFOpenError, rtl::EReadError); the guarded entry points (DetectFormTargets,
// DetectTargetsGuarded, RunDropTimeDetection) raise nothing: they show the error box of the
// application services instead. Ownership: targets are added to the caller's list; the
// settings source given to SetToolSettings stays the caller's.
#pragma once

#include <string>

#include "components/classes.h"
#include "qx/QxTargets.h"

namespace qx {

// ---- Tool settings ----

// The tool's settings key under HKEY_LOCAL_MACHINE, without a leading "\" (the system refuses
// one): "Software\Glossavant\" and the form designer's name and major version.
extern const char* const QxToolSettingsKeyName;
// The key the platform's settings source reads; QxToolSettingsKeyName unless a test set
// another.
extern std::string ToolSettingsKey;

class TQxToolSettings {
public:
    virtual ~TQxToolSettings();
    // The string value `valueName` of the settings key; false when the key cannot be opened
    // or the value does not exist or holds no string.
    virtual bool ReadString(const std::string& valueName, std::string& value) = 0;
};
// The source in force: the platform's (the registry on Windows, none elsewhere) or a test's.
TQxToolSettings& ToolSettings();
// Puts `settings` in force (nullptr: the platform's) and returns the one it replaces (nullptr
// when that was the platform's).
TQxToolSettings* SetToolSettings(TQxToolSettings* settings);
TQxToolSettings& PlatformToolSettings();

// The setting's text, or `defaultValue` when it cannot be read.
std::string ReadToolSetting(const std::string& valueName, const std::string& defaultValue);

// ---- Candidates ----

constexpr int QxDefaultTargetNameCount = 6;
// "Caption", "Hint", "Items", "Lines", "Hints", "Tabs": the candidates for any class when the
// candidate file gives none.
extern const char* const DefaultTargetNames[QxDefaultTargetNameCount];
// The candidate file's name, in the folder of the setting "RootDir".
extern const char* const QxCandidateFileName;

// The include targets of a candidate file's text: one per line, "class,property" cut with the
// string parser (a line without "," names a class with an empty property); empty lines and
// lines that begin with ";" or ":" are skipped. Lines end at CR, LF or CR LF.
void ParseCandidateTargets(const std::string& text, TQxTargetProperties& candidates);
// The candidate file of `folder` ("\" or, away from Windows, "/" between them) added to
// `candidates` when it exists; raises what reading it raises.
void ReadCandidateTargets(const std::string& folder, TQxTargetProperties& candidates);
// The candidate list of one examination: the file under the setting "RootDir" (default "."),
// else the default names for any class.
void BuildCandidateTargets(TQxTargetProperties& candidates);

// ---- Detection ----

// True when the object's class or one of its ancestors up to and including "TControl" (no
// higher) is named exactly `className` (letter case counts).
bool InheritsFromClassName(const kxc::TObject* object, const std::string& className);

// Adds an include target for `propertyName` of the object's class (classOnly) or of any
// class, unless the property is excluded for that class in `targets`, or (with `candidates`
// given) is no candidate for it, or is a target already.
void ConsiderTarget(const kxc::TObject* object, const std::string& propertyName, bool classOnly,
                    const TQxTargetProperties* candidates, TQxTargetProperties& targets);
// Examines `object` and the objects its properties lead to, each once (a cycle of references
// ends); dictionaries and translators are left alone. Nothing for no object.
void DetectTargets(kxc::TObject* object, TQxTargetProperties& targets);
// DetectTargets on the root, then on each component the root owns, in order, under the error
// guard. Nothing without a root.
void DetectFormTargets(kxc::TComponent* root, TQxTargetProperties& targets);
// DetectTargets under the error guard (a component inserted into a designed form).
void DetectTargetsGuarded(kxc::TObject* object, TQxTargetProperties& targets);

// What a translator just dropped on `root` does, by the setting "Detect" (default "2", a text
// that is no integer counting as 2, its low 8 bits deciding): 2 detects at once, 1 asks first,
// anything else nothing.
void RunDropTimeDetection(kxc::TComponent* root, TQxTargetProperties& targets);

// The texts of the dialogs.
extern const char* const QxDetectionFailedText;
extern const char* const QxDetectQuestionText;

}  // namespace qx
