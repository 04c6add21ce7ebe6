// Tables: open a Paradox table by database (alias or folder) and file name, walk its rows,
// read and write fields, append, edit, post and delete.
//
// Opening a table reads its header and checks its files whole (a damaged table raises here),
// but keeps none of its rows: while nobody changes the table (and its file holds the rows in
// key order, as this engine writes them), a TTable reads its rows from the files a few blocks
// at a time and a BLOB value when a field asks for it (files changed since the open raise
// EDBEngineError where the read meets the damage). The first change (Edit, Append, Delete, a
// batch move or SQL update into it) loads the rows; every TTable open on the same file shares
// that one copy, so they see each other's posted changes, and a TTable that was reading the
// files goes on from its row among them. Changes are written to disk when the last TTable on the file closes (or at FlushBuffers): the new files
// are written beside the old ones and then put in their place, so a failed write leaves the
// table as it was. Keyed tables keep their rows in key order; Post refuses a duplicate key
// with EDBEngineError (ecKeyViolation). A table whose check (.VAL) or index (.XGn) file does
// not parse opens and reads normally, but every change of it raises EDBEngineError
// (ecCorrupt) naming that file. Errors: EDBEngineError for engine failures,
// EDatabaseError for misuse (unknown field name, wrong state), rtl::EConvertError for text
// that is no value of the field's type.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "dbengine/errors.h"
#include "dbengine/session.h"

namespace dbe {

enum class TFieldType { Unknown, String /*Alpha*/, Smallint, Integer, Boolean, Date, Time,
                        Memo, Graphic, Float, Currency, BCD, DateTime, AutoInc, Bytes,
                        FmtMemo, Blob, OLE, TimeStamp };

// Name, type and size as the table stores them. Size: characters of an Alpha field, bytes of
// a Bytes field, leading characters kept in the record for BLOB fields (Memo, Graphic, Blob,
// FmtMemo, OLE), digits of a BCD field, 0 for the rest.
struct TFieldDef {
    std::string Name;
    TFieldType DataType = TFieldType::Unknown;
    int Size = 0;
    bool Required = false;
};

struct TDate {
    int Year = 0, Month = 0, Day = 0;   // proleptic Gregorian calendar, year >= 1
    bool operator==(const TDate& o) const { return Year == o.Year && Month == o.Month && Day == o.Day; }
};

// Typed value of a field: monostate is null (blank). Alpha text and BLOB bytes are
// std::string (8-bit, in the table's code page); Short, Long Integer and AutoInc int32_t;
// Number, Money, BCD and TimeStamp double (a TimeStamp as milliseconds since 0001-01-01
// minus one day, as stored); Date TDate; Time int64_t milliseconds after midnight.
using TValue = std::variant<std::monostate, bool, int32_t, int64_t, double, std::string, TDate>;

class TTable;

// One field of the current row of an open table. Reads see the row being edited while the
// table is in edit or insert state, else the current row (null at end of table). Writes need
// the edit or insert state (EDatabaseError otherwise).
class TField {
public:
    const std::string& FieldName() const;
    TFieldType DataType() const;
    int Size() const;
    int Index() const { return index_; }

    bool IsNull() const;
    void Clear();
    // Text forms: Alpha as stored; numbers in decimal ("." as separator); Logical "True" /
    // "False"; Date "YYYY-MM-DD"; Time "HH:MM:SS" or "HH:MM:SS.mmm"; TimeStamp
    // "YYYY-MM-DD HH:MM:SS[.mmm]"; Memo the text; other BLOBs and Bytes the raw bytes.
    // A null field reads as "". Setting "" clears the field.
    std::string AsString() const;
    void SetAsString(const std::string& s);
    int32_t AsInteger() const;        // null reads as 0
    void SetAsInteger(int32_t v);
    bool AsBoolean() const;           // null reads as false
    void SetAsBoolean(bool v);
    double AsFloat() const;
    void SetAsFloat(double v);
    TDate AsDate() const;             // Date (or the date of a TimeStamp); null: {0,0,0}
    void SetAsDate(const TDate& d);
    int64_t AsTime() const;           // Time: milliseconds after midnight
    void SetAsTime(int64_t ms);
    std::string AsBlob() const;       // BLOB bytes (Memo text, picture, ...)
    void SetAsBlob(const std::string& bytes);
    TValue Value() const;
    void SetValue(const TValue& v);

private:
    friend class TTable;
    TField(TTable* t, int index) : table_(t), index_(index) {}
    TTable* table_;
    int index_;
};

class TTable {
public:
    TTable();
    ~TTable();
    TTable(const TTable&) = delete;
    TTable& operator=(const TTable&) = delete;

    std::string DatabaseName;   // alias, or a folder
    std::string TableName;      // file name; ".DB" is assumed without an extension

    void Open();                 // EDBEngineError when the table cannot be opened
    void Close();                // posts a pending edit or insert, then writes if last user
    bool Active() const;
    hDBIDb DBHandle() const;     // valid while open; nullptr when closed

    const std::vector<TFieldDef>& FieldDefs() const;
    int FieldCount() const;
    TField& Fields(int index);                     // ERangeError-free: EDatabaseError
    TField& FieldByName(const std::string& name);  // ignores letter case; else EDatabaseError
    TField* FindField(const std::string& name);    // nullptr when absent
    int KeyFieldCount() const;                     // 0 for an unkeyed table
    int RecordCount() const;
    std::string FullPath() const;                  // the .DB file, as opened

    void First();
    void Next();                 // posts a pending edit or insert first
    bool Eof() const;
    bool Bof() const;
    void Edit();                 // the current row into edit state
    void Append();               // a new blank row in insert state
    void Insert() { Append(); }
    void Post();                 // stores the edited / new row
    void Cancel();
    void Delete();               // deletes the current row; the next row becomes current
    bool Modified() const;
    enum class State { Inactive, Browse, Edit, Insert };
    State GetState() const;

    // Writes the table's pending changes to disk now.
    void FlushBuffers();

    struct Impl;
    Impl& impl() { return *impl_; }

private:
    friend class TField;
    std::unique_ptr<Impl> impl_;
    std::vector<std::unique_ptr<TField>> fields_;
};

}  // namespace dbe
