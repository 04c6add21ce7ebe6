// Registry of the table write-path hooks (see table_hooks.h).
#include "table_hooks.h"

#include <memory>
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

// The list as the runners walk it: a copy made once per change of the registry, so that a
// hook may register or unregister others while it runs, and a row does not copy the list.
std::shared_ptr<const std::vector<Entry>>& Snapshot() {
    static std::shared_ptr<const std::vector<Entry>> s;
    return s;
}
std::shared_ptr<const std::vector<Entry>> List() {
    auto& s = Snapshot();
    if (!s) s = std::make_shared<const std::vector<Entry>>(Registry());
    return s;
}
int& NextId() {
    static int id = 1;
    return id;
}

}  // namespace

int RegisterTableHooks(TableHooks hooks) {
    int id = NextId()++;
    Registry().push_back(Entry{id, std::move(hooks)});
    Snapshot().reset();
    return id;
}

void UnregisterTableHooks(int id) {
    auto& r = Registry();
    for (auto it = r.begin(); it != r.end(); ++it)
        if (it->id == id) {
            r.erase(it);
            Snapshot().reset();
            return;
        }
}

void RunOnOpen(TableData& t) {
    const auto list = List();
    for (auto& e : *list)
        if (e.hooks.OnOpen) e.hooks.OnOpen(t);
}

void RunOnCreate(TableData& t, const CreateSpec& spec) {
    const auto list = List();
    for (auto& e : *list)
        if (e.hooks.OnCreate) e.hooks.OnCreate(t, spec);
}

void RunBeforePost(TableData& t, Record& row, bool isInsert) {
    CheckWritable(t);
    const auto list = List();
    for (auto& e : *list)
        if (e.hooks.BeforePost) e.hooks.BeforePost(t, row, isInsert);
}

void RunAfterChange(TableData& t, const Record* old, const Record* now) {
    const auto list = List();
    for (auto& e : *list)
        if (e.hooks.AfterChange) e.hooks.AfterChange(t, old, now);
}

void RunAfterSave(TableData& t) {
    const auto list = List();
    for (auto& e : *list)
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
