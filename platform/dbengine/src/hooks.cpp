// Registry of the table write-path hooks (see table_hooks.h).
#include "table_hooks.h"

#include <mutex>
#include <utility>
#include <vector>

namespace dbe::detail {
namespace {

struct Entry {
    int id;
    TableHooks hooks;
};

// Function-local static: hooks may be registered from other translation units' static
// initialisers, before this file's globals would be constructed.
std::vector<Entry>& Registry() {
    static std::vector<Entry> r;
    return r;
}
int& NextId() {
    static int id = 1;
    return id;
}

}  // namespace

int RegisterTableHooks(TableHooks hooks) {
    int id = NextId()++;
    Registry().push_back(Entry{id, std::move(hooks)});
    return id;
}

void UnregisterTableHooks(int id) {
    auto& r = Registry();
    for (auto it = r.begin(); it != r.end(); ++it)
        if (it->id == id) {
            r.erase(it);
            return;
        }
}

// Each runner copies the list first, so a hook may register or unregister others.
void RunOnOpen(TableData& t) {
    auto list = Registry();
    for (auto& e : list)
        if (e.hooks.OnOpen) e.hooks.OnOpen(t);
}

void RunOnCreate(TableData& t, const CreateSpec& spec) {
    auto list = Registry();
    for (auto& e : list)
        if (e.hooks.OnCreate) e.hooks.OnCreate(t, spec);
}

void RunBeforePost(TableData& t, Record& row, bool isInsert) {
    CheckWritable(t);
    auto list = Registry();
    for (auto& e : list)
        if (e.hooks.BeforePost) e.hooks.BeforePost(t, row, isInsert);
}

void RunAfterChange(TableData& t, const Record* old, const Record* now) {
    auto list = Registry();
    for (auto& e : list)
        if (e.hooks.AfterChange) e.hooks.AfterChange(t, old, now);
}

void RunAfterSave(TableData& t) {
    auto list = Registry();
    for (auto& e : list)
        if (e.hooks.AfterSave) e.hooks.AfterSave(t);
}

std::function<void(TableData&, const CreateSpec&)> CreateStepRemovingFamilyOnFailure(
    void (*step)(TableData&, const CreateSpec&)) {
    return [step](TableData& t, const CreateSpec& spec) {
        try {
            step(t, spec);
        } catch (...) {
            try {
                DeleteFamily(t.dbPath);
            } catch (...) {
            }
            throw;
        }
    };
}

}  // namespace dbe::detail
