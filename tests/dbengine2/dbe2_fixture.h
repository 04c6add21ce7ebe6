// Shared helpers of the engine's part-two tests: a private folder per test, tables made from
// definitions, rows read back as text, and snapshots of a folder's files.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

#include "dbengine/dbengine.h"
#include "secondary_index.h"
#include "tabledata.h"
#include "val_checks.h"

namespace dbe2test {

#ifndef _WIN32
// While it lives, a file may grow to `bytes` only: a write past that fails (its signal ignored).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit low = old_;
        low.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &low);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*previous_)(int) = nullptr;
};
#endif

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder; removed at the end.
class TempFolder {
public:
    TempFolder() {
        static std::atomic<unsigned> n{0};
        const auto t = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = (fs::temp_directory_path() / ("kxdbe2_" + std::to_string(t % 100000000) + "_" + std::to_string(n++)))
                    .string();
        fs::create_directories(path_);
        path_ += '/';
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

inline dbe::detail::FieldSpec Field(const std::string& name, dbe::TFieldType type, int size = 0, bool key = false) {
    dbe::detail::FieldSpec f;
    f.name = name;
    f.type = type;
    f.size = size;
    f.key = key;
    return f;
}
inline dbe::detail::FieldSpec WithMin(dbe::detail::FieldSpec f, const std::string& v) {
    f.hasMin = true;
    f.minValue = v;
    return f;
}
inline dbe::detail::FieldSpec WithMax(dbe::detail::FieldSpec f, const std::string& v) {
    f.hasMax = true;
    f.maxValue = v;
    return f;
}
inline dbe::detail::FieldSpec WithDefault(dbe::detail::FieldSpec f, const std::string& v) {
    f.hasDefault = true;
    f.defaultValue = v;
    return f;
}
inline dbe::detail::FieldSpec Required(dbe::detail::FieldSpec f) {
    f.required = true;
    return f;
}

inline std::string Create(const std::string& folder, const std::string& name, std::vector<dbe::detail::FieldSpec> fields,
                          std::vector<dbe::detail::IndexSpec> indexes = {}, int level = 7, int blockSize = 2048) {
    dbe::detail::CreateSpec s;
    s.tableName = name;
    s.level = level;
    s.blockSize = blockSize;
    s.codePage = 1251;
    s.sortOrder = "ancyrr";
    s.fields = std::move(fields);
    s.indexes = std::move(indexes);
    return dbe::detail::CreateTable(folder, s);
}

using Row = std::vector<std::string>;   // field texts; "" = null

// Appends rows through TTable (values by field position; "" leaves the field null).
inline void AppendRows(const std::string& folder, const std::string& table, const std::vector<Row>& rows) {
    dbe::TTable t;
    t.DatabaseName = folder;
    t.TableName = table;
    t.Open();
    for (const Row& r : rows) {
        t.Append();
        for (size_t i = 0; i < r.size(); ++i)
            if (!r[i].empty()) t.Fields(int(i)).SetAsString(r[i]);
        t.Post();
    }
    t.Close();
}

// Every row as text, in table order; BLOB fields as their full contents.
inline std::vector<Row> ReadRows(const std::string& folder, const std::string& table) {
    dbe::TTable t;
    t.DatabaseName = folder;
    t.TableName = table;
    t.Open();
    std::vector<Row> out;
    for (t.First(); !t.Eof(); t.Next()) {
        Row r;
        for (int i = 0; i < t.FieldCount(); ++i) r.push_back(t.Fields(i).AsString());
        out.push_back(r);
    }
    t.Close();
    return out;
}

inline std::vector<std::string> FieldNames(const std::string& folder, const std::string& table) {
    dbe::TTable t;
    t.DatabaseName = folder;
    t.TableName = table;
    t.Open();
    std::vector<std::string> out;
    for (const auto& d : t.FieldDefs()) out.push_back(d.Name);
    return out;
}

inline std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// name -> bytes of every file in the folder (sub-folders left out).
inline std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.is_regular_file()) out[e.path().filename().string()] = FileBytes(e.path().string());
    return out;
}

inline std::vector<std::string> FileNames(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& [n, b] : Snapshot(folder)) out.push_back(n);
    return out;
}

// One stored record of a table-format file (.DB or .XGn) and the block that holds it.
struct StoredRecord {
    std::string data;
    unsigned block = 0;
};

// Reads a table-format file's records in block-chain order with a reader of its own (header
// fields as the table format documents them), independent of the engine's reader.
inline std::vector<StoredRecord> ReadStoredRecords(const std::string& path, unsigned& fileType, std::string& error) {
    std::vector<StoredRecord> out;
    const std::string b = FileBytes(path);
    auto u16 = [&](size_t o) { return unsigned(static_cast<unsigned char>(b[o]) | (static_cast<unsigned char>(b[o + 1]) << 8)); };
    if (b.size() < 0x78) {
        error = "short file";
        return out;
    }
    const unsigned rec = u16(0), hdr = u16(2), blockSize = unsigned(static_cast<unsigned char>(b[5])) * 1024u;
    fileType = static_cast<unsigned char>(b[4]);
    const unsigned nrec = u16(6) | (u16(8) << 16);
    unsigned blk = nrec ? u16(0x0E) : 0;
    unsigned guard = 0;
    while (blk != 0 && guard++ < 100000) {
        const size_t at = size_t(hdr) + size_t(blk - 1) * blockSize;
        if (at + 6 > b.size()) {
            error = "block outside the file";
            return out;
        }
        const int last = int16_t(u16(at + 4));
        for (int off = 0; last >= 0 && off <= last; off += int(rec)) {
            const size_t r = at + 6 + size_t(off);
            if (r + rec > b.size()) {
                error = "record outside the file";
                return out;
            }
            out.push_back({b.substr(r, rec), blk});
        }
        blk = u16(at);
    }
    if (out.size() != nrec) error = "record count differs from the header";
    return out;
}

// The Hint (last field, a Short block number) of an index record.
inline unsigned HintOf(const std::string& rec) {
    return ((static_cast<unsigned char>(rec[rec.size() - 2]) << 8) | static_cast<unsigned char>(rec.back())) ^ 0x8000u;
}

// A table whose check or index file does not parse: its rows read as they are, and every
// change (insert, edit, delete, a batch move into it) is refused with an engine error that
// names the damaged file, leaving every file of the folder as it was.
inline void ExpectReadableButNotChangeable(const std::string& folder, const std::string& table,
                                           const std::string& damagedFile, size_t rows) {
    const auto before = Snapshot(folder);
    EXPECT_EQ(ReadRows(folder, table).size(), rows);
    auto expectRefused = [&](const char* what, auto&& change) {
        SCOPED_TRACE(what);
        try {
            change();
            ADD_FAILURE() << "not refused";
        } catch (const dbe::EDBEngineError& e) {
            EXPECT_EQ(e.ErrorCode(), dbe::ecCorrupt);
            EXPECT_NE(e.Message().find(damagedFile), std::string::npos) << e.Message();
        }
    };
    {
        dbe::TTable t;
        t.DatabaseName = folder;
        t.TableName = table;
        t.Open();
        expectRefused("insert", [&] {
            t.Append();
            t.Fields(0).SetAsString("999");
            t.Post();
        });
        t.Cancel();
        t.First();
        expectRefused("edit", [&] {
            t.Edit();
            t.Fields(1).SetAsString("1");
            t.Post();
        });
        t.Cancel();
        t.First();
        expectRefused("delete", [&] { t.Delete(); });
        t.Close();
    }
    expectRefused("batch move", [&] {
        dbe::TTable src, dst;
        src.DatabaseName = folder;
        src.TableName = table;
        dst.DatabaseName = folder;
        dst.TableName = table;
        dbe::TBatchMove m;
        m.Source = &src;
        m.Destination = &dst;
        m.Mode = dbe::batAppendUpdate;
        m.Execute();
    });
    EXPECT_EQ(ReadRows(folder, table).size(), rows);
    EXPECT_EQ(Snapshot(folder), before);
}

}  // namespace dbe2test
