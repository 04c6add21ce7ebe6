// Plug-ins of setup's folder (version probes and converters) and the restore-mode driver.
//
// Every *.dll of PluginDir but the one named exactly "_SETUP.DLL" is loaded and never
// unloaded. Modules exporting GetDBVersion join DBVersionPlugIns, those exporting
// GetConvertVersions join ConverterPlugIns. Exports are looked up by name at every use.
#pragma once

#include "version_code.h"

// Fills DBVersionPlugIns and ConverterPlugIns; advances the start-up window's progress bar
// by 100 div n per folder entry while that window exists.
void LoadPlugIns();

// The greatest answer of the probes' GetDBVersion other than "Nop"; "Nop" when none.
TVersionCode GetOldDatabaseVersion();

// Restore mode: shows the restore window, learns NewVersion from the probes' GetLumexVersion,
// then copies the saved database back (same version) or calls Convert of every converter
// whose pair equals (OldVersion, NewVersion), in list order. Raises what the engine or a
// converter raises, and rtl::EInOutError naming the files that could not be copied back.
void RestoreSavedDatabase();

// The progress step for n counted entries (100 div n; 0 when nothing was counted).
int ProgressStep(int counted);
