// dbtool's view of the validity checks and secondary indexes: installs the engine modules
// that keep them (so "create" writes .VAL and .XGn/.YGn files, and every command reads them)
// and prints them in "info" in the definition file's own syntax:
//   check FIELD [required] [min=V] [max=V] [default=V]
//   index NAME FIELD
#include <ostream>

#include "codepage.h"
#include "dbengine/validity.h"
#include "dbtool_extras.h"
#include "secondary_index.h"
#include "val_checks.h"

namespace {

std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string ValueText(const dbe::detail::TableData& t, const dbe::detail::FieldInfo& f, const std::string& raw) {
    if (dbe::TValValue::IsNull(raw)) return "blank";
    if (f.code == dbe::detail::fcAlpha)
        return Quoted(dbtool::CodePageToUtf8(dbe::TValValue::AsAlpha(raw), t.schema.codePage));
    return dbe::TValValue::ToText(f.code, raw);
}

void PrintChecksAndIndexes(const dbe::detail::TableData& t, std::ostream& out) {
    if (const dbe::TValidity* v = dbe::detail::ValidityOf(t)) {
        for (const dbe::TFieldCheck& c : v->Checks) {
            std::string name;
            for (const dbe::TValField& f : v->Fields)
                if (f.Number == c.FieldNo) name = f.Name;
            const int idx = t.schema.FindField(name);
            if (idx < 0) continue;
            const dbe::detail::FieldInfo& f = t.schema.fields[size_t(idx)];
            out << "check " << f.name;
            if (c.Required) out << " required";
            if (c.Min) out << " min=" << ValueText(t, f, *c.Min);
            if (c.Max) out << " max=" << ValueText(t, f, *c.Max);
            if (c.Default) out << " default=" << ValueText(t, f, *c.Default);
            out << "\n";
        }
    }
    for (const dbe::detail::SecondaryIndexDef& d : dbe::detail::SecondaryIndexesOf(t))
        out << "index " << d.name << " " << t.schema.fields[size_t(d.field)].name << "\n";
}

const bool kRegistered = [] {
    dbe::detail::InstallValidityChecks();
    dbe::detail::InstallSecondaryIndexes();
    dbtool::InfoPrinters().push_back(PrintChecksAndIndexes);
    return true;
}();

}  // namespace
