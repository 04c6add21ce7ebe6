// The session: aliases from the configuration file and of this process, database names,
// table lists and the directory query.
#include "dbengine/session.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "database.h"
#include "dbengine/errors.h"
#include "fileio.h"
#include "rtl/strutil.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace dbe {
namespace {

std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
    return s.substr(b, e - b);
}

// Where the persistent aliases live: the registry value, else the environment variable.
std::string ConfigFileLocation() {
#ifdef _WIN32
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Korvix\\DBEngine", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key) == ERROR_SUCCESS) {
        char buf[1024];
        DWORD type = 0, size = sizeof buf - 1;
        LONG rc = RegQueryValueExA(key, "ConfigFile", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
        RegCloseKey(key);
        if (rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
            buf[std::min<DWORD>(size, sizeof buf - 1)] = '\0';
            std::string v(buf);
            if (!v.empty()) return v;
        }
    }
#endif
    const char* env = std::getenv("KX_DBENGINE_CONFIG");
    return env ? std::string(env) : std::string();
}

// Glob match ignoring ASCII case: '*' any run, '?' one character.
bool Matches(const char* p, const char* s) {
    while (*p) {
        if (*p == '*') {
            while (*p == '*') ++p;
            if (!*p) return true;
            for (; *s; ++s)
                if (Matches(p, s)) return true;
            return Matches(p, s);
        }
        if (!*s) return false;
        char a = *p, b = *s;
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
        if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
        if (a != '?' && a != b) return false;
        ++p;
        ++s;
    }
    return *s == '\0';
}

}  // namespace

TSession::TSession() {
    configFile_ = ConfigFileLocation();
    if (configFile_.empty()) return;
    std::string text;
    if (!detail::ReadWholeFile(configFile_, text)) return;  // no file yet: no persistent aliases
    std::istringstream in(text);
    std::string line;
    Alias* cur = nullptr;
    std::string type;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            std::string name = Trim(line.substr(1, line.size() - 2));
            cur = nullptr;
            if (name.empty() || Find(name, cmAll)) continue;  // first definition wins
            aliases_.push_back(Alias{name, "", "PARADOX", true});
            cur = &aliases_.back();
            continue;
        }
        if (!cur) continue;
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = rtl::AsciiUpper(Trim(line.substr(0, eq)));
        std::string value = Trim(line.substr(eq + 1));
        if (key == "PATH") cur->path = value;
        else if (key == "DEFAULT DRIVER") cur->driver = value;
    }
}

TSession& Session() {
    static TSession session;
    return session;
}

TSession::Alias* TSession::Find(const std::string& name, unsigned mode) {
    // Persistent aliases are seen in persistent and virtual mode, session aliases in session
    // and virtual mode.
    for (auto& a : aliases_) {
        if (!rtl::AsciiSameText(a.name, name)) continue;
        bool visible = a.persistent ? (mode & (cmPersistent | cmVirtual)) != 0
                                    : (mode & (cmSession | cmVirtual)) != 0;
        if (visible) return &a;
    }
    return nullptr;
}

bool TSession::IsAlias(const std::string& name) { return Find(Trim(name), configMode_) != nullptr; }

void TSession::DeleteAlias(const std::string& name) {
    Alias* a = Find(Trim(name), configMode_);
    if (!a) throw EDBEngineError(ecUnknownAlias, "Unknown alias: " + name);
    aliases_.erase(aliases_.begin() + (a - aliases_.data()));
}

void TSession::AddStandardAlias(const std::string& name, const std::string& path,
                                const std::string& defaultDriver) {
    std::string n = Trim(name);
    if (n.empty()) throw EDBEngineError(ecUnknownAlias, "Alias name is empty");
    if (Find(n, cmAll)) throw EDBEngineError(ecAliasExists, "Alias already exists: " + n);
    aliases_.push_back(Alias{n, path, defaultDriver.empty() ? std::string("PARADOX") : defaultDriver, false});
}

std::string TSession::AliasPath(const std::string& name) {
    Alias* a = Find(Trim(name), configMode_);
    if (!a) throw EDBEngineError(ecUnknownAlias, "Unknown alias: " + name);
    return a->path;
}

std::vector<std::string> TSession::GetAliasNames() {
    std::vector<std::string> names;
    for (auto& a : aliases_)
        if (Find(a.name, configMode_) == &a) names.push_back(a.name);
    std::sort(names.begin(), names.end(),
              [](const std::string& x, const std::string& y) { return rtl::AsciiCompareText(x, y) < 0; });
    return names;
}

std::string TSession::ResolveDatabase(const std::string& databaseName) {
    std::string n = Trim(databaseName);
    // An empty name never means "the current folder": a caller must say which database.
    if (n.empty()) throw EDBEngineError(ecUnknownDatabase, "No database name given");
    std::string folder;
    if (Alias* a = Find(n, cmAll)) {
        folder = a->path;
        if (folder.empty()) throw EDBEngineError(ecUnknownDatabase, "Alias " + a->name + " has no PATH");
        if (!rtl::AsciiSameText(a->driver, "PARADOX") && !rtl::AsciiSameText(a->driver, "STANDARD"))
            throw EDBEngineError(ecUnknownDatabase, "Alias " + a->name + " uses driver " + a->driver);
    } else if (n.find_first_of("/\\") != std::string::npos || detail::DirectoryExists(n)) {
        folder = n;
    } else {
        throw EDBEngineError(ecUnknownDatabase, "Unknown database: " + n);
    }
    if (!detail::DirectoryExists(folder))
        throw EDBEngineError(ecUnknownDatabase, "Database folder does not exist: " + folder);
    char last = folder.back();
    if (last != '/' && last != '\\') folder += detail::PathSeparator();
    return folder;
}

std::vector<std::string> TSession::GetTableNames(const std::string& databaseName,
                                                 const std::string& pattern, bool extensions,
                                                 bool systemTables) {
    (void)systemTables;
    std::string folder = ResolveDatabase(databaseName);
    std::string pat = Trim(pattern);
    std::vector<std::string> names;
    for (auto& f : detail::ListFiles(folder)) {
        auto dot = f.find_last_of('.');
        if (dot == std::string::npos || !rtl::AsciiSameText(f.substr(dot), ".DB")) continue;
        std::string stem = f.substr(0, dot);
        if (!pat.empty() && pat != "*" && pat != "*.*" && !Matches(pat.c_str(), f.c_str()) &&
            !Matches(pat.c_str(), stem.c_str()))
            continue;
        names.push_back(extensions ? f : stem);
    }
    std::sort(names.begin(), names.end(), [](const std::string& x, const std::string& y) {
        int c = rtl::AsciiCompareText(x, y);
        return c != 0 ? c < 0 : x < y;
    });
    return names;
}

int DbiGetDirectory(hDBIDb db, bool fDefault, char* buffer) {
    (void)fDefault;
    if (!db || !buffer) return ecState;
    const std::string& d = db->directory;
    if (d.size() >= kDbiMaxPath) return ecOpenFailed;
    std::memcpy(buffer, d.c_str(), d.size() + 1);
    return 0;
}

}  // namespace dbe
