// The earlier installation and the processes around it: finds the product's entries in the
// Windows uninstall registry, keeps a copy of the old configuration file in "C:\a.tmp", runs
// the old version's uninstaller, starts the product's set-up setup.prg, watches the set-up's
// windows, and starts setup again in restore mode.
//
// The registry is only read (HKEY_LOCAL_MACHINE, the key kUninstallKey, KEY_READ, always the
// 32-bit view that the product's programs see; every key is closed again before an operation
// returns). Every process start passes StartupInfo and
// leaves the new process's handles in ProcessInfo (globals.h), which keeps them open.
// Raises rtl::ERegistryException "Invalid data type for 'UninstallString'" when a product
// entry's UninstallString is not a string; nothing else raises.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One process start as the system makes them all: no security attributes, no inherited
// handles, our environment and current folder, the shared StartupInfo; the new process's
// handles land in ProcessInfo. False when the start failed.
bool StartProcess(const char* applicationName, const std::string& commandLine,
                  unsigned long flags);

// The uninstall key's path below HKEY_LOCAL_MACHINE, opened without a leading backslash;
// the trailing backslash lets a subkey's name be appended directly.
extern const char* const kUninstallKey;

// True when the subkey name, with the letters A-Z folded to a-z (nothing else changed),
// holds "lumex", "ostra", "korvix light", "korvix net" or "korvixnet".
bool IsProductEntry(const std::string& subkeyName);

// The installation folder named by an uninstall command: the text after its first "-f" up
// to its first "DeIsL" (both case-sensitive); empty when that span is empty or negative.
std::string InstallFolderFromCommand(const std::string& uninstallCommand);

// The uninstall key's subkey names in the registry's enumeration order (none when the key
// cannot be opened).
std::vector<std::string> UninstallSubkeys();

// True when a product entry exists. Then refreshes "C:\a.tmp" from the last product entry's
// configuration folder: lumex.cfg, then ostra.cfg, each copied over it when present.
bool FindOldInstallation();

// The number of product entries, read afresh; *firstEntry (when given) := the first one in
// enumeration order, empty when there is none.
int32_t CountOldInstallEntries(std::string* firstEntry = nullptr);

// Runs the UninstallString of that entry as the whole command line (new console) and waits,
// without time limit, until that process has ended. Neither input nor posted messages are
// processed meanwhile; messages that other threads send to this thread's windows are
// answered, so a program that sends to every window cannot block the wait.
// Returns false, without waiting, when the entry no longer exists or the command could not
// be started; the caller's entry counts then tell what happened.
bool RunOldUninstaller(const std::string& entryName);

// Starts SetupDir + "setup.prg" with a new console; does not wait. False when it could not
// be started: then no set-up window will ever appear, so the caller must not wait for one.
bool StartSetupProgram();

// Returns when a window of class "InstallShield_Win" has appeared and gone and then no
// window of class "isdelete" is left. Processes the thread's messages before every look,
// through processMessages when given (e.g. the application's own loop step), else by
// dispatching them itself (a WM_QUIT it meets is posted again when the wait ends); between
// looks it sleeps until a message arrives or about 50 ms have passed. No time limit, but it
// also returns, as after a cancelled set-up:
// - when the set-up's process (the one ProcessInfo holds at the call) has ended without a
//   window of class "InstallShield_Win" having appeared, once a short grace period for a
//   window still being created has passed;
// - when a termination was requested: a WM_QUIT met by its own dispatching, or
//   stopRequested (when given) answering true after a step.
void WaitForInstallShield(void (*processMessages)() = nullptr,
                          bool (*stopRequested)() = nullptr);

// Starts this program again in restore mode with OldVersion as its first argument; does
// not wait. A version with blanks or control characters is passed in quotes; one that is
// empty or holds a double quote cannot reach the new instance as one argument and is refused
// (false, nothing started). False also when the start failed.
bool RelaunchForRestore();

// The command line that RelaunchForRestore uses for a program path and a version; empty when
// the version is refused.
std::string RestoreCommandLine(const std::string& programPath, const std::string& version);
