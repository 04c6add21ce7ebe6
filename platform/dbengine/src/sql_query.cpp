// TQuery: the UPDATE statement over every row of one table (see dbengine/query.h).
//
// A table that no table object of the process holds is rewritten from its files row by row
// (sql_update.cpp). Otherwise every row is rewritten into a new row set; a key collision, a
// validity check or a value that does not fit stops the statement before the loaded table
// changes. The new rows are then swapped in and written; a failed write swaps the old rows
// back.
#include "dbengine/query.h"

#include <cctype>

#include "dbengine/table.h"
#include "rtl/strutil.h"
#include "secondary_index.h"
#include "sql_parser.h"
#include "sql_update.h"
#include "tabledata.h"
#include "table_hooks.h"
#include "val_checks.h"

namespace dbe {

using namespace detail;

namespace {

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) {
        if (!s.empty()) s += '\n';
        s += l;
    }
    return s;
}

// The parameter names that the text uses (":Name" outside quotes), in order of appearance.
std::vector<std::string> ParamNames(const std::string& text) {
    std::vector<std::string> out;
    char quote = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == ':') {
            size_t b = i + 1, e = b;
            while (e < text.size() && (std::isalnum(static_cast<unsigned char>(text[e])) || text[e] == '_')) ++e;
            if (e > b) out.push_back(text.substr(b, e - b));
            i = e - 1;
        }
    }
    return out;
}

}  // namespace

TParam& TQuery::ParamByName(const std::string& name) {
    for (TParam& p : params_)
        if (rtl::AsciiSameText(p.Name(), name)) return p;
    for (const std::string& n : ParamNames(JoinLines(SQL)))
        if (rtl::AsciiSameText(n, name)) {
            params_.emplace_back(n);
            return params_.back();
        }
    throw EDatabaseError(rtl::Format("Parameter '%s' not found", name.c_str()));
}

void TQuery::ExecSQL() {
    InstallValidityChecks();
    InstallSecondaryIndexes();
    rowsAffected_ = 0;
    sql::TUpdateStatement st;
    std::string error;
    if (!sql::ParseUpdate(JoinLines(SQL), st, error)) throw EDBEngineError(ecUnsupported, error);

    const std::string folder = Session().ResolveDatabase(DatabaseName);
    const std::string path = FindFileNoCase(folder, TableFileName(st.Table));
    if (path.empty()) throw EDBEngineError(ecNoSuchTable, "Table '" + folder + TableFileName(st.Table) + "' does not exist");
    const std::string file = TableFileName(st.Table);

    // Resolves fields and values before any row is touched.
    auto resolve = [&](const Schema& schema) {
        std::vector<UpdateAssignment> assigns;
        for (const sql::TAssignment& a : st.Set) {
            int f = schema.FindField(a.Field);
            if (f < 0) throw EDBEngineError(ecInvalidDefinition, "Unknown field '" + a.Field + "' in table '" + file + "'");
            const FieldInfo& fi = schema.fields[size_t(f)];
            TValue v;
            if (a.IsParam) {
                const TParam* p = nullptr;
                for (const TParam& q : params_)
                    if (rtl::AsciiSameText(q.Name(), a.Param)) p = &q;
                if (!p || !p->Bound()) throw EDBEngineError(ecInvalidDefinition, "No value for parameter '" + a.Param + "'");
                if (fi.code == fcAlpha || fi.blob) {
                    if (!p->AsString().empty()) v = p->AsString();
                } else {
                    try {
                        v = TextToValue(fi, p->AsString());
                    } catch (const EDBEngineError&) {
                        throw;
                    } catch (const rtl::Exception& e) {
                        throw EDBEngineError(ecInvalidDefinition, "Parameter '" + a.Param + "': " + e.Message());
                    }
                }
            } else {
                v = a.Value;
            }
            assigns.push_back({f, std::move(v)});
        }
        return assigns;
    };

    // A table that no table object holds is rewritten from its files, without loading it.
    int streamed = 0;
    if (TryStreamedUpdate(path, file, resolve, streamed)) {
        rowsAffected_ = streamed;
        return;
    }

    std::shared_ptr<TableData> t = AcquireTable(path);
    struct Release {
        std::shared_ptr<TableData>& t;
        ~Release() {
            if (t) try { ReleaseTable(t); } catch (...) {}
        }
    } release{t};
    const std::vector<UpdateAssignment> assigns = resolve(t->schema);

    const Schema& s = t->schema;
    RowSet next(RecordLess{&s});
    std::vector<RecordPtr> old;
    old.reserve(t->rows.size());
    for (const RecordPtr& r : t->rows) {
        auto rec = std::make_shared<Record>(*r);
        ApplyAssignments(s, *rec, assigns);
        RunBeforePost(*t, *rec, false);
        next.insert(next.end(), rec);
        old.push_back(r);
    }
    // Rows sort by key, then arrival: equal keys are neighbours.
    if (s.keyFields > 0) {
        const Record* prev = nullptr;
        for (const RecordPtr& r : next) {
            if (prev && CompareKeys(s, *prev, *r) == 0)
                throw EDBEngineError(ecKeyViolation,
                                     "Key violation in table '" + file + "': the update gives two rows the same key");
            prev = r.get();
        }
    }

    RowSet previous(RecordLess{&s});
    previous.swap(t->rows);
    t->rows.swap(next);
    const bool wasDirty = t->dirty;
    t->Touch();
    try {
        FlushTable(*t);
    } catch (...) {
        t->rows.swap(previous);
        t->Touch();
        t->dirty = wasDirty;
        throw;
    }
    for (const RecordPtr& r : old) r->deleted = true;
    rowsAffected_ = int(old.size());
    auto last = std::move(t);
    t.reset();
    ReleaseTable(last);
}

}  // namespace dbe
