// Writes a fuzz target's seed corpus into the folder given.
//   make_seed_corpus FOLDER            fuzz_table: tables written by pxlib (every field type
//                                      it writes, keyed and unkeyed, several block sizes,
//                                      BLOBs) and by the engine
//   make_seed_corpus --family FOLDER SCHEMA-DIR...
//                                      fuzz_family: the same tables as whole families, a table
//                                      with checks and secondary indexes (also stored out of
//                                      key order), and a filled table of every definition in
//                                      the folders given
//   make_seed_corpus --restore FOLDER SCHEMA-DIR SAVED-DIR...
//                                      fuzz_restore: a filled saved table for each table of the
//                                      schema, and one for each saved table of an old version
//                                      that the schema holds, each after the schema table's
//                                      number
// The header's update time is zeroed in every seed, so that the corpus is the same on every
// run and the fixed-seed runs over it are repeatable.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

extern "C" {
#include <paradox.h>
}

#include "dbengine/dbengine.h"
#include "family_input.h"
#include "rtl/exceptions.h"
#include "tabledata.h"
#include "tdef.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A table-format file (.DB, .XGn) without the time of its writing.
std::string Timeless(std::string b) {
    constexpr std::size_t kUpdateTime = 0x60, kFileVersion = 0x39;
    if (b.size() >= kUpdateTime + 4 && static_cast<unsigned char>(b[kFileVersion]) >= 5)
        std::fill(b.begin() + kUpdateTime, b.begin() + kUpdateTime + 4, '\0');
    return b;
}

// Every file of the table's family (stem.*, any letter case), by its upper-case extension.
std::map<std::string, std::string> Family(const fs::path& db) {
    std::map<std::string, std::string> out;
    std::string stem = db.stem().string();
    std::transform(stem.begin(), stem.end(), stem.begin(), ::toupper);
    for (const auto& e : fs::directory_iterator(db.parent_path())) {
        std::string name = e.path().stem().string(), ext = e.path().extension().string();
        std::transform(name.begin(), name.end(), name.begin(), ::toupper);
        std::transform(ext.begin(), ext.end(), ext.begin(), ::toupper);
        if (name != stem || ext.size() < 2) continue;
        ext = ext.substr(1);
        std::string bytes = ReadAll(e.path());
        if (ext == "DB" || ext.rfind("XG", 0) == 0) bytes = Timeless(bytes);
        out[ext] = bytes;
    }
    return out;
}

// Where the family seeds go (nullptr: only the table seeds are written).
fs::path* g_familyCorpus = nullptr;

void WriteSeed(const fs::path& corpus, const std::string& name, const fs::path& db, const fs::path& mb) {
    if (g_familyCorpus) {
        WriteFile(*g_familyCorpus / name, kxfuzz::EncodeFamily(Family(db)));
        return;
    }
    std::string d = Timeless(ReadAll(db)), m = fs::exists(mb) ? ReadAll(mb) : std::string();
    uint32_t n = static_cast<uint32_t>(d.size());
    std::string seed;
    for (int i = 0; i < 4; ++i) seed += static_cast<char>((n >> (8 * i)) & 0xFF);
    seed += d + m;
    std::ofstream out(corpus / name, std::ios::binary);
    out.write(seed.data(), static_cast<std::streamsize>(seed.size()));
}

void PxlibTable(const fs::path& work, const fs::path& corpus, int blockKb, bool keyed, int rows) {
    pxdoc_t* doc = PX_new();
    const struct { const char* name; char type; int len; } defs[] = {
        {"Name", pxfAlpha, 12}, {"S", pxfShort, 2}, {"L", pxfLong, 4}, {"B", pxfLogical, 1},
        {"D", pxfDate, 4}, {"T", pxfTime, 4}, {"N", pxfNumber, 8}, {"C", pxfCurrency, 8},
        {"M", pxfMemoBLOb, 14}, {"TS", pxfTimestamp, 8}, {"A", pxfAutoInc, 4}};
    const int nf = sizeof(defs) / sizeof(defs[0]);
    auto* f = static_cast<pxfield_t*>(std::malloc(sizeof(pxfield_t) * nf));
    for (int i = 0; i < nf; ++i) {
        f[i].px_fname = strdup(defs[i].name);
        f[i].px_ftype = defs[i].type;
        f[i].px_flen = defs[i].len;
        f[i].px_fdc = 0;
    }
    fs::path db = work / "P.DB", mb = work / "P.MB";
    fs::remove(db);
    fs::remove(mb);
    PX_create_file(doc, f, nf, db.string().c_str(), keyed ? pxfFileTypIndexDB : pxfFileTypNonIndexDB);
    PX_set_value(doc, "maxtablesize", blockKb);
    if (keyed) PX_set_value(doc, "numprimkeys", 1);
    PX_set_blob_file(doc, mb.string().c_str());
    std::string memo(6000, 'm');
    for (int r = 0; r < rows; ++r) {
        pxval_t* v[nf];
        for (int i = 0; i < nf; ++i) {
            MAKE_PXVAL(doc, v[i]);
            v[i]->type = defs[i].type;
            v[i]->isnull = (r % 7 == 3 && i > 0);
        }
        std::string name = "n" + std::to_string(r);
        v[0]->value.str.val = name.data();
        v[0]->value.str.len = static_cast<int>(name.size());
        v[1]->value.lval = r - 50;
        v[2]->value.lval = r * 100000L;
        v[3]->value.lval = r & 1;
        v[4]->value.lval = 700000 + r;
        v[5]->value.lval = r * 1000L;
        v[6]->value.dval = r / 3.0;
        v[7]->value.dval = r * 0.5;
        v[8]->value.str.val = memo.data();
        v[8]->value.str.len = r % 3 == 0 ? 3 : r % 3 == 1 ? 200 : 6000;
        v[9]->value.dval = 6.3e13 + r;
        v[10]->isnull = 1;
        PX_insert_record(doc, v);
        for (int i = 0; i < nf; ++i) FREE_PXVAL(doc, v[i]);
    }
    PX_close(doc);
    PX_delete(doc);
    WriteSeed(corpus, "pxlib-" + std::to_string(blockKb) + (keyed ? "k" : "u") + "-" + std::to_string(rows), db, mb);
}

// A field of a table definition.
dbe::detail::FieldSpec Field(const char* name, dbe::TFieldType type, int size, bool key) {
    dbe::detail::FieldSpec f;
    f.name = name;
    f.type = type;
    f.size = size;
    f.key = key;
    return f;
}

void EngineTable(const fs::path& work, const fs::path& corpus, int level, int blockSize) {
    using namespace dbe;
    detail::CreateSpec s;
    s.tableName = "E";
    s.level = level;
    s.blockSize = blockSize;
    s.codePage = 1251;
    s.sortOrder = "ancyrr";
    s.fields = {Field("K", TFieldType::String, 10, true), Field("I", TFieldType::Integer, 0, false),
                Field("G", TFieldType::Graphic, 0, false), Field("M", TFieldType::Memo, 8, false)};
    if (level < 5) s.fields[1].type = TFieldType::Smallint;
    std::string path = detail::CreateTable(work.string(), s);
    TTable t;
    t.DatabaseName = work.string();
    t.TableName = "E";
    t.Open();
    for (int r = 0; r < 40; ++r) {
        t.Append();
        t.FieldByName("K").SetAsString("k" + std::to_string(r * 13 % 40));
        t.FieldByName("I").SetAsInteger(r);
        if (r % 4 == 0) t.FieldByName("G").SetAsBlob(std::string(100 + r * 50, 'g'));
        t.FieldByName("M").SetAsString(std::string(static_cast<std::size_t>(r * 7), 'x'));
        t.Post();
    }
    t.Close();
    WriteSeed(corpus, "engine-" + std::to_string(level) + "-" + std::to_string(blockSize), path,
              detail::FamilyPath(path, "MB"));
}

// A value for field f of row r as text, inside the field's checks where it has them; "" to
// leave the field blank.
std::string ValueFor(const dbe::detail::FieldSpec& f, int r, int index) {
    using dbe::TFieldType;
    const int k = r * 7 + index;
    auto inRange = [&](long v) {
        long lo = f.hasMin ? std::strtol(f.minValue.c_str(), nullptr, 10) : -30000;
        long hi = f.hasMax ? std::strtol(f.maxValue.c_str(), nullptr, 10) : 30000;
        if (f.hasMin && !f.hasMax) hi = lo + 1000;
        if (hi < lo) hi = lo;
        return std::to_string(lo + (v % (hi - lo + 1) + (hi - lo + 1)) % (hi - lo + 1));
    };
    if (!f.key && r % 5 == 4) return std::string();
    switch (f.type) {
    case TFieldType::String: {
        // Cyrillic in code page 1251 ("Иванов"), then the row.
        std::string t = (k % 3 ? "\xC8\xE2\xE0\xED\xEE\xE2 " : "Name ") + std::to_string(r);
        if (t.size() > static_cast<std::size_t>(f.size)) t = t.substr(t.size() - static_cast<std::size_t>(f.size));
        return t;
    }
    case TFieldType::Smallint:
    case TFieldType::Integer: return inRange(f.key ? r : k * 13);
    case TFieldType::Boolean: return k % 2 ? "True" : "False";
    case TFieldType::Date: return "20" + std::to_string(10 + r % 20) + "-0" + std::to_string(1 + r % 9) + "-1" + std::to_string(r % 10);
    case TFieldType::Time: return "0" + std::to_string(r % 10) + ":3" + std::to_string(r % 10) + ":00";
    case TFieldType::TimeStamp:
    case TFieldType::DateTime: return "2010-12-31 1" + std::to_string(r % 10) + ":00:00";
    case TFieldType::Float:
    case TFieldType::Currency:
    case TFieldType::BCD: return std::to_string(r * 1.25 - 10);
    case TFieldType::Memo:
    case TFieldType::FmtMemo: return std::string(static_cast<std::size_t>(k * 37 % 700), static_cast<char>('a' + r % 26));
    case TFieldType::Graphic:
    case TFieldType::Blob:
    case TFieldType::OLE: return r % 3 ? std::string() : std::string(static_cast<std::size_t>(100 + r * 90), '\x7F');
    case TFieldType::Bytes: return std::string(static_cast<std::size_t>(f.size), static_cast<char>(r));
    default: return std::string();
    }
}

// Creates the table of the definition in folder and fills it with rows; the .DB path.
fs::path FilledTable(const fs::path& folder, const dbe::detail::CreateSpec& spec, int rows) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string db = dbe::detail::CreateTable(folder.string(), spec);
    dbe::TTable t;
    t.DatabaseName = folder.string();
    t.TableName = fs::path(db).filename().string();
    t.Open();
    for (int r = 0; r < rows; ++r) {
        t.Append();
        try {
            for (std::size_t i = 0; i < spec.fields.size(); ++i) {
                const auto& f = spec.fields[i];
                if (f.type == dbe::TFieldType::AutoInc) continue;
                const std::string v = ValueFor(f, r, static_cast<int>(i));
                if (v.empty()) continue;
                if (f.type == dbe::TFieldType::Graphic || f.type == dbe::TFieldType::Blob || f.type == dbe::TFieldType::OLE)
                    t.FieldByName(f.name).SetAsBlob(v);
                else
                    t.FieldByName(f.name).SetAsString(v);
            }
            t.Post();
        } catch (const rtl::Exception&) {
            t.Cancel();   // a row that the table's checks or key refuse: the next one
        }
    }
    t.Close();
    return db;
}

// The same family with the first two rows of its first block swapped: a keyed table stored
// out of key order.
std::map<std::string, std::string> OutOfOrder(std::map<std::string, std::string> family) {
    std::string& db = family["DB"];
    auto u16 = [&](std::size_t o) { return unsigned(static_cast<unsigned char>(db[o]) | (static_cast<unsigned char>(db[o + 1]) << 8)); };
    if (db.size() < 0x60) return family;
    const std::size_t rec = u16(0), header = u16(2), first = u16(0x0E);
    if (first == 0) return family;
    const std::size_t block = header + (first - 1) * std::size_t(static_cast<unsigned char>(db[5])) * 1024 + 6;
    if (block + 2 * rec > db.size()) return family;
    std::string a = db.substr(block, rec);
    db.replace(block, rec, db, block + rec, rec);
    db.replace(block + rec, rec, a);
    return family;
}

std::vector<std::pair<fs::path, dbe::detail::CreateSpec>> Definitions(const fs::path& dir) {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".tdef") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    std::vector<std::pair<fs::path, dbe::detail::CreateSpec>> out;
    for (const fs::path& p : files) {
        dbe::detail::CreateSpec spec;
        std::string error;
        if (!dbtool::ParseDefinition(ReadAll(p), spec, error)) {
            std::fprintf(stderr, "make_seed_corpus: %s: %s\n", p.string().c_str(), error.c_str());
            std::exit(1);
        }
        out.emplace_back(p, spec);
    }
    return out;
}

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), ::toupper);
    return s;
}

void TableSeeds(const fs::path& work, const fs::path& corpus) {
    PX_boot();
    for (int kb : {1, 2, 4})
        for (bool keyed : {false, true}) PxlibTable(work, corpus, kb, keyed, kb == 1 ? 30 : 120);
    for (auto [level, bs] : {std::pair{4, 1024}, std::pair{5, 2048}, std::pair{7, 4096}})
        EngineTable(work, corpus, level, bs);
    PX_shutdown();
}

void FamilySeeds(const fs::path& work, const fs::path& corpus, const std::vector<fs::path>& schemaDirs) {
    g_familyCorpus = const_cast<fs::path*>(&corpus);
    TableSeeds(work, corpus);
    g_familyCorpus = nullptr;
    // Checks of several kinds and two secondary indexes.
    using dbe::TFieldType;
    dbe::detail::CreateSpec s;
    s.tableName = "Checked";
    s.level = 7;
    s.blockSize = 1024;
    s.codePage = 1251;
    s.sortOrder = "ancyrr";
    s.fields = {Field("Name", TFieldType::String, 20, true), Field("Count", TFieldType::Smallint, 0, false),
                Field("Day", TFieldType::Date, 0, false), Field("Start", TFieldType::Time, 0, false),
                Field("Group", TFieldType::String, 31, false), Field("Note", TFieldType::Memo, 10, false)};
    s.fields[1].hasMin = s.fields[1].hasMax = s.fields[1].hasDefault = true;
    s.fields[1].minValue = "0";
    s.fields[1].maxValue = "255";
    s.fields[1].defaultValue = "10";
    s.fields[2].hasMin = true;
    s.fields[2].minValue = "2000-01-01";
    s.fields[3].required = true;
    s.fields[3].hasDefault = true;
    s.fields[3].defaultValue = "09:00:00";
    s.indexes = {{"IndGroup", {"Group"}}, {"IndDay", {"Day"}}};
    const auto family = Family(FilledTable(work / "checked", s, 60));
    WriteFile(corpus / "checked", kxfuzz::EncodeFamily(family));
    WriteFile(corpus / "checked-out-of-order", kxfuzz::EncodeFamily(OutOfOrder(family)));
    for (const fs::path& dir : schemaDirs)
        for (const auto& [path, spec] : Definitions(dir)) {
            const std::string name = dir.filename().string() + "-" + path.stem().string();
            const auto f = Family(FilledTable(work / name, spec, 40));
            WriteFile(corpus / name, kxfuzz::EncodeFamily(f));
        }
}

void RestoreSeeds(const fs::path& work, const fs::path& corpus, const fs::path& schemaDir,
                  const std::vector<fs::path>& savedDirs) {
    const auto schema = Definitions(schemaDir);
    auto seed = [&](std::size_t index, const std::string& name, const std::map<std::string, std::string>& family) {
        WriteFile(corpus / name, std::string(1, static_cast<char>(index)) + kxfuzz::EncodeFamily(family));
    };
    for (std::size_t i = 0; i < schema.size(); ++i) {
        const std::string name = "new-" + schema[i].first.stem().string();
        const auto family = Family(FilledTable(work / name, schema[i].second, 40));
        seed(i, name, family);
        if (schema[i].second.fields[0].key) seed(i, name + "-out-of-order", OutOfOrder(family));
    }
    for (const fs::path& dir : savedDirs)
        for (const auto& [path, spec] : Definitions(dir))
            for (std::size_t i = 0; i < schema.size(); ++i)
                if (Upper(schema[i].first.stem().string()) == Upper(path.stem().string())) {
                    const std::string name = dir.filename().string() + "-" + path.stem().string();
                    seed(i, name, Family(FilledTable(work / name, spec, 40)));
                }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const bool family = mode == "--family", restore = mode == "--restore";
    if ((family && argc < 3) || (restore && argc < 4) || (!family && !restore && argc != 2)) {
        std::fprintf(stderr,
                     "usage: make_seed_corpus FOLDER | --family FOLDER SCHEMA-DIR... | "
                     "--restore FOLDER SCHEMA-DIR SAVED-DIR...\n");
        return 2;
    }
    fs::path corpus = argv[family || restore ? 2 : 1];
    fs::path work = corpus.string() + "-work";
    fs::remove_all(corpus);
    fs::remove_all(work);
    fs::create_directories(corpus);
    fs::create_directories(work);
    std::vector<fs::path> dirs(argv + (family ? 3 : restore ? 4 : argc), argv + argc);
    if (family) FamilySeeds(work, corpus, dirs);
    else if (restore) RestoreSeeds(work, corpus, argv[3], dirs);
    else TableSeeds(work, corpus);
    fs::remove_all(work);
    return 0;
}
