// The process's loaded tables: one TableData per table file, shared by every TTable open on
// it, saved when its last user closes it (or at process exit for tables left open).
#include <map>

#include "rtl/strutil.h"
#include "secondary_index.h"
#include "table_hooks.h"
#include "tabledata.h"
#include "val_checks.h"

namespace dbe::detail {
namespace {

// File names compare ignoring case, as on Windows.
std::string Canonical(const std::string& path) {
    std::string p = rtl::AsciiLower(path);
    for (auto& c : p)
        if (c == '\\') c = '/';
    return p;
}

struct OpenTables {
    std::map<std::string, std::shared_ptr<TableData>> tables;
    ~OpenTables() {
        // Tables still open when the process ends keep their changes.
        for (auto& [k, t] : tables) {
            try {
                if (t->dirty) SaveTable(*t);
            } catch (...) {
            }
        }
    }
};

OpenTables& Registry() {
    static OpenTables r;
    return r;
}

}  // namespace

std::shared_ptr<TableData> AcquireTable(const std::string& dbPath) {
    // The checks and the secondary indexes follow every table from its first load on.
    InstallValidityChecks();
    InstallSecondaryIndexes();
    auto& reg = Registry().tables;
    std::string key = Canonical(dbPath);
    auto it = reg.find(key);
    if (it != reg.end()) {
        ++it->second->users;
        return it->second;
    }
    std::shared_ptr<TableData> t(LoadTable(dbPath).release());
    RunOnOpen(*t);
    t->users = 1;
    reg[key] = t;
    return t;
}

void ReleaseTable(const std::shared_ptr<TableData>& t) {
    if (!t) return;
    if (--t->users > 0) return;
    // Saved before it is forgotten: when the write fails the rows stay loaded (and the exit
    // handler tries again), the files on disk stay as they were.
    if (t->dirty) SaveTable(*t);
    auto& reg = Registry().tables;
    auto it = reg.find(Canonical(t->dbPath));
    if (it != reg.end() && it->second == t) reg.erase(it);
}

void FlushTable(TableData& t) {
    if (t.dirty) SaveTable(t);
}

void DiscardLoadedTable(const std::string& dbPath) {
    auto& reg = Registry().tables;
    auto it = reg.find(Canonical(dbPath));
    if (it != reg.end()) {
        it->second->dirty = false;
        reg.erase(it);
    }
}

std::shared_ptr<TableData> FindLoadedTable(const std::string& dbPath) {
    auto& reg = Registry().tables;
    auto it = reg.find(Canonical(dbPath));
    return it == reg.end() ? nullptr : it->second;
}

}  // namespace dbe::detail
