// Sessions, aliases and database handles.
//
// One session per process, created by the first call of Session(). At its start it reads the
// persistent aliases from the engine's configuration file:
//   Windows: HKEY_LOCAL_MACHINE\SOFTWARE\Korvix\DBEngine, value "ConfigFile" (32-bit view);
//   natively, and on Windows when the value is missing: environment variable KX_DBENGINE_CONFIG.
// The file is INI text, one section per alias:
//   [LumexData]
//   TYPE=STANDARD
//   PATH=C:\Korvix\Data
//   DEFAULT DRIVER=PARADOX
// Aliases added with AddStandardAlias are session aliases: they live until the process ends
// and are never written to the file. Alias names compare without regard to letter case.
// Failures raise EDBEngineError.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace dbe {

enum TConfigMode : unsigned { cmVirtual = 1, cmPersistent = 2, cmSession = 4, cmAll = 7 };

class TSession {
public:
    // True when an alias of a kind that ConfigMode() admits has this name.
    bool IsAlias(const std::string& name);
    // Removes the alias (of an admitted kind) from this session; unknown name: EDBEngineError.
    void DeleteAlias(const std::string& name);
    // Adds a session alias of type STANDARD; a taken name raises EDBEngineError.
    void AddStandardAlias(const std::string& name, const std::string& path,
                          const std::string& defaultDriver);
    unsigned ConfigMode() const { return configMode_; }
    void SetConfigMode(unsigned m) { configMode_ = m & cmAll; }
    // The folder of an admitted alias; unknown alias: EDBEngineError.
    std::string AliasPath(const std::string& name);
    // Names of the admitted aliases, in the order of their names (ignoring case).
    std::vector<std::string> GetAliasNames();
    // File names of the tables of a database (alias or folder): "*.DB" files only, no family
    // files, sorted by name ignoring case. pattern: empty or "*" for all, else a file-name
    // pattern with '*' and '?'. extensions=false strips ".DB". systemTables is accepted for
    // the caller's sake; a Paradox folder has none.
    std::vector<std::string> GetTableNames(const std::string& databaseName,
                                           const std::string& pattern, bool extensions,
                                           bool systemTables);

    // Folder of a database name: an admitted alias, else an existing folder. Empty name,
    // unknown alias or missing folder: EDBEngineError. The result ends with a separator.
    std::string ResolveDatabase(const std::string& databaseName);

    // The configuration file in use ("" when none is named).
    const std::string& ConfigFile() const { return configFile_; }

    TSession();

private:
    struct Alias {
        std::string name, path, driver;
        bool persistent;
    };
    Alias* Find(const std::string& name, unsigned mode);
    std::vector<Alias> aliases_;
    unsigned configMode_ = cmAll;
    std::string configFile_;
};

// The process's session, started at the first call.
TSession& Session();

// Handle of an open database (owned by the table that opened it; valid while it is open).
using hDBIDb = struct DbiDatabase*;

// Copies the database's current folder (fDefault=false) into buffer, which holds at least
// 261 characters; the text ends with a path separator and a zero. Returns 0 on success, a
// nonzero engine error code otherwise (null handle, folder too long).
int DbiGetDirectory(hDBIDb db, bool fDefault, char* buffer);
constexpr std::size_t kDbiMaxPath = 261;

}  // namespace dbe
