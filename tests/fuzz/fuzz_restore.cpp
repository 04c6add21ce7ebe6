// libFuzzer entry: restore mode's batch move from a damaged saved table into the new database.
//
// Input: one byte that picks a table of the new database's schema (the definition files of
// the converters' archive, sorted by name), then a saved family of that name (family_input.h).
// The saved table is opened and moved with batAppendUpdate, mapped by every field name the
// two tables share (as the conversion maps them), into an empty table of the schema, which
// takes the move's bulk path. Every input must either move or raise EDBEngineError; the
// saved files must be left exactly as they were, and the destination must read back whole
// afterwards, whether the move wrote it or refused.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "dbengine/dbengine.h"
#include "family_input.h"
#include "rtl/strutil.h"
#include "tabledata.h"
#include "tdef.h"

namespace fs = std::filesystem;

namespace {

struct Destination {
    std::string stem;                              // "Personel"
    std::vector<std::string> fields;
    std::map<std::string, std::string> files;      // file name -> bytes of the empty table
};

std::vector<Destination> g_schema;
std::string g_saved, g_new;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
void WriteAll(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
void Empty(const std::string& folder) {
    for (const auto& e : fs::directory_iterator(folder)) fs::remove_all(e.path());
}

// Creates every table of the schema once; each run starts from copies of their files.
void LoadSchema(const fs::path& work) {
    std::vector<fs::path> defs;
    for (const auto& e : fs::directory_iterator(KX_FUZZ_SCHEMA_DIR))
        if (e.path().extension() == ".tdef") defs.push_back(e.path());
    std::sort(defs.begin(), defs.end());
    for (const fs::path& def : defs) {
        dbe::detail::CreateSpec spec;
        std::string error;
        if (!dbtool::ParseDefinition(ReadAll(def), spec, error)) std::abort();
        const fs::path folder = work / def.stem();
        fs::create_directories(folder);
        const std::string db = dbe::detail::CreateTable(folder.string(), spec);
        Destination d;
        d.stem = fs::path(db).stem().string();
        for (const auto& f : spec.fields) d.fields.push_back(f.name);
        for (const auto& e : fs::directory_iterator(folder)) d.files[e.path().filename().string()] = ReadAll(e.path());
        g_schema.push_back(std::move(d));
    }
    if (g_schema.empty()) std::abort();
}

void ReadEveryField(dbe::TTable& t) {
    std::size_t cells = 0;
    for (t.First(); !t.Eof(); t.Next())
        for (int i = 0; i < t.FieldCount(); ++i) cells += t.Fields(i).AsString().size();
    (void)cells;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path root = base / ("kxfuzz-restore-" + std::to_string(getpid()));
    fs::remove_all(root);
    g_saved = (root / "saved").string();
    g_new = (root / "new").string();
    fs::create_directories(g_saved);
    fs::create_directories(g_new);
    LoadSchema(root / "schema");
    static std::string rootText = root.string();
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(rootText, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    const Destination& dest = g_schema[data[0] % g_schema.size()];
    const auto saved = kxfuzz::DecodeFamily(data + 1, size - 1);
    if (!saved.count("DB")) return 0;
    Empty(g_saved);
    Empty(g_new);
    for (const auto& [ext, bytes] : saved) WriteAll(fs::path(g_saved) / (dest.stem + "." + ext), bytes);
    for (const auto& [name, bytes] : dest.files) WriteAll(fs::path(g_new) / name, bytes);

    try {
        dbe::TTable source, destination;
        source.DatabaseName = g_saved;
        source.TableName = dest.stem + ".DB";
        destination.DatabaseName = g_new;
        destination.TableName = dest.stem + ".DB";
        source.Open();
        dbe::TBatchMove move;
        move.Source = &source;
        move.Destination = &destination;
        move.Mode = dbe::batAppendUpdate;
        for (const auto& f : source.FieldDefs()) {
            if (f.Name == "OperNum") continue;
            for (const std::string& d : dest.fields)
                if (rtl::AsciiSameText(d, f.Name)) move.Mappings.push_back(f.Name + "=" + f.Name);
        }
        if (!move.Mappings.empty()) move.Execute();
        source.Close();
    } catch (const dbe::EDBEngineError&) {
    }

    // The saved folder is never written.
    std::size_t n = 0;
    for (const auto& e : fs::directory_iterator(g_saved)) {
        (void)e;
        ++n;
    }
    if (n != saved.size()) __builtin_trap();
    for (const auto& [ext, bytes] : saved)
        if (ReadAll(fs::path(g_saved) / (dest.stem + "." + ext)) != bytes) __builtin_trap();
    // What the move left in the new database is a sound table.
    try {
        dbe::TTable t;
        t.DatabaseName = g_new;
        t.TableName = dest.stem + ".DB";
        t.Open();
        ReadEveryField(t);
        t.Close();
    } catch (const dbe::EDBEngineError&) {
        __builtin_trap();
    }
    return 0;
}
