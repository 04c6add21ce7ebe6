// Internal: table files row by row, for work that must not hold a whole table in memory (the
// batch move's bulk path, the checking pass of a table opened for reading).
//
//   TableReader   reads a table's header, then its rows in block-chain order through a window
//                 of a few data blocks, and BLOB values on demand; every size, count and link
//                 is checked as LoadTable checks it, each damage raised as EDBEngineError
//                 (ecCorrupt) naming the file.
//   TableWriter   writes a table's .DB (and .MB) block by block to the files it is given and
//                 returns the .PX image: for the same rows in the same order, the bytes that
//                 BuildImage gives (but the header's update time).
// Neither touches the process's loaded tables.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tabledata.h"

namespace dbe::detail {

// What the header says about the data blocks.
struct TableFileInfo {
    uint32_t numRecords = 0;
    unsigned firstBlock = 0;
    std::size_t headerSize = 0;
    std::size_t blocksInFile = 0;   // whole blocks after the header
};

// Parses a table header from db (the file's first bytes, at least the whole header);
// fileSize is the size of the whole file. The returned table has its schema and no rows.
std::unique_ptr<TableData> ParseHeader(const std::string& name, const std::string& db, uint64_t fileSize,
                                       TableFileInfo& info);

// Bytes of the primary key at the start of a record (0 for an unkeyed table).
int KeyWidth(const Schema& s);
// Compares the key fields of two records given by their bytes (as CompareKeys does).
int CompareKeyBytes(const Schema& s, const char* a, const char* b);
// The first bytes of field f's sort key, as a number: where the numbers of two values differ,
// they order the values as CompareKeyBytes does; equal numbers decide nothing.
uint64_t SortPrefix(const Schema& s, const FieldInfo& f, const char* value);

// The first key of one data block and its record count, for the primary index.
struct IndexBlockEntry {
    std::string key;
    unsigned count;
};
std::string BuildPrimaryIndex(const Schema& s, const std::string& name, const std::vector<IndexBlockEntry>& entries);
// The same from n keys of KeyWidth(s) bytes each, one after another, and their counts.
std::string BuildPrimaryIndex(const Schema& s, const std::string& name, const char* keys, const unsigned* counts,
                              std::size_t n);

// A row's place in its file: block number (high 16 bits) and index in the block.
using RowPos = uint32_t;

class TableReader {
public:
    // Opens the .DB at dbPath (and its .MB) and reads the header. EDBEngineError as LoadTable.
    explicit TableReader(const std::string& dbPath);
    ~TableReader();
    TableReader(const TableReader&) = delete;
    TableReader& operator=(const TableReader&) = delete;

    const TableData& header() const;   // schema and path; no rows
    uint32_t RecordCount() const;

    // The next row in chain order (its bytes, valid until the next read); false after the
    // last one, when the rows found must match the header's count.
    bool Next(const char*& record, RowPos& pos);
    void Rewind();
    // A row that an earlier pass met at pos.
    const char* At(RowPos pos);
    // The BLOB value of field f of the record (checked as LoadTable checks it).
    std::string Blob(const FieldInfo& f, const char* record);
    // Raises EDBEngineError (ecCorrupt) unless the file's records are laid out as s says
    // (fields, their types and places): s was read from an earlier state of the file.
    void ExpectLayout(const Schema& s) const;
    // Walks every row and BLOB pointer, raising what LoadTable would raise; then rewinds.
    // Returns whether the rows come in key order (ties allowed; always for an unkeyed
    // table), the order in which LoadTable's row set holds them.
    bool CheckAll();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

class TableWriter {
public:
    // A table family of schema s (its header naming `name`) with rowCount rows. EDBEngineError
    // (ecValueTooLong) when the rows need more data blocks than the format allows.
    TableWriter(const Schema& s, const std::string& name, uint32_t rowCount);
    ~TableWriter();
    TableWriter(const TableWriter&) = delete;
    TableWriter& operator=(const TableWriter&) = delete;

    // The .DB header, to be amended before Start.
    std::string& Header();
    // Creates the files (mbFile: "" for a table without BLOB fields) and writes the header.
    void Start(const std::string& dbFile, const std::string& mbFile);
    // The next row in order, with its BLOB values in r.blobs.
    void Add(const Record& r);
    // The same from the record's bytes and its BLOB values (nullptr: none).
    void AddRow(const char* data, const std::vector<std::string>* blobs);
    // Writes what is left and closes the files; returns the .PX image ("" when unkeyed).
    // EDBEngineError when a write failed.
    std::string Finish();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace dbe::detail
