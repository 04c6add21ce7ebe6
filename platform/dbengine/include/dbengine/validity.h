// Validity checks of a Paradox table (its .VAL file): per field required, minimum, maximum and
// default, and the rules the engine applies when a row is inserted or posted.
//
// Values are kept as the raw bytes of the field in the table's record encoding (big-endian,
// sign bit flipped, all zero = null), so a check compares like the table sorts and needs no
// conversion. TValValue helpers build and read such bytes for the types the checks use.
// Reading a damaged .VAL file yields an error text (the caller raises EDBEngineError); nothing
// here throws except where a function says so.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dbe {

// Paradox field type codes as the table header stores them.
enum TPxFieldType : uint8_t {
    pxfAlpha = 0x01, pxfDate = 0x02, pxfShort = 0x03, pxfLong = 0x04, pxfCurrency = 0x05,
    pxfNumber = 0x06, pxfLogical = 0x09, pxfMemo = 0x0C, pxfBlob = 0x0D, pxfFmtMemo = 0x0E,
    pxfOLE = 0x0F, pxfGraphic = 0x10, pxfTime = 0x14, pxfTimestamp = 0x15, pxfAutoInc = 0x16,
    pxfBCD = 0x17, pxfBytes = 0x18
};

// One field of the table as the .VAL file describes it.
struct TValField {
    std::string Name;
    uint8_t Type = 0;       // TPxFieldType
    uint8_t Size = 0;       // width in the record, in bytes
    uint16_t Number = 0;    // 1-based field number
};

// The checks of one field. Min/Max/Default hold exactly Size bytes of the field when present.
struct TFieldCheck {
    uint16_t FieldNo = 0;   // 1-based field number
    bool Required = false;
    std::optional<std::string> Min, Max, Default;
    std::string Picture;    // kept as read (not enforced)
    std::string Lookup;     // raw lookup-table block, kept as read (not enforced)
    uint8_t LookupFlags = 0;
};

// Contents of a .VAL file.
struct TValidity {
    uint8_t ChangeCount = 0;          // must equal the table header's change count
    uint8_t Version = 0x09;           // file version id
    std::string TableName;            // e.g. "Accgroup.DB"
    std::vector<TValField> Fields;    // every field of the table, in field order
    std::vector<TFieldCheck> Checks;  // only fields that have a check, by field number
    std::string Extra;                // referential-integrity section, kept as read

    const TFieldCheck* CheckOf(uint16_t fieldNo) const;
    bool Empty() const { return Checks.empty() && Extra.empty(); }
};

// Serialises to the .VAL byte layout. Values of wrong width are cut or zero-padded.
std::string EncodeValidity(const TValidity& v);
// Parses a .VAL file; false and a message in `error` when it is damaged.
bool DecodeValidity(const std::string& bytes, TValidity& out, std::string& error);

// Record-encoded field values of the types the checks use.
namespace TValValue {
std::string Null(size_t size);
bool IsNull(const std::string& raw);
std::string Alpha(const std::string& codePageBytes, size_t size);  // zero padded, cut at size
std::string Short(int16_t v);
std::string Long(int32_t v);
std::string Logical(bool v);
std::string Date(int year, int month, int day);   // days since 0001-01-00
std::string DateDays(int32_t days);
std::string Time(int hour, int minute, int second, int ms = 0);  // ms since midnight
// Reading back (the raw value must not be null).
int32_t AsLong(const std::string& raw);    // Short, Long, Date, Time
bool AsLogical(const std::string& raw);
std::string AsAlpha(const std::string& raw);  // up to the first zero
void DateOf(int32_t days, int& year, int& month, int& day);
// Compares two non-null values of one field in table order (<0, 0, >0).
int Compare(uint8_t type, const std::string& a, const std::string& b);
// Readable text of a value for messages and dumps ("", "True", "2010-12-31", "09:00:00", 5).
std::string ToText(uint8_t type, const std::string& raw);
}  // namespace TValValue

}  // namespace dbe
