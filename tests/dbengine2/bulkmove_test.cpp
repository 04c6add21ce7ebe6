// The batch move's bulk path (append-update into an empty table): for the same input it writes
// byte for byte the files that the row-by-row path writes (but the header's update time), pxlib
// reads them, and a move that fails on the way leaves the destination as it was.
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "bulkmove.h"
#include "index_check.h"
#include "tablestream.h"

using namespace dbe;
using namespace dbe::detail;
using namespace dbe2test;

namespace {

// The row-by-row path for the scope of one object.
struct RowByRow {
    RowByRow() { BulkMovesEnabled() = false; }
    ~RowByRow() { BulkMovesEnabled() = true; }
};

std::string Repeat(size_t n, char c) { return std::string(n, c); }

// "Ёж", "ёж", "Еж", "еж", "Жук", "жук", "Яма" and Latin words in code page 1251.
const char* const kCyrillic[] = {"\xA8\xE6", "\xB8\xE6", "\xC5\xE6", "\xE5\xE6", "\xC6\xF3\xEA",
                                 "\xE6\xF3\xEA", "\xDF\xEC\xE0", "Zebra", "apple", "Apple"};

struct Table {
    std::string name;
    std::string sortOrder = "ancyrr";
    int blockSize = 1024;
    std::vector<FieldSpec> fields;
    std::vector<IndexSpec> indexes;
};

std::string Make(const std::string& folder, const Table& t) {
    CreateSpec s;
    s.tableName = t.name;
    s.level = 7;
    s.blockSize = t.blockSize;
    s.codePage = 1251;
    s.sortOrder = t.sortOrder;
    s.fields = t.fields;
    s.indexes = t.indexes;
    return CreateTable(folder, s);
}

// The source of most cases: a key, a number, a memo with a 20-byte leader, a picture.
Table Source(const std::string& sortOrder = "ancyrr") {
    Table t;
    t.name = "Src";
    t.sortOrder = sortOrder;
    t.fields = {Field("Name", TFieldType::String, 20, true), Field("Num", TFieldType::Integer),
                Field("Note", TFieldType::Memo, 20), Field("Pic", TFieldType::Graphic, 0),
                Field("Group", TFieldType::String, 12)};
    return t;
}

// The destination: the same fields, a default, a range check, a secondary index and an
// extra field that the move does not give.
Table Dest(const std::string& sortOrder = "ancyrr") {
    Table t;
    t.name = "Dst";
    t.sortOrder = sortOrder;
    t.fields = {Field("Name", TFieldType::String, 20, true), WithMin(Field("Num", TFieldType::Integer), "-5"),
                Field("Note", TFieldType::Memo, 20), Field("Pic", TFieldType::Graphic, 0),
                Field("Group", TFieldType::String, 12), WithDefault(Field("Extra", TFieldType::Integer), "77")};
    t.indexes = {{"ByGroup", {"Group"}}, {"ByNum", {"Num"}}};
    return t;
}

// One source row: name, number, memo, picture, group ("" = null).
using Values = std::vector<std::string>;

void Fill(const std::string& folder, const std::string& table, const std::vector<Values>& rows) {
    TTable t;
    t.DatabaseName = folder;
    t.TableName = table;
    t.Open();
    for (const Values& v : rows) {
        t.Append();
        for (size_t i = 0; i < v.size(); ++i) {
            if (v[i].empty()) continue;
            TField& f = t.Fields(int(i));
            if (f.DataType() == TFieldType::Memo || f.DataType() == TFieldType::Graphic) f.SetAsBlob(v[i]);
            else f.SetAsString(v[i]);
        }
        t.Post();
    }
    t.Close();
}

std::vector<Values> Numbered(int n, const std::function<Values(int)>& row) {
    std::vector<Values> out;
    for (int i = 0; i < n; ++i) out.push_back(row(i));
    return out;
}

Values Plain(int i) {
    return {"k" + std::to_string(100000 + i), std::to_string(i % 50), "", "", "g" + std::to_string(i % 7)};
}

// A keyed table stored out of key order, with equal keys, as other writers leave them: the
// rows are written unkeyed in arrival order, then the header is made to say "keyed on the
// first field".
void MakeUnsortedKeyed(const std::string& folder, const std::vector<Values>& rows) {
    Table t = Source();
    t.name = "Src";
    for (FieldSpec& f : t.fields) f.key = false;
    Make(folder, t);
    Fill(folder, "Src", rows);
    std::string db = FileBytes(folder + "Src.DB");
    db[0x04] = 0;   // file type: keyed table
    db[0x23] = 1;   // key fields
    std::ofstream(folder + "Src.DB", std::ios::binary | std::ios::trunc).write(db.data(), std::streamsize(db.size()));
}

struct Case {
    const char* name;
    std::function<void(const std::string& folder)> makeSource;
    Table dest;
};

std::vector<Case> Cases() {
    const size_t perBlock = (1024 - 6) / (20 + 4 + 30 + 10 + 12 + 4);   // destination rows per block
    auto source = [](std::vector<Values> rows, std::string order = "ancyrr") {
        return [rows, order](const std::string& folder) {
            Make(folder, Source(order));
            Fill(folder, "Src", rows);
        };
    };
    auto blob = [](size_t n) { return Repeat(n, 'b'); };
    return {
        {"empty table", source({}), Dest()},
        {"one row", source({Plain(1)}), Dest()},
        {"one full block", source(Numbered(int(perBlock), Plain)), Dest()},
        {"one full block and one row", source(Numbered(int(perBlock) + 1, Plain)), Dest()},
        {"many blocks, two-level primary index", source(Numbered(1500, Plain)), Dest()},
        {"BLOBs at the leader, one over, one chunk, several chunks, null",
         source({{"a", "1", Repeat(20, 'm'), blob(10), "g"},
                 {"b", "2", Repeat(21, 'm'), blob(4096 - 9), "g"},
                 {"c", "3", Repeat(4096 - 9 + 1, 'm'), blob(3 * 4096 + 5), "h"},
                 {"d", "4", "", "", "h"},
                 {"e", "5", Repeat(19, 'm'), blob(1), ""}}),
         Dest()},
        {"Cyrillic keys with case ties",
         source(Numbered(10, [](int i) { return Values{kCyrillic[i], std::to_string(i), "", "", kCyrillic[9 - i]}; })),
         Dest()},
        {"indexed values alike in their first eight letters",
         source(Numbered(24, [](int i) {
             // "жукЖУКжу" with the case of its first two letters varied, then a tail that
             // decides by letter ("а", "Б", "Ё", "е"), by case only, or not at all.
             std::string v = "\xE6\xF3\xEA\xC6\xD3\xCA\xE6\xF3";
             if (i & 1) v[0] = '\xC6';
             if (i & 2) v[1] = '\xD3';
             const char* const tails[] = {"\xE0", "\xC1", "\xA8", "\xE5", "\xC5", "", "\xE0\xE0", "\xC0"};
             v += tails[(i / 3) % 8];
             return Values{"k" + std::to_string(100 + (i * 7) % 24), std::to_string(i % 3), "", "", v};
         })),
         Dest()},
        {"unsorted keyed source with equal keys",
         [](const std::string& folder) {
             MakeUnsortedKeyed(folder, Numbered(400, [](int i) {
                                   return Values{"k" + std::to_string((i * 37) % 150), std::to_string(i % 40),
                                                 i % 3 ? "" : Repeat(30 + i, 'n'), "", "g" + std::to_string(i % 5)};
                               }));
         },
         Dest()},
        {"unkeyed source with equal keys",
         [](const std::string& folder) {
             Table t = Source();
             for (FieldSpec& f : t.fields) f.key = false;
             Make(folder, t);
             Fill(folder, "Src", Numbered(300, [](int i) {
                      return Values{"k" + std::to_string((i * 11) % 97), std::to_string(i), "", "", ""};
                  }));
         },
         Dest()},
        {"unkeyed source in key order but for its last row",
         [](const std::string& folder) {
             Table t = Source();
             for (FieldSpec& f : t.fields) f.key = false;
             Make(folder, t);
             Fill(folder, "Src", Numbered(300, [](int i) {
                      return Values{"k" + std::to_string(i < 299 ? 100 + i : 250), std::to_string(i),
                                    i % 4 ? "" : Repeat(40 + i, 'n'), "", ""};
                  }));
         },
         Dest()},
        {"source and destination sort differently",
         source(Numbered(10, [](int i) { return Values{kCyrillic[i], std::to_string(i), "", "", "x"}; }), "ascii"),
         Dest("ancyrr")},
        {"unkeyed destination",
         source(Numbered(200, Plain)),
         [] {
             Table t = Dest();
             for (FieldSpec& f : t.fields) f.key = false;
             t.indexes.clear();
             return t;
         }()},
    };
}

// Moves Src into Dst of folder in append-update mode.
void Move(const std::string& folder) {
    TTable src, dst;
    src.DatabaseName = dst.DatabaseName = folder;
    src.TableName = "Src";
    dst.TableName = "Dst";
    TBatchMove m;
    m.Source = &src;
    m.Destination = &dst;
    m.Mode = batAppendUpdate;
    for (const char* f : {"Name", "Num", "Note", "Pic", "Group"}) m.Mappings.push_back(std::string(f) + "=" + f);
    m.Execute();
}

#ifdef KX_PXLIB
// Every row of a table as pxlib reads it, BLOBs included, as text; "" when pxlib fails.
std::vector<std::vector<std::string>> PxlibRows(const std::string& folder, const std::string& stem, std::string& error) {
    std::vector<std::vector<std::string>> rows;
    pxdoc_t* doc = PxNew();
    if (PX_open_file(doc, (folder + stem + ".DB").c_str()) != 0) {
        error = "pxlib does not open the table";
        PX_delete(doc);
        return rows;
    }
    // pxlib overruns a buffer on a BLOB file that ends on a chunk boundary: it gets a copy
    // one byte longer.
    const std::string mb = folder + stem + ".pxlib-mb";
    std::ofstream(mb, std::ios::binary).write((FileBytes(folder + stem + ".MB") + '\0').data(),
                                              std::streamsize(FileBytes(folder + stem + ".MB").size() + 1));
    PX_set_blob_file(doc, mb.c_str());
    const int n = PX_get_num_records(doc), nf = PX_get_num_fields(doc);
    pxfield_t* fields = PX_get_fields(doc);
    for (int i = 0; i < n; ++i) {
        pxval_t** v = PX_retrieve_record(doc, i);
        if (!v) {
            error = "pxlib does not read record " + std::to_string(i);
            break;
        }
        std::vector<std::string> r;
        for (int f = 0; f < nf; ++f) {
            const char type = fields[f].px_ftype;
            const bool text = type == pxfAlpha || type == pxfMemoBLOb || type == pxfGraphic;
            std::string s;
            if (!v[f]->isnull) {
                if (text) s.assign(v[f]->value.str.val, size_t(v[f]->value.str.len));
                else s = std::to_string(v[f]->value.lval);
                if (text) doc->free(doc, v[f]->value.str.val);
            }
            r.push_back(s);
            doc->free(doc, v[f]);
        }
        doc->free(doc, v);
        rows.push_back(r);
    }
    PX_close(doc);
    PX_delete(doc);
    std::remove(mb.c_str());
    return rows;
}
#endif

TEST(BulkMove, WritesTheFilesOfTheRowByRowPathForEveryCase) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        TempFolder ref, bulk;
        for (const std::string* folder : {&ref.path(), &bulk.path()}) {
            c.makeSource(*folder);
            Make(*folder, c.dest);
        }
        {
            RowByRow old;
            Move(ref.path());
        }
        const int before = BulkMovesDone();
        Move(bulk.path());
        EXPECT_EQ(BulkMovesDone(), before + 1) << "the bulk path was not taken";
        ExpectSameFiles(ref.path(), bulk.path());
        const std::vector<Row> rows = ReadRows(bulk.path(), "Dst");
        if (c.dest.indexes.size() && c.dest.fields[0].key) ExpectIndexesCurrent(bulk.path(), "Dst.DB", c.dest.indexes.size());
#ifdef KX_PXLIB
        std::string error;
        const auto px = PxlibRows(bulk.path(), "Dst", error);
        EXPECT_EQ(error, "");
        ASSERT_EQ(px.size(), rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(px[i][0], rows[i][0]) << "row " << i;   // key
            EXPECT_EQ(px[i][2], rows[i][2]) << "row " << i;   // memo
            // pxlib gives a picture without the 8-byte header that the class library stores.
            if (rows[i][3].size() > 8) {
                EXPECT_EQ(px[i][3], rows[i][3].substr(8)) << "row " << i;
            }
        }
#endif
    }
}

TEST(BulkMove, LaterRowOfAnEqualKeyReplacesTheEarlier) {
    TempFolder f;
    MakeUnsortedKeyed(f.path(), {{"b", "1", "", "", ""}, {"a", "2", "", "", ""}, {"b", "3", "", "", ""},
                                 {"a", "4", "", "", ""}, {"c", "5", "", "", ""}});
    Make(f.path(), Dest());
    Move(f.path());
    const std::vector<Row> rows = ReadRows(f.path(), "Dst");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0] + rows[0][1], "a4");
    EXPECT_EQ(rows[1][0] + rows[1][1], "b3");
    EXPECT_EQ(rows[2][0] + rows[2][1], "c5");
    EXPECT_EQ(rows[0][5], "77");   // the default of the field the move does not give
}

// A move that fails leaves every file of the folder as it was, and no temporary file.
void ExpectRefusedWithoutTrace(const std::string& folder, int code, const std::function<void()>& move) {
    const auto before = Snapshot(folder);
    try {
        move();
        ADD_FAILURE() << "the move did not fail";
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), code) << e.what();
    }
    EXPECT_EQ(Snapshot(folder), before);
}

TEST(BulkMove, RefusedRowLeavesTheDestinationAsItWas) {
    for (bool bulk : {true, false}) {
        SCOPED_TRACE(bulk ? "bulk" : "row by row");
        TempFolder f;
        Make(f.path(), Source());
        Fill(f.path(), "Src", Numbered(300, [](int i) { return Values{"k" + std::to_string(i), i == 250 ? "-9" : "1", "", "", ""}; }));
        Make(f.path(), Dest());
        BulkMovesEnabled() = bulk;
        ExpectRefusedWithoutTrace(f.path(), ecValidity, [&] { Move(f.path()); });
        BulkMovesEnabled() = true;
    }
}

TEST(BulkMove, TooManyRowsForTheFormatAreRefusedBeforeAnythingIsWritten) {
    // 65,536 rows of one block each (2,060 bytes in blocks of 4 KiB): one block more than the
    // format numbers.
    TempFolder f;
    Table src;
    src.name = "Src";
    src.fields = {Field("Name", TFieldType::String, 20)};
    const std::string srcPath = Make(f.path(), src);
    {
        TableReader empty(srcPath);
        Schema s = empty.header().schema;
        TableWriter w(s, s.tableName, 65536);
        w.Start(srcPath + ".new", "");
        std::string row(20, 'x');
        for (int i = 0; i < 65536; ++i) w.AddRow(row.data(), nullptr);
        w.Finish();
    }
    std::filesystem::rename(srcPath + ".new", srcPath);
    Table dst;
    dst.name = "Dst";
    dst.blockSize = 4096;
    dst.fields = {Field("Name", TFieldType::String, 20)};
    for (int i = 0; i < 8; ++i) dst.fields.push_back(Field("Wide" + std::to_string(i), TFieldType::String, 255));
    Make(f.path(), dst);
    ExpectRefusedWithoutTrace(f.path(), ecValueTooLong, [&] {
        TTable s, d;
        s.DatabaseName = d.DatabaseName = f.path();
        s.TableName = "Src";
        d.TableName = "Dst";
        TBatchMove m;
        m.Source = &s;
        m.Destination = &d;
        m.Mode = batAppendUpdate;
        m.Mappings = {"Name=Name"};
        m.Execute();
    });
}

#ifndef _WIN32
TEST(BulkMove, FailedWriteHalfwayLeavesTheDestinationAsItWas) {
    // The files may grow to 64 KiB only: the .MB stops short in the middle of the rows.
    TempFolder f;
    Make(f.path(), Source());
    Fill(f.path(), "Src", Numbered(60, [](int i) { return Values{"k" + std::to_string(i), "1", "", Repeat(3000, 'p'), ""}; }));
    Make(f.path(), Dest());
    FileSizeLimit limit(64 * 1024);
    ExpectRefusedWithoutTrace(f.path(), ecOpenFailed, [&] { Move(f.path()); });
}
#endif

}  // namespace

namespace {

// A table opened for reading keeps no rows while it is only read (its rows come from the
// files), and a cursor that had not moved yet stands where an opened cursor stands once
// another table object deleted its row.
TEST(TableOpenedForReading, LoadsItsRowsAtTheFirstChange) {
    TempFolder f;
    Make(f.path(), Source());
    Fill(f.path(), "Src", Numbered(30, Plain));
    TTable a, b;
    a.DatabaseName = b.DatabaseName = f.path();
    a.TableName = b.TableName = "Src";
    a.Open();
    const auto data = FindLoadedTable(a.FullPath());
    ASSERT_NE(data, nullptr);
    EXPECT_FALSE(data->rowsLoaded);
    EXPECT_EQ(a.RecordCount(), 30);
    b.Open();
    b.First();
    EXPECT_FALSE(data->rowsLoaded);
    EXPECT_EQ(b.Fields(0).AsString(), "k100000");
    b.Delete();
    EXPECT_TRUE(data->rowsLoaded);
    // a still reads the row it stood on, then moves to the successor without skipping it.
    EXPECT_EQ(a.Fields(0).AsString(), "k100000");
    a.Next();
    EXPECT_EQ(a.Fields(0).AsString(), "k100001");
    a.Next();
    EXPECT_EQ(a.Fields(0).AsString(), "k100002");
    EXPECT_EQ(a.RecordCount(), 29);
}

}  // namespace
