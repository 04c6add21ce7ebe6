// Writes the fuzz target's seed corpus into the folder given: tables written by pxlib (every
// field type it writes, keyed and unkeyed, several block sizes, BLOBs) and by the engine.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

extern "C" {
#include <paradox.h>
}

#include "dbengine/dbengine.h"
#include "tabledata.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteSeed(const fs::path& corpus, const std::string& name, const fs::path& db, const fs::path& mb) {
    std::string d = ReadAll(db), m = fs::exists(mb) ? ReadAll(mb) : std::string();
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

void EngineTable(const fs::path& work, const fs::path& corpus, int level, int blockSize) {
    using namespace dbe;
    detail::CreateSpec s;
    s.tableName = "E";
    s.level = level;
    s.blockSize = blockSize;
    s.codePage = 1251;
    s.sortOrder = "ancyrr";
    auto field = [](const char* n, TFieldType t, int size, bool key) {
        detail::FieldSpec f;
        f.name = n;
        f.type = t;
        f.size = size;
        f.key = key;
        return f;
    };
    s.fields = {field("K", TFieldType::String, 10, true), field("I", TFieldType::Integer, 0, false),
                field("G", TFieldType::Graphic, 0, false), field("M", TFieldType::Memo, 8, false)};
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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seed_corpus <folder>\n");
        return 2;
    }
    fs::path corpus = argv[1];
    fs::path work = corpus.string() + "-work";
    fs::remove_all(corpus);
    fs::remove_all(work);
    fs::create_directories(corpus);
    fs::create_directories(work);
    PX_boot();
    for (int kb : {1, 2, 4})
        for (bool keyed : {false, true}) PxlibTable(work, corpus, kb, keyed, kb == 1 ? 30 : 120);
    for (auto [level, bs] : {std::pair{4, 1024}, std::pair{5, 2048}, std::pair{7, 4096}})
        EngineTable(work, corpus, level, bs);
    PX_shutdown();
    fs::remove_all(work);
    return 0;
}
