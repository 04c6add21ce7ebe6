// Internal: the in-memory model of one Paradox table family and its load / save.
//
// A TableData holds a table's structure (Schema) and, from their first change on, all its rows
// (Record) while any TTable of the process has it open. Rows live in an ordered set: keyed tables by their key fields
// (as the sort order compares them), unkeyed tables by arrival (seq). Record::data is the
// record exactly as a data block stores it (big-endian field data, high-bit sign, blank =
// null); BLOB contents are kept apart in Record::blobs (one slot per field, "" = null) and
// their 10-byte BLOB pointers are produced when the table is saved.
//
// Used by table.cpp (TTable), the batch move, the checks and the secondary indexes.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dbengine/errors.h"
#include "dbengine/table.h"

namespace dbe::detail {

// Paradox field type codes (field-info array of the header).
enum FieldCode : uint8_t {
    fcAlpha = 0x01, fcDate = 0x02, fcShort = 0x03, fcLong = 0x04, fcCurrency = 0x05,
    fcNumber = 0x06, fcLogical = 0x09, fcMemo = 0x0C, fcBlob = 0x0D, fcFmtMemo = 0x0E,
    fcOLE = 0x0F, fcGraphic = 0x10, fcTime = 0x14, fcTimestamp = 0x15, fcAutoInc = 0x16,
    fcBCD = 0x17, fcBytes = 0x18,
};

// Bytes of a value of a fixed-size field type in the record; 0 for the types whose width the
// definition gives (Alpha, Bytes, the BLOB types) and for codes that are no field type.
int FixedFieldWidth(uint8_t code);
// Most bytes of a BLOB value kept in the record before its pointer.
constexpr int kMaxBlobLeader = 240;

struct FieldInfo {
    std::string name;
    int index = 0;         // position in Schema::fields
    uint8_t code = 0;      // FieldCode
    int width = 0;         // bytes in the record
    int offset = 0;        // offset in the record
    bool blob = false;     // Memo, Blob, FmtMemo, OLE, Graphic
    int leader = 0;        // BLOB: bytes of the value kept in the record (width - 10)
    TFieldDef def;         // public view
};

struct Schema {
    std::vector<FieldInfo> fields;
    int recordSize = 0;
    int keyFields = 0;          // leading fields that form the primary key (0: unkeyed)
    int level = 5;              // table level 3, 4, 5 or 7
    int fileVersion = 0;        // header byte 0x39 as read / written
    int blockSize = 2048;       // bytes per data block
    uint16_t codePage = 1252;   // DOS/Windows code page of the data
    uint8_t sortOrderId = 0;    // header byte 0x29
    std::string sortOrder = "ascii";  // sort order (language driver) name
    uint32_t autoInc = 0;       // next AutoInc value (header 0x49)
    std::string tableName;      // name stored in the header

    bool HasBlobs() const;
    int FindField(const std::string& name) const;  // ignoring case; -1 when absent
};

struct Record {
    std::string data;                 // recordSize bytes
    std::vector<std::string> blobs;   // per field when the table has BLOB fields ("" = null),
                                      // else empty
    uint64_t seq = 0;                 // arrival order (unkeyed order, stable tie-break)
    bool deleted = false;             // set when the row left the table
};
using RecordPtr = std::shared_ptr<Record>;

// Compares two records' key fields (Alpha by the sort order, others by their stored bytes,
// which the format makes order-preserving). Returns <0, 0, >0.
int CompareKeys(const Schema& s, const Record& a, const Record& b);

struct RecordLess {
    const Schema* schema;
    bool operator()(const RecordPtr& a, const RecordPtr& b) const;
};
using RowSet = std::set<RecordPtr, RecordLess>;

// A cursor that reads a table's rows straight from its files while nobody has loaded them
// (TTable reading a table front to back). It registers with its TableData; LoadRows hands
// each registered cursor its current row in the loaded set, after which the cursor walks
// that set and leaves the files alone.
struct RowStream {
    virtual ~RowStream() = default;
    // Rows of the files passed before the current one (file order); meaningless at the end.
    virtual uint32_t Ordinal() const = 0;
    virtual bool AtEnd() const = 0;
    // The rows were loaded: the current row is `row` (nullptr past the last one).
    virtual void RowsLoaded(RecordPtr row) = 0;
};

struct TableData {
    std::string dbPath;        // the .DB file as found on disk
    Schema schema;
    RowSet rows{RecordLess{nullptr}};
    uint64_t nextSeq = 1;
    uint64_t generation = 0;   // bumped by every change of rows
    bool dirty = false;        // rows differ from the files
    int users = 0;             // open TTable objects
    // A table opened for reading holds its rows only from their first change on (LoadRows);
    // until then `rows` is empty and fileRecords is the header's count.
    bool rowsLoaded = true;
    uint32_t fileRecords = 0;
    RecordPtr firstAtLoad;        // the first row when the rows were loaded (nullptr: none)
    uint64_t loadGeneration = 0;  // generation when they were
    // The files hold the rows in the order of the loaded set (keyed: keys ascending), so
    // that a cursor may read them from the files until they are loaded; the cursors doing
    // so now.
    bool streamable = false;
    std::vector<RowStream*> streams;
    // Why the table may be read but not changed ("" when it may be): a check or index file
    // of its family that does not parse. Reading depends on the .DB and .MB only; a write
    // would break checks or indexes that this engine cannot see.
    std::string writeRefusal;
    // Slots for other engine modules (checks, secondary indexes): keyed by module name.
    std::map<std::string, std::shared_ptr<void>> extensions;

    TableData() { rows = RowSet(RecordLess{&schema}); }
    TableData(const TableData&) = delete;
    TableData& operator=(const TableData&) = delete;

    RecordPtr NewRecord() const;   // blank record of this schema
    // Inserts a row (keyed: refuses a duplicate key with ecKeyViolation). Sets seq.
    RowSet::iterator InsertRow(RecordPtr r);
    // Replaces a stored row by a changed copy (may move it when its key changed).
    RowSet::iterator UpdateRow(const RecordPtr& old, RecordPtr changed);
    void DeleteRow(const RecordPtr& r);
    void Touch() { ++generation; dirty = true; }
};

// Raises EDBEngineError (ecCorrupt, naming the damaged file) when the table may not be
// changed; called before every change of rows and before every save.
void CheckWritable(const TableData& t);

// --- files ---
// Family file names beside a table: "Doors.DB" -> "Doors.PX", "Doors.MB", ...
std::string FamilyPath(const std::string& dbPath, const std::string& ext);

// Reads a .DB (and its .MB). EDBEngineError on a missing, unreadable or corrupt file; never
// writes. The primary index is not read: the rows carry their keys.
std::unique_ptr<TableData> LoadTable(const std::string& dbPath);
// Parses a table from memory (the fuzz target's entry). blobFile may be empty.
std::unique_ptr<TableData> ParseTable(const std::string& name, const std::string& dbBytes,
                                      const std::string& mbBytes, bool haveMb);

// Writes .DB, .PX (keyed) and .MB (with BLOB fields) to temporary files, then renames them
// over the old ones. A failure before the renames leaves the old files untouched.
void SaveTable(TableData& t);

// Encodes a table to bytes (no files): .DB image, .PX image (empty for unkeyed), .MB image
// (empty without BLOB fields).
struct TableImage { std::string db, px, mb; };
TableImage BuildImage(const TableData& t);

// --- creation ---
struct FieldSpec {
    std::string name;
    TFieldType type = TFieldType::Unknown;
    int size = 0;            // Alpha / Bytes width, BLOB leader, BCD digits
    bool key = false;
    bool required = false;
    // Validity checks as text (empty = none); applied by the checks module through the
    // create hook.
    std::string minValue, maxValue, defaultValue;
    bool hasMin = false, hasMax = false, hasDefault = false;
};
struct IndexSpec {
    std::string name;
    std::vector<std::string> fields;
};
struct CreateSpec {
    std::string tableName;   // stem or file name
    int level = 5;
    int blockSize = 2048;
    uint16_t codePage = 1252;
    std::string sortOrder = "ascii";
    std::vector<FieldSpec> fields;
    std::vector<IndexSpec> indexes;
};
// Creates an empty table family in folder (replacing files of the same names). Key fields
// must come first. EDBEngineError (ecInvalidDefinition) for a definition that cannot be
// stored. Returns the .DB path.
std::string CreateTable(const std::string& folder, const CreateSpec& spec);
// Builds the schema of a table definition without writing (validates it).
Schema SchemaFromSpec(const CreateSpec& spec);

// --- field values ---
TValue DecodeValue(const Schema& s, const FieldInfo& f, const Record& r);
// Stores v (converted to the field's type); EDBEngineError ecValueTooLong when it does not
// fit, rtl::EConvertError for a text that is no value of the type.
void EncodeValue(const Schema& s, const FieldInfo& f, Record& r, const TValue& v);
bool IsNullValue(const Schema& s, const FieldInfo& f, const Record& r);
std::string ValueToText(const FieldInfo& f, const TValue& v);
TValue TextToValue(const FieldInfo& f, const std::string& text);  // "" -> null

// Calendar helpers: day number as the Date field stores it (0001-01-01 = 1).
int32_t DateToDays(const TDate& d);
TDate DaysToDate(int32_t days);
bool ValidDate(const TDate& d);

// --- shared open tables of the process ---
// Finds or loads the table at dbPath (shared by every TTable on it); users is counted.
std::shared_ptr<TableData> AcquireTable(const std::string& dbPath);
// The same for reading: the table's files are checked whole, but its rows are read only
// when LoadRows is first called (TTable does at its first change, or at the first row access
// when the files do not hold the rows in order).
std::shared_ptr<TableData> AcquireTableForReading(const std::string& dbPath);
// Reads the rows of a table acquired for reading (nothing when they are there); each
// registered RowStream gets its current row and is forgotten.
void LoadRows(TableData& t);
// Drops one user; the last one saves a dirty table and unloads it.
void ReleaseTable(const std::shared_ptr<TableData>& t);
// Saves now if dirty.
void FlushTable(TableData& t);
// Forgets a loaded table without saving (after its files were replaced by a copy).
void DiscardLoadedTable(const std::string& dbPath);
// The loaded table at dbPath, or nullptr.
std::shared_ptr<TableData> FindLoadedTable(const std::string& dbPath);

// Removes the table's family files (.DB, .PX, .MB, .VAL, .XGn, .YGn, whatever their letter
// case). Raises EDBEngineError when a file exists but cannot be removed.
void DeleteFamily(const std::string& dbPath);

// Finds the file in folder whose name equals name ignoring case; "" when none.
std::string FindFileNoCase(const std::string& folder, const std::string& name);
// Appends ".DB" to a table name without extension.
std::string TableFileName(const std::string& tableName);

}  // namespace dbe::detail
