// .VAL codec and record-encoded check values (layout in val_format.h).
#include "dbengine/validity.h"

#include "val_format.h"

#include <cstdio>
#include <cstring>

namespace dbe {

namespace {

using namespace valfmt;

// Bounds-checked reader over the file's bytes; the first failure sticks.
class Reader {
public:
    explicit Reader(const std::string& b) : b_(b) {}
    bool Has(size_t off, size_t n) const { return off <= b_.size() && n <= b_.size() - off; }
    bool U8(size_t off, unsigned& v) {
        if (!Need(off, 1)) return false;
        v = static_cast<unsigned char>(b_[off]);
        return true;
    }
    bool U16(size_t off, unsigned& v) {
        if (!Need(off, 2)) return false;
        v = Byte(off) | (Byte(off + 1) << 8);
        return true;
    }
    bool U32(size_t off, uint32_t& v) {
        if (!Need(off, 4)) return false;
        v = uint32_t(Byte(off)) | (uint32_t(Byte(off + 1)) << 8) | (uint32_t(Byte(off + 2)) << 16) |
            (uint32_t(Byte(off + 3)) << 24);
        return true;
    }
    bool Bytes(size_t off, size_t n, std::string& out) {
        if (!Need(off, n)) return false;
        out.assign(b_, off, n);
        return true;
    }
    // Zero-terminated text starting at off, never beyond `end`; `next` is past the zero.
    bool CString(size_t off, size_t end, std::string& out, size_t& next) {
        if (end > b_.size()) end = b_.size();
        if (off >= end) return Fail(off);
        const void* z = std::memchr(b_.data() + off, 0, end - off);
        if (!z) return Fail(off);
        size_t len = static_cast<const char*>(z) - (b_.data() + off);
        out.assign(b_, off, len);
        next = off + len + 1;
        return true;
    }
    size_t Size() const { return b_.size(); }
    size_t FailedAt() const { return failedAt_; }

private:
    unsigned Byte(size_t off) const { return static_cast<unsigned char>(b_[off]); }
    bool Need(size_t off, size_t n) { return Has(off, n) || Fail(off); }
    bool Fail(size_t off) {
        failedAt_ = off;
        return false;
    }
    const std::string& b_;
    size_t failedAt_ = 0;
};

void PutU32(std::string& s, size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[off + i] = char((v >> (8 * i)) & 0xFF);
}
void AppendU16(std::string& s, unsigned v) {
    s.push_back(char(v & 0xFF));
    s.push_back(char((v >> 8) & 0xFF));
}
std::string Fit(const std::string& v, size_t n) {
    std::string r = v.substr(0, n);
    r.resize(n, '\0');
    return r;
}

bool Damaged(std::string& error, const char* what, size_t off) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s at offset %zu", what, off);
    error = buf;
    return false;
}

}  // namespace

const TFieldCheck* TValidity::CheckOf(uint16_t fieldNo) const {
    for (const TFieldCheck& c : Checks)
        if (c.FieldNo == fieldNo) return &c;
    return nullptr;
}

std::string EncodeValidity(const TValidity& v) {
    std::string out(kHeaderSize, '\0');
    out[kHdrChangeCount] = char(v.ChangeCount);
    out[kHdrVersion] = char(v.Version);
    out[kHdrCheckCount] = char(v.Checks.size() & 0xFF);

    for (const TFieldCheck& c : v.Checks) {
        size_t width = 0;
        for (const TValField& f : v.Fields)
            if (f.Number == c.FieldNo) width = f.Size;
        std::string e(kEntryFixedSize, '\0');
        e[kEntFieldNo] = char(c.FieldNo & 0xFF);
        std::string picture = c.Picture.substr(0, 254);
        if (!picture.empty()) e[kEntPictureLen] = char(picture.size() + 1);
        e[kEntLookupFlags] = char(c.LookupFlags);
        // Presence markers: the file only needs them non-zero.
        if (!c.Lookup.empty()) PutU32(e, kEntHasLookup, 1);
        if (c.Min) PutU32(e, kEntHasMin, 1);
        if (c.Max) PutU32(e, kEntHasMax, 1);
        if (c.Default) PutU32(e, kEntHasDefault, 1);
        if (!picture.empty()) PutU32(e, kEntHasPicture, 1);
        e[kEntRequired] = c.Required ? 1 : 0;
        if (c.Min) e += Fit(*c.Min, width);
        if (c.Max) e += Fit(*c.Max, width);
        if (c.Default) e += Fit(*c.Default, width);
        if (!picture.empty()) {
            e += picture;
            e.push_back('\0');
        }
        if (!c.Lookup.empty()) e += Fit(c.Lookup, kLookupBlockSize);
        out += e;
    }
    if (!v.Extra.empty()) {
        PutU32(out, kHdrRefIntegrityOffset, uint32_t(out.size()));
        out += v.Extra;
    }
    PutU32(out, kHdrFooterOffset, uint32_t(out.size()));

    AppendU16(out, unsigned(v.Fields.size()));
    out.append(4, '\0');
    for (const TValField& f : v.Fields) AppendU16(out, f.Number);
    for (const TValField& f : v.Fields) {
        out.push_back(char(f.Type));
        out.push_back(char(f.Size));
    }
    out += Fit(v.TableName, kTableNameSize);
    for (const TValField& f : v.Fields) {
        out += f.Name;
        out.push_back('\0');
    }
    return out;
}

bool DecodeValidity(const std::string& bytes, TValidity& out, std::string& error) {
    Reader r(bytes);
    TValidity v;
    unsigned u = 0, count = 0;
    uint32_t footer = 0, refInt = 0;
    if (!r.Has(0, kHeaderSize)) return Damaged(error, "truncated header", bytes.size());
    r.U8(kHdrChangeCount, u);
    v.ChangeCount = uint8_t(u);
    r.U8(kHdrVersion, u);
    v.Version = uint8_t(u);
    if (u < kMinVersion || u > kMaxVersion) return Damaged(error, "unsupported file version", kHdrVersion);
    r.U8(kHdrCheckCount, count);
    r.U32(kHdrFooterOffset, footer);
    r.U32(kHdrRefIntegrityOffset, refInt);
    if (footer < kHeaderSize || !r.Has(footer, kFtrFixedSize))
        return Damaged(error, "field section outside the file", kHdrFooterOffset);

    // Field section first: the check entries need the field widths.
    unsigned nFields = 0;
    r.U16(footer, nFields);
    size_t off = footer + kFtrFixedSize;
    if (nFields == 0 || nFields > 255) return Damaged(error, "bad field count", footer);
    v.Fields.resize(nFields);
    for (unsigned i = 0; i < nFields; ++i, off += 2) {
        if (!r.U16(off, u)) return Damaged(error, "truncated field numbers", off);
        v.Fields[i].Number = uint16_t(u);
    }
    for (unsigned i = 0; i < nFields; ++i, off += 2) {
        unsigned t = 0, s = 0;
        if (!r.U8(off, t) || !r.U8(off + 1, s)) return Damaged(error, "truncated field types", off);
        v.Fields[i].Type = uint8_t(t);
        v.Fields[i].Size = uint8_t(s);
    }
    std::string name;
    if (!r.Bytes(off, kTableNameSize, name)) return Damaged(error, "truncated table name", off);
    v.TableName = name.substr(0, name.find('\0'));
    off += kTableNameSize;
    for (unsigned i = 0; i < nFields; ++i) {
        if (!r.CString(off, bytes.size(), v.Fields[i].Name, off))
            return Damaged(error, "truncated field name", r.FailedAt());
    }

    // Check entries, between the header and the referential-integrity section or the footer.
    size_t bodyEnd = footer;
    if (refInt != 0) {
        if (refInt < kHeaderSize || refInt > footer)
            return Damaged(error, "referential-integrity section outside the body", kHdrRefIntegrityOffset);
        bodyEnd = refInt;
    }
    off = kHeaderSize;
    for (unsigned i = 0; i < count; ++i) {
        if (off > bodyEnd || bodyEnd - off < kEntryFixedSize)
            return Damaged(error, "truncated check entry", off);
        TFieldCheck c;
        unsigned fieldNo = 0, picLen = 0, flags = 0, req = 0;
        uint32_t hasLookup = 0, hasMin = 0, hasMax = 0, hasDefault = 0, hasPicture = 0;
        r.U8(off + kEntFieldNo, fieldNo);
        r.U8(off + kEntPictureLen, picLen);
        r.U8(off + kEntLookupFlags, flags);
        r.U32(off + kEntHasLookup, hasLookup);
        r.U32(off + kEntHasMin, hasMin);
        r.U32(off + kEntHasMax, hasMax);
        r.U32(off + kEntHasDefault, hasDefault);
        r.U32(off + kEntHasPicture, hasPicture);
        r.U8(off + kEntRequired, req);
        const TValField* field = nullptr;
        for (const TValField& f : v.Fields)
            if (f.Number == fieldNo) field = &f;
        if (!field) return Damaged(error, "check for an unknown field", off);
        c.FieldNo = uint16_t(fieldNo);
        c.Required = req != 0;
        c.LookupFlags = uint8_t(flags);
        size_t at = off + kEntryFixedSize;
        std::string val;
        auto take = [&](uint32_t present, std::optional<std::string>& slot) {
            if (!present) return true;
            if (at > bodyEnd || bodyEnd - at < field->Size) return false;
            r.Bytes(at, field->Size, val);
            slot = val;
            at += field->Size;
            return true;
        };
        if (!take(hasMin, c.Min) || !take(hasMax, c.Max) || !take(hasDefault, c.Default))
            return Damaged(error, "truncated check value", at);
        if (hasPicture || picLen) {
            if (!r.CString(at, bodyEnd, c.Picture, at)) return Damaged(error, "truncated picture", at);
        }
        if (hasLookup) {
            if (at > bodyEnd || bodyEnd - at < kLookupBlockSize) return Damaged(error, "truncated lookup", at);
            r.Bytes(at, kLookupBlockSize, c.Lookup);
            at += kLookupBlockSize;
        }
        v.Checks.push_back(std::move(c));
        off = at;
    }
    if (off < footer) r.Bytes(off, footer - off, v.Extra);
    out = std::move(v);
    return true;
}

// ---- record-encoded values -------------------------------------------------------------

namespace TValValue {

namespace {
std::string BigEndian(uint32_t v, int n) {
    std::string r(size_t(n), '\0');
    for (int i = n - 1; i >= 0; --i, v >>= 8) r[size_t(i)] = char(v & 0xFF);
    return r;
}
uint32_t FromBigEndian(const std::string& raw) {
    uint32_t v = 0;
    for (char c : raw) v = (v << 8) | static_cast<unsigned char>(c);
    return v;
}
// Days from the civil date (proleptic Gregorian), day 1 = 0001-01-01.
int32_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 305;  // 0001-01-01 -> 1
}
}  // namespace

std::string Null(size_t size) { return std::string(size, '\0'); }
bool IsNull(const std::string& raw) { return raw.find_first_not_of('\0') == std::string::npos; }
std::string Alpha(const std::string& bytes, size_t size) { return Fit(bytes, size); }
std::string Short(int16_t v) { return BigEndian(uint16_t(v) ^ 0x8000u, 2); }
std::string Long(int32_t v) { return BigEndian(uint32_t(v) ^ 0x80000000u, 4); }
std::string Logical(bool v) { return std::string(1, char(v ? 0x81 : 0x80)); }
std::string DateDays(int32_t days) { return Long(days); }
std::string Date(int year, int month, int day) { return DateDays(DaysFromCivil(year, month, day)); }
std::string Time(int h, int m, int s, int ms) { return Long(((h * 60 + m) * 60 + s) * 1000 + ms); }

int32_t AsLong(const std::string& raw) {
    if (raw.size() == 2) return int16_t(uint16_t(FromBigEndian(raw) ^ 0x8000u));
    return int32_t(FromBigEndian(raw) ^ 0x80000000u);
}
bool AsLogical(const std::string& raw) { return !raw.empty() && (static_cast<unsigned char>(raw[0]) & 0x7F) != 0; }
std::string AsAlpha(const std::string& raw) { return raw.substr(0, raw.find('\0')); }

void DateOf(int32_t days, int& year, int& month, int& day) {
    // In 64 bits: a damaged day number near either end of the 32-bit range must not overflow
    // (the years of every 32-bit day, about +-5.9 million, fit an int).
    const int64_t z = int64_t(days) + 305;  // inverse of DaysFromCivil
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp + (mp < 10 ? 3 : -9));
    year = int(yoe + era * 400 + (month <= 2));
}

int Compare(uint8_t type, const std::string& a, const std::string& b) {
    // The record encoding sorts as unsigned bytes for every type the checks use; Alpha
    // compares ordinally (the checks of this system have no Alpha ranges).
    (void)type;
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string ToText(uint8_t type, const std::string& raw) {
    if (IsNull(raw)) return std::string();
    char buf[48];
    switch (type) {
    case pxfAlpha:
        return AsAlpha(raw);
    case pxfShort:
    case pxfLong:
    case pxfAutoInc:
        std::snprintf(buf, sizeof buf, "%ld", long(AsLong(raw)));
        return buf;
    case pxfLogical:
        return AsLogical(raw) ? "True" : "False";
    case pxfDate: {
        int y = 0, m = 0, d = 0;
        DateOf(AsLong(raw), y, m, d);
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
        return buf;
    }
    case pxfTime: {
        long ms = AsLong(raw);
        if (ms % 1000)
            std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld.%03ld", ms / 3600000, ms / 60000 % 60,
                          ms / 1000 % 60, ms % 1000);
        else
            std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60);
        return buf;
    }
    default: {
        std::string hex;
        for (char c : raw) {
            std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned char>(c));
            hex += buf;
        }
        return hex;
    }
    }
}

}  // namespace TValValue

}  // namespace dbe
