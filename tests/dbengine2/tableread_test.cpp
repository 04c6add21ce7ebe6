// Reading a table front to back from its files: rows come block by block and BLOBs from the
// .MB on demand while nobody changes the table; a change (here or through another table
// object, a batch move) loads the rows, and every cursor reading the files then stands on its
// row as loaded. Damage met only while reading is an engine error.
#include <functional>

#include "dbe2_fixture.h"
#include "tablestream.h"

using namespace dbe;
using namespace dbe::detail;
using namespace dbe2test;

namespace {

// "Привет, мир! Ёлка" in code page 1251.
const std::string kCyrillic = "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! \xA8\xEB\xEA\xE0";

std::string Bytes(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = char((i * 131 + seed * 17 + i / 251) & 0xFF);
    return s;
}
std::string CyrillicText(size_t n) {
    std::string s;
    while (s.size() < n) s += kCyrillic + " ";
    s.resize(n);
    return s;
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
}

struct Reader {
    TTable t;
    Reader(const std::string& folder, const std::string& table) {
        t.DatabaseName = folder;
        t.TableName = table;
        t.Open();
    }
    std::shared_ptr<TableData> data() { return FindLoadedTable(t.FullPath()); }
    // The first field of the current row and of each one after it, to the end.
    std::vector<std::string> Rest() {
        std::vector<std::string> out;
        for (; !t.Eof(); t.Next()) out.push_back(t.Fields(0).AsString());
        return out;
    }
};

// Keyed table Id, Note (memo, 20-byte leader), Pic (graphic), Name; small blocks so that
// the rows span many of them.
std::string MakeBlobTable(const std::string& folder, bool keyed = true) {
    return Create(folder, "Cards",
                  {Field("Id", TFieldType::Integer, 0, keyed), Field("Note", TFieldType::Memo, 20),
                   Field("Pic", TFieldType::Graphic, 0), Field("Name", TFieldType::String, 24)},
                  {}, 7, 1024);
}

void AddCards(const std::string& folder, const std::vector<std::pair<std::string, std::string>>& blobs,
              int filler) {
    TTable t;
    t.DatabaseName = folder;
    t.TableName = "Cards";
    t.Open();
    int id = 1;
    for (const auto& [note, pic] : blobs) {
        t.Append();
        t.Fields(0).SetAsInteger(id++);
        t.Fields(1).SetAsBlob(note);
        t.Fields(2).SetAsBlob(pic);
        t.Fields(3).SetAsString(kCyrillic.substr(0, 6) + std::to_string(id));
        t.Post();
    }
    for (int i = 0; i < filler; ++i) {
        t.Append();
        t.Fields(0).SetAsInteger(id++);
        t.Fields(3).SetAsString("filler");
        t.Post();
    }
    t.Close();
}

// Every BLOB size the .MB stores in its own way, read back through a cursor on the files:
// null, at the leader's length and one over, sub-allocated, exactly one chunk and one over,
// several chunks, Cyrillic text; after them enough rows to pass the reader's window of blocks.
TEST(TableRead, BlobsComeFromTheBlobFileOnDemandAsStored) {
    TempFolder f;
    MakeBlobTable(f.path());
    const size_t leader = 20, chunk = 4096 - 9;   // a single-BLOB block's header is 9 bytes
    const std::vector<std::pair<std::string, std::string>> blobs = {
        {"", ""},
        {CyrillicText(leader), Bytes(leader, 1)},
        {CyrillicText(leader + 1), Bytes(leader + 1, 2)},
        {CyrillicText(300), Bytes(1000, 3)},
        {CyrillicText(chunk), Bytes(chunk, 4)},
        {CyrillicText(chunk + 1), Bytes(chunk + 1, 5)},
        {CyrillicText(3 * 4096 + 100), Bytes(70000, 6)},
        {"", Bytes(5, 7)},
        {std::string("\0\0x", 3), ""},
    };
    const int filler = 4000;   // 1024-byte blocks: about 300 rows past a 256 KiB window
    AddCards(f.path(), blobs, filler);

    Reader r(f.path(), "Cards");
    auto data = r.data();
    size_t i = 0;
    for (r.t.First(); !r.t.Eof(); r.t.Next(), ++i) {
        ASSERT_EQ(r.t.Fields(0).AsInteger(), int(i + 1));
        const std::string note = i < blobs.size() ? blobs[i].first : "";
        const std::string pic = i < blobs.size() ? blobs[i].second : "";
        // The picture first, the memo twice: each read stands on its own.
        EXPECT_EQ(r.t.Fields(2).IsNull(), pic.empty()) << i;
        EXPECT_EQ(r.t.Fields(2).AsBlob(), pic) << i;
        EXPECT_EQ(r.t.Fields(1).AsBlob(), note) << i;
        EXPECT_EQ(r.t.Fields(1).AsString(), note) << i;
        EXPECT_EQ(r.t.Fields(1).IsNull(), note.empty()) << i;
        EXPECT_EQ(r.t.Fields(3).AsString(), i < blobs.size() ? kCyrillic.substr(0, 6) + std::to_string(i + 2) : "filler");
    }
    EXPECT_EQ(i, blobs.size() + filler);
    EXPECT_FALSE(data->rowsLoaded);   // read from the files all the way
    // Read again from the start, now the BLOB of a row after one that skipped its BLOBs.
    r.t.First();
    r.t.Next();
    r.t.Next();
    EXPECT_EQ(r.t.Fields(2).AsBlob(), blobs[2].second);
    EXPECT_FALSE(data->rowsLoaded);
}

// A cursor that has read to the end holds no file open: the table's files can be moved while
// the table stays open (Windows refuses to move a file that is open), and First reads them
// anew.
TEST(TableRead, CursorAtTheEndLeavesTheFilesFree) {
    TempFolder f;
    MakeBlobTable(f.path());
    AddCards(f.path(), {{CyrillicText(5000), "p"}}, 30);
    Reader r(f.path(), "Cards");
    EXPECT_EQ(r.Rest().size(), 31u);
    for (const char* ext : {"DB", "MB"}) {
        std::error_code ec;
        fs::rename(f / (std::string("Cards.") + ext), f / (std::string("Moved.") + ext), ec);
        EXPECT_FALSE(ec) << ext << ": " << ec.message();
        fs::rename(f / (std::string("Moved.") + ext), f / (std::string("Cards.") + ext), ec);
    }
    r.t.First();
    EXPECT_EQ(r.t.Fields(1).AsString(), CyrillicText(5000));
    EXPECT_EQ(r.Rest().size(), 31u);
}

// A keyed table whose file holds its rows out of key order (and an equal key twice), as
// other writers leave them, reads in key order as ever.
TEST(TableRead, KeyedTableStoredOutOfOrderReadsInKeyOrder) {
    TempFolder f;
    Create(f.path(), "Src", {Field("Name", TFieldType::String, 10), Field("Num", TFieldType::Integer)});
    AppendRows(f.path(), "Src", {{"c", "1"}, {"a", "2"}, {"b", "3"}, {"a", "4"}, {"d", "5"}});
    std::string db = FileBytes(f / "Src.DB");
    db[0x04] = 0;   // file type: keyed table
    db[0x23] = 1;   // key fields
    WriteAll(f / "Src.DB", db);
    Reader r(f.path(), "Src");
    std::vector<std::string> nums;
    for (r.t.First(); !r.t.Eof(); r.t.Next()) nums.push_back(r.t.Fields(1).AsString());
    EXPECT_EQ(nums, (std::vector<std::string>{"2", "4", "3", "1", "5"}));
}

// Another table object changes the rows while a cursor reads them from the files: the cursor
// stands on its row as loaded and walks on from there as a cursor on loaded rows does (the
// row it stood on was deleted: it still reads it, then its successor comes next).
TEST(TableRead, CursorOnTheFilesFollowsChangesMadeThroughAnotherTable) {
    struct Case {
        const char* name;
        bool keyed;
        int steps;                                   // Next calls of the reader before the change
        std::function<void(TTable& other)> change;   // other is open, not yet moved
        std::vector<std::string> expected;           // the reader's rows from its current on
    };
    auto seek = [](TTable& t, int id) {
        for (t.First(); !t.Eof() && t.Fields(0).AsInteger() != id; t.Next()) {
        }
    };
    auto append = [](TTable& t, int id) {
        t.Append();
        t.Fields(0).SetAsInteger(id);
        t.Post();
    };
    const std::vector<Case> cases = {
        {"its row deleted", true, 2, [&](TTable& o) { seek(o, 30); o.Delete(); }, {"30", "40", "50", "60"}},
        {"the next row deleted", true, 2, [&](TTable& o) { seek(o, 40); o.Delete(); }, {"30", "50", "60"}},
        {"a row before it deleted", true, 2, [&](TTable& o) { o.First(); o.Delete(); }, {"30", "40", "50", "60"}},
        {"a row inserted after it", true, 2, [&](TTable& o) { append(o, 35); }, {"30", "35", "40", "50", "60"}},
        {"a row inserted before it", true, 2, [&](TTable& o) { append(o, 5); }, {"30", "40", "50", "60"}},
        {"its key moved to the end", true, 2,
         [&](TTable& o) {
             seek(o, 30);
             o.Edit();
             o.Fields(0).SetAsInteger(65);
             o.Post();
         },
         {"65"}},
        {"the last row deleted while at the end", true, 6, [&](TTable& o) { seek(o, 60); o.Delete(); }, {}},
        {"a row appended while at the end", true, 6, [&](TTable& o) { append(o, 70); }, {}},
        {"on the first row, its row deleted", true, 0, [&](TTable& o) { o.First(); o.Delete(); },
         {"10", "20", "30", "40", "50", "60"}},
        {"unkeyed: a row appended", false, 4, [&](TTable& o) { append(o, 1); }, {"50", "60", "1"}},
        {"unkeyed: its row deleted", false, 4, [&](TTable& o) { seek(o, 50); o.Delete(); }, {"50", "60"}},
    };
    // The same with the reader's rows loaded before the change (its Edit, then Cancel).
    for (const bool loadedFirst : {false, true})
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (loadedFirst ? ", rows loaded first" : ""));
        TempFolder f;
        Create(f.path(), "T", {Field("Id", TFieldType::Integer, 0, c.keyed), Field("Memo", TFieldType::Memo, 10)});
        AppendRows(f.path(), "T", {{"10"}, {"20"}, {"30", std::string(50, 'm')}, {"40"}, {"50"}, {"60"}});
        Reader r(f.path(), "T");
        r.t.First();
        for (int i = 0; i < c.steps; ++i) r.t.Next();
        if (loadedFirst) {
            r.t.Edit();
            r.t.Cancel();
        }
        ASSERT_EQ(r.data()->rowsLoaded, loadedFirst);
        TTable other;
        other.DatabaseName = f.path();
        other.TableName = "T";
        other.Open();
        c.change(other);
        EXPECT_TRUE(r.data()->rowsLoaded);
        EXPECT_EQ(r.Rest(), c.expected);
        r.t.First();
        EXPECT_FALSE(r.t.Eof());
        other.Close();
    }
}

// The cursor's own change in the middle of a read: from then on it walks the loaded rows from
// the row it stood on; a second cursor on the files moves over with it and lets the files go.
TEST(TableRead, ChangeInTheMiddleOfAReadGoesOnFromTheSameRow) {
    TempFolder f;
    MakeBlobTable(f.path());
    AddCards(f.path(), {{"first", "p1"}, {"second", ""}, {CyrillicText(5000), "p3"}}, 200);
    Reader r(f.path(), "Cards"), second(f.path(), "Cards");
    auto data = r.data();
    second.t.First();
    for (int i = 0; i < 150; ++i) second.t.Next();
    r.t.First();
    r.t.Next();
    r.t.Next();
    EXPECT_EQ(r.t.Fields(1).AsString(), CyrillicText(5000));
    ASSERT_FALSE(data->rowsLoaded);
    r.t.Edit();
    EXPECT_TRUE(data->rowsLoaded);
    EXPECT_EQ(r.t.Fields(1).AsString(), CyrillicText(5000));   // the edit buffer holds the BLOB
    r.t.Fields(1).SetAsString(kCyrillic);
    r.t.Post();
    // Written now, while the second cursor has not moved since: it holds no file open (Windows
    // would refuse to replace one).
    EXPECT_NO_THROW(r.t.FlushBuffers());
    EXPECT_EQ(r.t.Fields(0).AsInteger(), 3);
    EXPECT_EQ(r.t.Fields(2).AsBlob(), "p3");
    r.t.Next();
    EXPECT_EQ(r.t.Fields(0).AsInteger(), 4);
    r.t.Delete();   // row 4 goes, 5 becomes current
    EXPECT_EQ(r.t.Fields(0).AsInteger(), 5);
    EXPECT_EQ(second.t.Fields(0).AsInteger(), 151);
    second.t.Next();
    EXPECT_EQ(second.t.Fields(0).AsInteger(), 152);
    EXPECT_EQ(r.t.RecordCount(), 202);
    r.t.Close();
    second.t.Close();
    // The change reached the files; the new table object reads them anew.
    Reader again(f.path(), "Cards");
    again.t.First();
    again.t.Next();
    again.t.Next();
    EXPECT_EQ(again.t.Fields(1).AsString(), kCyrillic);
    again.t.Next();
    EXPECT_EQ(again.t.Fields(0).AsInteger(), 5);
}

// A batch move into a table that a cursor reads from the files: the cursor goes on with the
// rows the move added after its row.
TEST(TableRead, BatchMoveIntoATableBeingReadShowsItsRows) {
    TempFolder f;
    Create(f.path(), "Dst", {Field("Id", TFieldType::Integer, 0, true), Field("Name", TFieldType::String, 10)});
    Create(f.path(), "Src", {Field("Id", TFieldType::Integer, 0, true), Field("Name", TFieldType::String, 10)});
    AppendRows(f.path(), "Dst", {{"10", "a"}, {"20", "b"}, {"30", "c"}});
    AppendRows(f.path(), "Src", {{"5", "x"}, {"25", "y"}, {"40", kCyrillic.substr(0, 6)}});
    Reader r(f.path(), "Dst");
    r.t.First();
    r.t.Next();
    TTable src;
    src.DatabaseName = f.path();
    src.TableName = "Src";
    TBatchMove m;
    m.Source = &src;
    m.Destination = &r.t;
    m.Mode = batAppendUpdate;
    m.Execute();
    EXPECT_EQ(r.t.Fields(1).AsString(), "b");
    EXPECT_EQ(r.Rest(), (std::vector<std::string>{"20", "25", "30", "40"}));
    EXPECT_EQ(r.t.RecordCount(), 6);
}

// Damage that the check at open did not see (the files changed since): the read that meets it
// raises the engine's corrupt-table error naming the file; the rest of the row still reads.
TEST(TableRead, DamageMetOnlyWhileReadingIsAnEngineError) {
    struct Case {
        const char* name;
        std::function<void(const std::string& folder)> damage;
        bool inBlobFile;
        const char* names;   // in the message
    };
    const std::vector<Case> cases = {
        {"the BLOB file cut short", [](const std::string& d) { WriteAll(d + "Cards.MB", FileBytes(d + "Cards.MB").substr(0, 4096)); }, true, "Cards.DB (BLOB file)"},
        {"a BLOB block of another kind",
         [](const std::string& d) {
             std::string mb = FileBytes(d + "Cards.MB");
             for (size_t b = 4096; b < mb.size(); b += 4096) mb[b] = '\x7F';
             WriteAll(d + "Cards.MB", mb);
         },
         true, "Cards.DB (BLOB file)"},
        {"the BLOB file gone", [](const std::string& d) { fs::remove(d + "Cards.MB"); }, true, "Cards.DB: BLOB file missing"},
        {"a data block's record count",
         [](const std::string& d) {
             std::string db = FileBytes(d + "Cards.DB");
             const size_t header = size_t(uint8_t(db[2])) | size_t(uint8_t(db[3])) << 8;
             db[header + 4] = '\x01';   // last record offset: not a multiple of the record size
             db[header + 5] = '\x00';
             WriteAll(d + "Cards.DB", db);
         },
         false, "Cards.DB: bad record count"},
        {"the table replaced by one of other fields",
         [](const std::string& d) {
             fs::create_directories(d + "other");
             Create(d + "other/", "Cards", {Field("Id", TFieldType::Integer, 0, true), Field("N", TFieldType::String, 5)});
             AppendRows(d + "other/", "Cards", {{"1", "a"}, {"2", "b"}, {"3", "c"}});
             WriteAll(d + "Cards.DB", FileBytes(d + "other/Cards.DB"));
         },
         false, "Cards.DB: the table's structure changed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder f;
        MakeBlobTable(f.path());
        AddCards(f.path(), {{CyrillicText(3000), Bytes(9000, 1)}, {"", ""}}, 0);
        Reader r(f.path(), "Cards");
        c.damage(f.path());
        try {
            r.t.First();
            ASSERT_TRUE(c.inBlobFile) << "the damaged block was read";
            EXPECT_EQ(r.t.Fields(0).AsInteger(), 1);
            EXPECT_EQ(r.t.Fields(3).AsString(), kCyrillic.substr(0, 6) + "2");
            (void)r.t.Fields(2).AsBlob();
            ADD_FAILURE() << "no error";
        } catch (const EDBEngineError& e) {
            EXPECT_EQ(e.ErrorCode(), ecCorrupt);
            EXPECT_NE(std::string(e.what()).find(c.names), std::string::npos) << e.what();
        }
        r.t.Close();
    }
}

}  // namespace
