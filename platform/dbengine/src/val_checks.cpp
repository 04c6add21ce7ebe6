// Validity checks in the table write path (see val_checks.h).
#include "val_checks.h"

#include <cstdio>
#include <cstring>
#include <algorithm>
#include <mutex>

#include "rtl/strutil.h"
#include "fileio.h"
#include "table_hooks.h"

namespace dbe::detail {

namespace {

const char* const kExtension = "validity";

// Loaded checks of one table, resolved to schema field indexes.
struct ValState {
    TValidity val;
    struct Bound {
        int field;               // index into schema.fields
        const TFieldCheck* check;
    };
    std::vector<Bound> bound;
};

std::string BaseName(const std::string& path) {
    size_t p = path.find_last_of("/\\");
    return p == std::string::npos ? path : path.substr(p + 1);
}

uint8_t ValVersionFor(int fileVersion) {
    if (fileVersion <= 9) return 0x09;
    if (fileVersion <= 11) return 0x0A;
    return 0x0B;
}

// Change count of the table header, which the .VAL file repeats.
uint8_t TableChangeCount(const std::string& dbPath) {
    std::string hdr;
    if (!ReadFileStart(dbPath, 0x2E, hdr) || hdr.size() < 0x2E) return 0;
    return static_cast<uint8_t>(hdr[0x2D]);
}

void Bind(const TableData& t, ValState& st) {
    st.bound.clear();
    for (const TFieldCheck& c : st.val.Checks) {
        int idx = -1;
        for (const TValField& f : st.val.Fields)
            if (f.Number == c.FieldNo) idx = t.schema.FindField(f.Name);
        if (idx < 0 && c.FieldNo >= 1 && c.FieldNo <= t.schema.fields.size()) idx = c.FieldNo - 1;
        if (idx < 0) continue;
        const FieldInfo& f = t.schema.fields[size_t(idx)];
        if (f.blob) continue;  // no checks on BLOB contents
        st.bound.push_back({idx, &c});
    }
}

std::shared_ptr<ValState> StateOf(const TableData& t) {
    auto it = t.extensions.find(kExtension);
    if (it == t.extensions.end()) return nullptr;
    return std::static_pointer_cast<ValState>(it->second);
}

void MarkRequired(TableData& t, const ValState& st) {
    for (const ValState::Bound& b : st.bound)
        if (b.check->Required) t.schema.fields[size_t(b.field)].def.Required = true;
}

// Raw check value from the definition's text, through the field's own encoding.
std::string RawFromText(const TableData& t, const FieldInfo& f, const std::string& text) {
    Record r;
    r.data.assign(size_t(t.schema.recordSize), '\0');
    r.blobs.resize(t.schema.fields.size());
    EncodeValue(t.schema, f, r, TextToValue(f, text));
    return r.data.substr(size_t(f.offset), size_t(f.width));
}

void OnCreate(TableData& t, const CreateSpec& spec) {
    auto st = std::make_shared<ValState>();
    TValidity& v = st->val;
    v.Version = ValVersionFor(t.schema.fileVersion);
    v.ChangeCount = TableChangeCount(t.dbPath);
    v.TableName = BaseName(t.dbPath);
    for (size_t i = 0; i < t.schema.fields.size(); ++i) {
        const FieldInfo& f = t.schema.fields[i];
        v.Fields.push_back({f.name, f.code, uint8_t(f.width), uint16_t(i + 1)});
    }
    for (const FieldSpec& fs : spec.fields) {
        if (!fs.required && !fs.hasMin && !fs.hasMax && !fs.hasDefault) continue;
        int idx = t.schema.FindField(fs.name);
        if (idx < 0) continue;
        const FieldInfo& f = t.schema.fields[size_t(idx)];
        if (f.blob && (fs.hasMin || fs.hasMax || fs.hasDefault))
            throw EDBEngineError(ecInvalidDefinition,
                                 rtl::Format("Field '%s' of table '%s': BLOB fields take no minimum, maximum or default",
                                             f.name.c_str(), v.TableName.c_str()));
        TFieldCheck c;
        c.FieldNo = uint16_t(idx + 1);
        c.Required = fs.required;
        try {
            if (fs.hasMin) c.Min = RawFromText(t, f, fs.minValue);
            if (fs.hasMax) c.Max = RawFromText(t, f, fs.maxValue);
            if (fs.hasDefault) c.Default = RawFromText(t, f, fs.defaultValue);
        } catch (const EDBEngineError&) {
            throw;
        } catch (const rtl::Exception& e) {
            throw EDBEngineError(ecInvalidDefinition,
                                 rtl::Format("Field '%s' of table '%s': bad check value: %s", f.name.c_str(),
                                             v.TableName.c_str(), e.Message().c_str()));
        }
        v.Checks.push_back(std::move(c));
    }
    std::string valPath = FamilyPath(t.dbPath, "VAL");
    {
        size_t slash = t.dbPath.find_last_of("/\\");
        std::string existing = FindFileNoCase(slash == std::string::npos ? std::string(".") : t.dbPath.substr(0, slash),
                                              BaseName(valPath));
        if (!existing.empty()) valPath = existing;
    }
    if (v.Checks.empty()) {
        RemoveFile(valPath);
        t.extensions.erase(kExtension);
        return;
    }
    WriteFileReplacing(valPath, EncodeValidity(v));
    Bind(t, *st);
    MarkRequired(t, *st);
    t.extensions[kExtension] = st;
}

void OnOpen(TableData& t) {
    t.extensions.erase(kExtension);
    size_t slash = t.dbPath.find_last_of("/\\");
    std::string folder = slash == std::string::npos ? std::string() : t.dbPath.substr(0, slash + 1);
    std::string stem = BaseName(t.dbPath);
    size_t dot = stem.find_last_of('.');
    if (dot != std::string::npos) stem.resize(dot);
    const std::string path = FindFileNoCase(folder.empty() ? std::string(".") : folder, stem + ".VAL");
    if (path.empty()) return;
    // A check file that cannot be read or parsed leaves the table readable (its rows do not
    // depend on it), but no change may be written past checks that are unknown here.
    std::string bytes, error;
    if (!ReadWholeFile(path, bytes)) {
        t.writeRefusal = "Validity file '" + path + "' cannot be read: table '" + t.dbPath + "' cannot be changed";
        return;
    }
    auto st = std::make_shared<ValState>();
    if (!DecodeValidity(bytes, st->val, error)) {
        t.writeRefusal =
            "Validity file '" + path + "' is damaged (" + error + "): table '" + t.dbPath + "' cannot be changed";
        return;
    }
    Bind(t, *st);
    MarkRequired(t, *st);
    t.extensions[kExtension] = st;
}

// True when the n bytes at p are all zero (a blank field), compared a run at a time: a blank
// wide field is met in most rows.
bool AllZero(const char* p, std::size_t n) {
    static const char kZeros[256] = {};
    for (; n > sizeof kZeros; p += sizeof kZeros, n -= sizeof kZeros)
        if (std::memcmp(p, kZeros, sizeof kZeros) != 0) return false;
    return std::memcmp(p, kZeros, n) == 0;
}

// Writes the field's default into a null field of the row; false when it has none.
bool FillDefault(const FieldInfo& f, const TFieldCheck& c, Record& row) {
    if (!c.Default || TValValue::IsNull(*c.Default)) return false;
    std::memcpy(&row.data[size_t(f.offset)], c.Default->data(), std::min(c.Default->size(), size_t(f.width)));
    return true;
}

std::string ValueText(const FieldInfo& f, const std::string& raw) {
    if (TValValue::IsNull(raw)) return "blank";
    if (f.code == fcAlpha) return "'" + TValValue::AsAlpha(raw) + "'";
    return TValValue::ToText(f.code, raw);
}

}  // namespace

void InstallValidityChecks() {
    static std::once_flag once;
    std::call_once(once, [] {
        TableHooks h;
        h.OnOpen = OnOpen;
        // A definition whose checks cannot be stored leaves no table behind.
        h.OnCreate = CreateStepRemovingFamilyOnFailure(OnCreate);
        h.BeforePost = [](TableData& t, Record& row, bool isInsert) { ApplyValidity(t, row, isInsert); };
        RegisterTableHooks(std::move(h));
    });
}

const TValidity* ValidityOf(const TableData& t) {
    auto st = StateOf(t);
    return st ? &st->val : nullptr;
}

void ApplyValidity(const TableData& t, Record& row, bool isInsert) {
    auto st = StateOf(t);
    if (!st) return;
    for (const ValState::Bound& b : st->bound) {
        const FieldInfo& f = t.schema.fields[size_t(b.field)];
        const TFieldCheck& c = *b.check;
        // A default alone matters for an inserted row only.
        if (!c.Required && !c.Min && !c.Max && !(isInsert && c.Default)) continue;
        if (row.data.size() < size_t(f.offset + f.width)) continue;
        const char* p = &row.data[size_t(f.offset)];
        bool null = AllZero(p, size_t(f.width));
        // The table's name goes into the messages only: made when one is raised.
        struct LazyName {
            const std::string& path;
            std::string text;
            const char* c_str() {
                if (text.empty()) text = BaseName(path);
                return text.c_str();
            }
        } table{t.dbPath, std::string()};
        // A required field must be given by the row itself: its default does not stand in.
        if (null && c.Required)
            throw EDBEngineError(ecValidity, rtl::Format("Field value required: table '%s', field '%s', value blank",
                                                         table.c_str(), f.name.c_str()));
        if (null && isInsert && FillDefault(f, c, row)) null = false;
        if (null || (!c.Min && !c.Max)) continue;
        const std::string raw(p, size_t(f.width));
        if (c.Min && !TValValue::IsNull(*c.Min) && TValValue::Compare(f.code, raw, *c.Min) < 0)
            throw EDBEngineError(ecValidity,
                                 rtl::Format("Field value below the minimum: table '%s', field '%s', value %s, minimum %s",
                                             table.c_str(), f.name.c_str(), ValueText(f, raw).c_str(),
                                             ValueText(f, *c.Min).c_str()));
        if (c.Max && !TValValue::IsNull(*c.Max) && TValValue::Compare(f.code, raw, *c.Max) > 0)
            throw EDBEngineError(ecValidity,
                                 rtl::Format("Field value above the maximum: table '%s', field '%s', value %s, maximum %s",
                                             table.c_str(), f.name.c_str(), ValueText(f, raw).c_str(),
                                             ValueText(f, *c.Max).c_str()));
    }
}

void ApplyDefaults(const TableData& t, Record& row) {
    auto st = StateOf(t);
    if (!st) return;
    for (const ValState::Bound& b : st->bound) {
        const FieldInfo& f = t.schema.fields[size_t(b.field)];
        if (row.data.size() < size_t(f.offset + f.width)) continue;
        const char* p = row.data.data() + f.offset;
        if (AllZero(p, size_t(f.width))) FillDefault(f, *b.check, row);
    }
}

void WriteFileReplacing(const std::string& path, const std::string& bytes) {
    ReplaceFiles({{path, &bytes}});
}

}  // namespace dbe::detail
