// Start-up of setup: paths, the language name from Lang.cfg, the command line, and the two
// modes (wizard without arguments, restore with at least one).
#pragma once

#include <string>
#include <vector>

// AppDir/PluginDir := folder of the program with trailing separator; TempPath := the user's
// temporary folder. Raises rtl::EOSError when the temporary folder cannot be had or does not
// fit (every later path is built on it).
void InitPaths();

// LastLanguage := [Language] LastLanguage of AppDir + "Lang.cfg", "English" when the file,
// section or key is missing. The file is only read.
void ReadLastLanguage();

// The arguments after the program name: separated by blanks and control characters; a
// double-quoted section belongs to one argument and its quotes are dropped; an empty pair of
// quotes is no argument.
std::vector<std::string> SplitCommandLine(const char* commandLine);

// Starts SetupDir + "setup.prg" (normal priority, no new console); success is not checked.
void StartSetupWithoutInstallation();

// The dictionary operations that the language choice needs (the wizard's dictionary).
class ILanguageChoice {
public:
    virtual ~ILanguageChoice() = default;
    virtual int LanguageCount() = 0;                   // may raise (file cannot be opened)
    virtual std::string EnglishName(int index) = 0;    // of GetLanguageInfo(index)
    virtual bool IsCodePageSupported(int index) = 0;   // asked of the dictionary's class
    virtual void SetLanguage(int index) = 0;
};

// Selects the language whose English name equals LastLanguage (case-sensitive; languages
// 1..count-1; the last match wins); language 1 when the match's code page cannot be shown.
void ChooseDictionaryLanguage(ILanguageChoice& dictionary);

// The whole program: both modes, with the default error display for an exception that
// escapes. Returns the exit code.
int RunSetup();
