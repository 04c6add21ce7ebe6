// Damaged table files: every kind of damage ends in EDBEngineError, never a crash or a hang,
// and the engine leaves the damaged file exactly as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "dbengine/dbengine.h"
#include "fileio.h"
#include "tabledata.h"
#include "test_util.h"

using namespace dbe;
using kxtest::Field;
using kxtest::ScratchDir;

namespace {

void Put16(std::string& b, std::size_t off, unsigned v) {
    b[off] = static_cast<char>(v & 0xFF);
    b[off + 1] = static_cast<char>((v >> 8) & 0xFF);
}
unsigned Get16(const std::string& b, std::size_t off) {
    return static_cast<unsigned char>(b[off]) | (static_cast<unsigned char>(b[off + 1]) << 8);
}

// A keyed table of three 1024-byte blocks with a memo field, as bytes.
std::string GoodTable(const ScratchDir& dir, std::string* mb = nullptr) {
    detail::CreateSpec s;
    s.tableName = "Good";
    s.blockSize = 1024;
    s.level = 7;
    s.fields = {Field("Id", TFieldType::Integer, 0, true), Field("Text", TFieldType::String, 200),
                Field("Note", TFieldType::Memo, 5)};
    std::string path = detail::CreateTable(dir.str(), s);
    TTable t;
    t.DatabaseName = dir.str();
    t.TableName = "Good";
    t.Open();
    for (int i = 0; i < 12; ++i) {
        t.Append();
        t.FieldByName("Id").SetAsInteger(i);
        t.FieldByName("Text").SetAsString(std::string(150, 'a' + i % 26));
        t.FieldByName("Note").SetAsString(std::string(100 + i, 'n'));
    }
    t.Close();
    if (mb) *mb = kxtest::ReadAll(detail::FamilyPath(path, "MB"));
    return kxtest::ReadAll(path);
}

}  // namespace

TEST(CorruptTables, EachDamageRaisesTheEngineErrorAndLeavesTheFileUnchanged) {
    ScratchDir dir("corrupt");
    std::string mb;
    const std::string good = GoodTable(dir, &mb);
    const std::size_t header = Get16(good, 2);
    ASSERT_EQ(Get16(good, 0x0C), 3u) << "fixture must span three blocks";

    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
    };
    const std::size_t block2 = header + 1024;
    std::vector<Case> cases = {
        {"truncated header", [](std::string& b) { b.resize(50); }},
        {"header shorter than its size", [&](std::string& b) { b.resize(header - 10); }},
        {"truncated last block", [](std::string& b) { b.resize(b.size() - 100); }},
        {"block chain loops", [&](std::string& b) { Put16(b, block2, 2); }},
        {"block link outside the file", [&](std::string& b) { Put16(b, block2, 999); }},
        {"first block outside the file", [](std::string& b) { Put16(b, 0x0E, 40000); }},
        {"field count zero", [](std::string& b) { Put16(b, 0x21, 0); }},
        {"field count too large", [](std::string& b) { Put16(b, 0x21, 200); }},
        {"record count beyond the blocks", [](std::string& b) { Put16(b, 0x06, 13); }},
        {"record count too small", [](std::string& b) { Put16(b, 0x06, 2); }},
        {"record size lies", [](std::string& b) { Put16(b, 0x00, 99); }},
        {"header size beyond the file", [](std::string& b) { Put16(b, 0x02, 0xF000); }},
        {"bad block size code", [](std::string& b) { b[0x05] = 9; }},
        {"not a table", [](std::string& b) { b[0x04] = 1; }},
        {"bad last-record offset", [&](std::string& b) { Put16(b, header + 4, 7); }},
        {"key count beyond fields", [](std::string& b) { Put16(b, 0x23, 9); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bad = good;
        c.damage(bad);
        ScratchDir d("case");
        std::string file = d.file("Good.DB");
        kxtest::WriteAll(file, bad);
        kxtest::WriteAll(d.file("Good.MB"), mb);
        TTable t;
        t.DatabaseName = d.str();
        t.TableName = "Good";
        try {
            t.Open();
            ADD_FAILURE() << "damaged table opened";
        } catch (const EDBEngineError& e) {
            EXPECT_TRUE(e.ErrorCode() == ecCorrupt || e.ErrorCode() == ecUnsupported) << e.what();
            EXPECT_NE(std::string(e.what()).find("Good.DB"), std::string::npos) << e.what();
        }
        EXPECT_FALSE(t.Active());
        t.Close();
        EXPECT_EQ(kxtest::ReadAll(file), bad) << "the engine changed a file it could not read";
    }
}

TEST(CorruptTables, DamagedBlobFileRaisesTheEngineError) {
    ScratchDir dir("blob");
    std::string mb;
    std::string good = GoodTable(dir, &mb);
    std::vector<std::pair<const char*, std::string>> cases = {
        {"missing", std::string()},
        {"truncated", mb.substr(0, 5000)},
        {"wrong block type", [&] { std::string b = mb; b[4096] = 4; return b; }()},
        {"length mismatch", [&] { std::string b = mb; b[4096 + 3] = 1; return b; }()},
    };
    for (auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        ScratchDir d("blobcase");
        kxtest::WriteAll(d.file("Good.DB"), good);
        if (!bytes.empty()) kxtest::WriteAll(d.file("Good.MB"), bytes);
        TTable t;
        t.DatabaseName = d.str();
        t.TableName = "Good";
        EXPECT_THROW(t.Open(), EDBEngineError);
        EXPECT_EQ(kxtest::ReadAll(d.file("Good.DB")), good);
    }
}

TEST(CorruptTables, EveryTruncationAndByteFlipIsHandled) {
    // Mutation sweep over the good fixture: each variant either parses or raises the engine
    // error; nothing else escapes (the sanitizers catch what a plain run would not).
    ScratchDir dir("sweep");
    std::string mb;
    std::string good = GoodTable(dir, &mb);
    int errors = 0, parsed = 0;
    auto attempt = [&](const std::string& bytes) {
        try {
            detail::ParseTable("Good.DB", bytes, mb, true);
            ++parsed;
        } catch (const EDBEngineError&) {
            ++errors;
        }
    };
    for (std::size_t n = 0; n < good.size(); n += 37) attempt(good.substr(0, n));
    for (std::size_t i = 0; i < good.size(); i += 3) {
        std::string b = good;
        b[i] = static_cast<char>(b[i] ^ 0xA5);
        attempt(b);
    }
    EXPECT_GT(errors, 0);
    EXPECT_GT(parsed, 0);
}

TEST(SafeWrites, AFailedWriteLeavesTheTableAsItWas) {
    ScratchDir dir("safe");
    GoodTable(dir);
    std::string before = kxtest::ReadAll(dir.file("Good.DB"));
    // The new files cannot be written: a file stands where their work folder would be made.
    const std::string work = detail::WorkFolderFor(dir.file("Good.DB"));
    kxtest::WriteAll(work, "in the way");
    TTable t;
    t.DatabaseName = dir.str();
    t.TableName = "Good";
    t.Open();
    t.First();
    t.Delete();
    EXPECT_THROW(t.Close(), EDBEngineError);
    EXPECT_EQ(kxtest::ReadAll(dir.file("Good.DB")), before);
    std::filesystem::remove(work);
    // The rows are still loaded; once the way is clear the next close writes them.
    TTable u;
    u.DatabaseName = dir.str();
    u.TableName = "Good";
    u.Open();
    EXPECT_EQ(u.RecordCount(), 11);
    u.Close();
    TTable v;
    v.DatabaseName = dir.str();
    v.TableName = "Good";
    v.Open();
    EXPECT_EQ(v.RecordCount(), 11);
}

TEST(SafeWrites, AFailureAfterPartOfTheFamilyWasReplacedPutsTheOldFilesBack) {
    // The family is written .MB, .DB, .PX; the last one cannot be put in place, after the
    // first two were.
    ScratchDir dir("safefam");
    std::string mb;
    const std::string db = GoodTable(dir, &mb);
    const std::string px = kxtest::ReadAll(dir.file("Good.PX"));
    TTable t;
    t.DatabaseName = dir.str();
    t.TableName = "Good";
    t.Open();
    t.First();
    t.Edit();
    t.FieldByName("Note").SetAsString(std::string(3000, 'z'));
    t.Post();
    t.Next();
    t.Delete();
    std::filesystem::remove(dir.file("Good.PX"));
    std::filesystem::create_directories(dir.file("Good.PX") + "/inside");
    EXPECT_THROW(t.Close(), EDBEngineError);
    EXPECT_EQ(kxtest::ReadAll(dir.file("Good.DB")), db);
    EXPECT_EQ(kxtest::ReadAll(dir.file("Good.MB")), mb);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.str())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Good.DB", "Good.MB", "Good.PX"}));
    // Once the way is clear, the next close writes the whole family.
    std::filesystem::remove_all(dir.file("Good.PX"));
    kxtest::WriteAll(dir.file("Good.PX"), px);
    {
        TTable u;
        u.DatabaseName = dir.str();
        u.TableName = "Good";
        u.Open();
        u.Close();
    }
    TTable v;
    v.DatabaseName = dir.str();
    v.TableName = "Good";
    v.Open();
    EXPECT_EQ(v.RecordCount(), 11);
    v.First();
    EXPECT_EQ(v.FieldByName("Note").AsString(), std::string(3000, 'z'));
    v.Next();
    EXPECT_EQ(v.FieldByName("Id").AsInteger(), 2);
}

TEST(SafeWrites, AnOldFileThatCannotBeMovedAsideLeavesTheFamilyAsItWas) {
    // A move into a table without rows moves each old file of the family aside into the
    // write's work folder before the new ones go in; a folder of the old file's name there
    // (not empty) stands in the way of one of them, the first, a middle one or the last.
    const std::vector<std::string> family{"Good.MB", "Good.DB", "Good.PX"};
    auto names = [](const ScratchDir& dir) {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(dir.str())) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    };
    std::vector<std::string> sorted = family;
    std::sort(sorted.begin(), sorted.end());
    for (const std::string& blocked : family) {
        SCOPED_TRACE(blocked);
        ScratchDir dir("safeaside");
        std::vector<std::string> targets;
        for (const std::string& f : family) {
            targets.push_back(dir.file(f));
            kxtest::WriteAll(dir.file(f), "old " + f);
        }
        {
            detail::FamilyWrite write(dir.file("Good.DB"));
            for (const std::string& f : family) kxtest::WriteAll(detail::TempFileFor(dir.file(f)), "new " + f);
            std::filesystem::create_directories(write.Folder() + "/" + blocked + "~old/inside");
            EXPECT_THROW(write.CommitRowless(targets), EDBEngineError);
        }
        for (const std::string& f : family) EXPECT_EQ(kxtest::ReadAll(dir.file(f)), "old " + f);
        // The work folder went with the failure.
        EXPECT_EQ(names(dir), sorted);
        // Without the obstacle, the family is replaced and nothing else stays behind.
        {
            detail::FamilyWrite write(dir.file("Good.DB"));
            for (const std::string& f : family) kxtest::WriteAll(detail::TempFileFor(dir.file(f)), "newer " + f);
            write.CommitRowless(targets);
        }
        for (const std::string& f : family) EXPECT_EQ(kxtest::ReadAll(dir.file(f)), "newer " + f);
        EXPECT_EQ(names(dir), sorted);
    }
}

TEST(SafeWrites, AWriteCutShortIsUndoneWhenTheFolderIsListed) {
    // The states a crash can leave a write of a family in, made by hand in a folder that this
    // process has not looked into yet: the first listing of the folder (the conversion's list of
    // saved tables, or its open of a table) puts the old family back and removes the work folder.
    const std::string journal = "kx family write 1\no Good.DB\no Good.PX\nn Good.DB\nn Good.PX\nend\n";
    struct Case {
        const char* what;
        std::string journal;  // "" none
        bool movedAside;      // the old Good.DB moved into the work folder
        bool placed;          // the new Good.DB in place of it
    };
    const Case cases[] = {
        {"new files still being written", "", false, false},
        {"journal cut short", journal.substr(0, journal.size() - 3), false, false},
        {"old file moved aside, the table missing", journal, true, false},
        {"new file in place", journal, true, true},
        {"old contents kept by a link, new file renamed over", journal, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir made("cutshortsrc"), dir("cutshort");
        const std::string db = GoodTable(made);
        const std::string px = kxtest::ReadAll(made.file("Good.PX"));
        for (const char* f : {"Good.DB", "Good.MB", "Good.PX"}) std::filesystem::copy_file(made.file(f), dir.file(f));
        const std::string work = detail::WorkFolderFor(dir.file("Good.DB"));
        std::filesystem::create_directory(work);
        kxtest::WriteAll(detail::TempFileFor(dir.file("Good.DB")), "new table");
        kxtest::WriteAll(detail::TempFileFor(dir.file("Good.PX")), "new index");
        if (!c.journal.empty()) kxtest::WriteAll(work + "/undo", c.journal);
        if (c.movedAside) std::filesystem::rename(dir.file("Good.DB"), work + "/Good.DB~old");
        else if (c.placed) std::filesystem::create_hard_link(dir.file("Good.DB"), work + "/Good.DB~old");
        if (c.placed) std::filesystem::rename(detail::TempFileFor(dir.file("Good.DB")), dir.file("Good.DB"));

        EXPECT_EQ(Session().GetTableNames(dir.str(), "", true, false), std::vector<std::string>{"Good.DB"});
        EXPECT_EQ(kxtest::ReadAll(dir.file("Good.DB")), db);
        EXPECT_EQ(kxtest::ReadAll(dir.file("Good.PX")), px);
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.str())) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"Good.DB", "Good.MB", "Good.PX"}));
    }
}

TEST(CorruptTables, OutOfRangeStoredValuesReadAsTextWithoutFault) {
    // Found by the fuzz target: a TimeStamp far outside the calendar.
    detail::FieldInfo ts;
    ts.code = detail::fcTimestamp;
    for (double v : {-3.44217e+276, 1e300, -1.0, 4e17})
        EXPECT_FALSE(detail::ValueToText(ts, v).empty()) << v;
    detail::FieldInfo ts2 = ts;
    EXPECT_EQ(detail::ValueToText(ts2, 63000000000000.0).substr(0, 4), "1997");
}

namespace {

// Opens a table family by the public road (whole-file parse, then the streaming reader of a
// table opened for reading and its first rows); the corrupt-table error naming the .DB, or
// "" when the table reads.
std::string OpenError(const ScratchDir& d, const std::string& db, const std::string& mb) {
    std::string whole, streamed;
    try {
        detail::ParseTable(d.file("Wide.DB"), db, mb, true);
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), ecCorrupt) << e.what();
        whole = e.what();
    }
    kxtest::WriteAll(d.file("Wide.DB"), db);
    kxtest::WriteAll(d.file("Wide.MB"), mb);
    try {
        TTable t;
        t.DatabaseName = d.str();
        t.TableName = "Wide";
        t.Open();
        for (t.First(); !t.Eof(); t.Next())
            for (int i = 0; i < t.FieldCount(); ++i) (void)t.Fields(i).AsString();
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), ecCorrupt) << e.what();
        streamed = e.what();
    }
    EXPECT_EQ(whole, streamed) << "the whole-file parse and the streaming reader disagree";
    EXPECT_EQ(kxtest::ReadAll(d.file("Wide.DB")), db) << "the engine changed a file it could not read";
    return streamed;
}

}  // namespace

TEST(CorruptTables, AFieldWhoseDeclaredWidthItsTypeCannotHaveIsRefused) {
    // One field of each kind; each case declares another width for one field and keeps the
    // record size the sum of the widths, so that only the field's own rule can refuse it
    // (the last field is where a wrong width read past the record).
    ScratchDir dir("widths");
    detail::CreateSpec s;
    s.tableName = "Wide";
    s.level = 7;
    s.blockSize = 4096;
    s.codePage = 1251;
    s.fields = {Field("Id", TFieldType::Integer, 0, true), Field("Name", TFieldType::String, 20),
                Field("Small", TFieldType::Smallint), Field("Day", TFieldType::Date),
                Field("Flag", TFieldType::Boolean), Field("Sum", TFieldType::Currency),
                Field("Clock", TFieldType::Time), Field("Auto", TFieldType::AutoInc),
                Field("Exact", TFieldType::BCD, 2), Field("Raw", TFieldType::Bytes, 3),
                Field("Note", TFieldType::Memo, 5), Field("Photo", TFieldType::Graphic, 0),
                Field("Data", TFieldType::Blob, 2), Field("Stamp", TFieldType::TimeStamp),
                Field("Amount", TFieldType::Float)};
    const std::string path = detail::CreateTable(dir.str(), s);
    {
        TTable t;
        t.DatabaseName = dir.str();
        t.TableName = "Wide";
        t.Open();
        for (int i = 1; i <= 3; ++i) {
            t.Append();
            t.FieldByName("Id").SetAsInteger(i);
            t.FieldByName("Name").SetAsString("\xC8\xE2\xE0\xED\xEE\xE2 " + std::to_string(i));  // "Иванов"
            t.FieldByName("Day").SetAsDate({2010, 12, i});
            t.FieldByName("Note").SetAsString(std::string(static_cast<std::size_t>(i * 40), 'n'));
            t.FieldByName("Stamp").SetAsString("2010-12-31 10:00:00");
            t.FieldByName("Amount").SetAsFloat(i * 1.5);
            t.Post();
        }
    }
    std::string mb = kxtest::ReadAll(detail::FamilyPath(path, "MB"));
    const std::string good = kxtest::ReadAll(path);
    const std::size_t fieldInfo = 0x78;
    auto field = [&](const char* name) {
        for (std::size_t i = 0; i < s.fields.size(); ++i)
            if (s.fields[i].name == name) return i;
        ADD_FAILURE() << name;
        return std::size_t(0);
    };
    {
        ScratchDir d("widths-good");
        EXPECT_EQ(OpenError(d, good, mb), "") << "the sound fixture must read";
    }

    struct Case {
        const char* field;
        int width;      // declared instead of the type's
        int code = 0;   // declared type instead of the field's (0: kept)
        const char* says;
    };
    const Case cases[] = {
        {"Amount", 6, 0, "declares 6 bytes, its type takes 8"},   // Number
        {"Amount", 10, 0, "declares 10 bytes, its type takes 8"},
        {"Day", 2, 0, "declares 2 bytes, its type takes 4"},       // Date
        {"Small", 4, 0, "declares 4 bytes, its type takes 2"},     // Short
        {"Small", 1, 0, "declares 1 bytes, its type takes 2"},
        {"Flag", 2, 0, "declares 2 bytes, its type takes 1"},      // Logical
        {"Stamp", 4, 0, "declares 4 bytes, its type takes 8"},     // TimeStamp, the fuzz find
        {"Id", 2, 0, "declares 2 bytes, its type takes 4"},        // Long
        {"Sum", 4, 0, "declares 4 bytes, its type takes 8"},       // Currency
        {"Clock", 8, 0, "declares 8 bytes, its type takes 4"},     // Time
        {"Auto", 3, 0, "declares 3 bytes, its type takes 4"},      // AutoInc
        {"Note", 10, 0, "BLOB field 11 keeps 0 leading bytes (1 to 240)"},   // Memo without a leader
        {"Data", 251, 0, "BLOB field 13 keeps 241 leading bytes (0 to 240)"},
        {"Photo", 9, 0, "BLOB field narrower than its pointer"},
        {"Name", 20, 0x07, "field 2 has unknown type 0x07"},
        {"Name", 0, 0, "field 2 has width 0"},                      // Alpha: 1 to 255 (one byte)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " declared " + std::to_string(c.width));
        std::string bad = good;
        const std::size_t at = fieldInfo + 2 * field(c.field);
        const int old = static_cast<unsigned char>(bad[at + 1]);
        bad[at + 1] = static_cast<char>(c.width);
        if (c.code) bad[at] = static_cast<char>(c.code);
        Put16(bad, 0x00, Get16(bad, 0x00) + c.width - old);
        ScratchDir d("width");
        const std::string error = OpenError(d, bad, mb);
        EXPECT_EQ(error.rfind("Corrupt table " + d.file("Wide.DB") + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
    // The record's width must be the sum of its fields' (sound fields, one byte more or less).
    for (int delta : {1, -1}) {
        SCOPED_TRACE(delta);
        std::string bad = good;
        Put16(bad, 0x00, Get16(bad, 0x00) + delta);
        ScratchDir d("width");
        EXPECT_EQ(OpenError(d, bad, mb), "Corrupt table " + d.file("Wide.DB") + ": record size does not match the fields");
    }
}

TEST(CorruptTables, AValueNoBcdFieldCanHoldIsRefusedAndTheRecordKept) {
    detail::Schema s;
    detail::FieldInfo f;
    f.name = "Exact";
    f.code = detail::fcBCD;
    f.width = 17;
    f.def.Size = 2;
    s.fields = {f};
    s.recordSize = 17;
    s.tableName = "B.DB";
    detail::Record r;
    r.data.assign(17, '\0');
    detail::EncodeValue(s, f, r, 12.5);
    const std::string stored = r.data;
    EXPECT_EQ(std::get<double>(detail::DecodeValue(s, f, r)), 12.5);
    // No BCD field holds these: the conversion error of the other types.
    for (double v : {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e32, -3e300}) {
        SCOPED_TRACE(v);
        try {
            detail::EncodeValue(s, f, r, v);
            ADD_FAILURE() << "stored";
        } catch (const EDBEngineError& e) {
            ADD_FAILURE() << "an engine error, not the conversion error: " << e.what();
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(std::string(e.what()), "Type mismatch for field 'Exact'");
        }
        EXPECT_EQ(r.data, stored);
    }
    // This one does not fit a field with 2 decimals: out of range, as for a Short.
    try {
        detail::EncodeValue(s, f, r, 2e30);
        ADD_FAILURE() << "stored";
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), ecValueTooLong) << e.what();
    }
    EXPECT_EQ(r.data, stored);
    // The widest values that fit keep every digit the field shows.
    detail::EncodeValue(s, f, r, -9.99e29);
    EXPECT_DOUBLE_EQ(std::get<double>(detail::DecodeValue(s, f, r)), -9.99e29);
    detail::EncodeValue(s, f, r, 123456789.25);
    EXPECT_EQ(std::get<double>(detail::DecodeValue(s, f, r)), 123456789.25);
}
