// Field values as the Paradox format stores them in records, and their text forms.
//
// Numbers are big-endian with the sign bit flipped (positive values have the high bit set,
// negative integers keep two's complement with it clear, negative floating values have every
// bit inverted), so that stored bytes sort like the values and a record of zero bytes is
// blank. Blank (all zero) is null for every type; hence the smallest Short and Long Integer
// (-32768, -2147483648) cannot be stored and are refused.
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "rtl/strutil.h"
#include "tabledata.h"

namespace dbe::detail {
namespace {

uint64_t GetBE(const char* p, int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | static_cast<unsigned char>(p[i]);
    return v;
}
void PutBE(char* p, int n, uint64_t v) {
    for (int i = n - 1; i >= 0; --i) {
        p[i] = static_cast<char>(v & 0xFF);
        v >>= 8;
    }
}
bool AllZero(const char* p, int n) {
    for (int i = 0; i < n; ++i)
        if (p[i] != 0) return false;
    return true;
}

double GetDouble(const char* p) {
    unsigned char b[8];
    std::memcpy(b, p, 8);
    if (b[0] & 0x80) {
        b[0] ^= 0x80;
    } else {
        for (auto& c : b) c = static_cast<unsigned char>(~c);
    }
    uint64_t bits = GetBE(reinterpret_cast<const char*>(b), 8);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}
void PutDouble(char* p, double d) {
    if (d == 0) d = 0.0;  // no negative zero: it would sort below the positive values
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    if (bits & 0x8000000000000000ull)
        bits = ~bits;
    else
        bits |= 0x8000000000000000ull;
    PutBE(p, 8, bits);
}

// BCD: byte 0 = sign (0x80 = positive) | decimals; 32 digit nibbles follow. Negative values
// are stored with every bit inverted.
double GetBcd(const char* p, int width) {
    if (width < 2) return 0;
    std::string b(p, static_cast<std::size_t>(width));
    bool positive = (static_cast<unsigned char>(b[0]) & 0x80) != 0;
    if (!positive)
        for (auto& c : b) c = static_cast<char>(~c);
    int scale = static_cast<unsigned char>(b[0]) & 0x3F;
    double v = 0;
    for (int i = 1; i < width; ++i) {
        unsigned char c = static_cast<unsigned char>(b[static_cast<std::size_t>(i)]);
        v = v * 10 + ((c >> 4) & 0x0F) % 10;
        v = v * 10 + (c & 0x0F) % 10;
    }
    v /= std::pow(10.0, scale);
    return positive ? v : -v;
}
// False, leaving p as it was, when v has more digits than the field holds (or is no number):
// the digits are taken from a value that fits, so each is 0 to 9.
bool PutBcd(char* p, int width, int decimals, double v) {
    const int digits = (width - 1) * 2;
    const double a = std::fabs(v) * std::pow(10.0, decimals);
    double rest = std::floor(a + 0.5);
    if (!(rest < std::pow(10.0, digits))) return false;
    std::memset(p, 0, static_cast<std::size_t>(width));
    bool negative = v < 0;
    std::string d(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0 && rest > 0; --i) {
        const double digit = std::fmod(rest, 10.0);
        d[static_cast<std::size_t>(i)] = static_cast<char>('0' + static_cast<int>(digit));
        rest = std::floor(rest / 10);
    }
    p[0] = static_cast<char>(0x80 | (decimals & 0x3F));
    for (int i = 0; i < digits; i += 2)
        p[1 + i / 2] = static_cast<char>(((d[static_cast<std::size_t>(i)] - '0') << 4) |
                                         (d[static_cast<std::size_t>(i) + 1] - '0'));
    if (negative)
        for (int i = 0; i < width; ++i) p[i] = static_cast<char>(~p[i]);
    return true;
}

// The field's bytes in the record. The table header's checks make every field of a schema
// lie inside its records, fixed-size types exactly as wide as their decoders read; this keeps
// a read or a write within the record whatever schema reached it.
void CheckFieldInRecord(const Schema& s, const FieldInfo& f, const Record& r) {
    const int fixed = FixedFieldWidth(f.code);
    if (f.offset < 0 || f.width <= 0 || (!f.blob && fixed > 0 && f.width != fixed) ||
        static_cast<std::size_t>(f.offset) + static_cast<std::size_t>(f.width) > r.data.size())
        throw EDBEngineError(ecCorrupt, rtl::Format("Corrupt table %s: field '%s' lies outside its record",
                                                    s.tableName.c_str(), f.name.c_str()));
}

[[noreturn]] void NotConvertible(const FieldInfo& f) {
    throw EDatabaseError(rtl::Format("Type mismatch for field '%s'", f.name.c_str()));
}

int64_t ValueAsInt(const FieldInfo& f, const TValue& v) {
    if (auto p = std::get_if<int32_t>(&v)) return *p;
    if (auto p = std::get_if<int64_t>(&v)) return *p;
    if (auto p = std::get_if<bool>(&v)) return *p ? 1 : 0;
    if (auto p = std::get_if<double>(&v)) {
        if (!(std::fabs(*p) < 9.2e18)) NotConvertible(f);
        return static_cast<int64_t>(std::llround(*p));
    }
    if (auto p = std::get_if<std::string>(&v)) {
        TValue t = TextToValue(f, *p);
        if (std::holds_alternative<std::string>(t)) NotConvertible(f);
        return ValueAsInt(f, t);
    }
    NotConvertible(f);
}

double ValueAsDouble(const FieldInfo& f, const TValue& v) {
    if (auto p = std::get_if<double>(&v)) return *p;
    if (auto p = std::get_if<int32_t>(&v)) return *p;
    if (auto p = std::get_if<int64_t>(&v)) return static_cast<double>(*p);
    if (auto p = std::get_if<TDate>(&v)) return static_cast<double>(DateToDays(*p)) * 86400000.0;
    if (auto p = std::get_if<std::string>(&v)) {
        TValue t = TextToValue(f, *p);
        if (std::holds_alternative<std::string>(t)) NotConvertible(f);
        return ValueAsDouble(f, t);
    }
    NotConvertible(f);
}

bool ParseInt(const std::string& s, int64_t& out) {
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    if (b == e) return false;
    std::string t = s.substr(b, e - b);
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(t.c_str(), &end, 10);
    if (errno != 0 || end == t.c_str() || *end != '\0') return false;
    out = v;
    return true;
}

bool ParseDouble(const std::string& s, double& out) {
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    if (b == e) return false;
    std::string t = s.substr(b, e - b);
    for (char c : t)
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' ||
              c == 'e' || c == 'E'))
            return false;
    char* end = nullptr;
    double v = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || *end != '\0' || !std::isfinite(v)) return false;
    out = v;
    return true;
}

bool ParseDate(const std::string& s, TDate& d) {
    int a = 0, b = 0, c = 0;
    char x = 0, y = 0;
    int n = 0;
    if (std::sscanf(s.c_str(), "%d%c%d%c%d%n", &a, &x, &b, &y, &c, &n) != 5 ||
        static_cast<std::size_t>(n) != s.size())
        return false;
    if (x == '-' && y == '-') d = TDate{a, b, c};
    else if (x == '.' && y == '.') d = TDate{c, b, a};
    else if (x == '/' && y == '/') d = TDate{c, a, b};
    else return false;
    return ValidDate(d);
}

bool ParseTime(const std::string& s, int64_t& ms) {
    int h = 0, m = 0, sec = 0, milli = 0, n = 0;
    const char* p = s.c_str();
    if (std::sscanf(p, "%d:%d%n", &h, &m, &n) != 2) return false;
    std::size_t pos = static_cast<std::size_t>(n);
    if (pos < s.size() && s[pos] == ':') {
        int k = 0;
        if (std::sscanf(p + pos, ":%d%n", &sec, &k) != 1) return false;
        pos += static_cast<std::size_t>(k);
        if (pos < s.size() && s[pos] == '.') {
            std::size_t q = pos + 1, digits = 0;
            int frac = 0;
            while (q < s.size() && std::isdigit(static_cast<unsigned char>(s[q])) && digits < 3) {
                frac = frac * 10 + (s[q] - '0');
                ++q;
                ++digits;
            }
            if (digits == 0) return false;
            while (digits < 3) { frac *= 10; ++digits; }
            milli = frac;
            pos = q;
        }
    }
    if (pos != s.size()) return false;
    if (h < 0 || h > 23 || m < 0 || m > 59 || sec < 0 || sec > 59) return false;
    ms = ((static_cast<int64_t>(h) * 60 + m) * 60 + sec) * 1000 + milli;
    return true;
}

std::string TimeText(int64_t ms) {
    if (ms < 0) ms = 0;
    int64_t s = ms / 1000, milli = ms % 1000;
    std::string t = rtl::Format("%02d:%02d:%02d", static_cast<int>(s / 3600),
                                static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
    if (milli) t += rtl::Format(".%03d", static_cast<int>(milli));
    return t;
}

std::string DoubleText(double d) {
    std::string t = rtl::Format("%.15g", d);
    double back = std::strtod(t.c_str(), nullptr);
    if (back != d) t = rtl::Format("%.17g", d);
    return t;
}

}  // namespace

// Days from 0001-01-01 (= 1), proleptic Gregorian.
int32_t DateToDays(const TDate& d) {
    int64_t y = d.Year, m = d.Month, day = d.Day;
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    int64_t unixDays = era * 146097 + doe - 719468;
    return static_cast<int32_t>(unixDays + 719163);
}

TDate DaysToDate(int32_t days) {
    int64_t z = static_cast<int64_t>(days) - 719163 + 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t y = yoe + era * 400;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int64_t d = doy - (153 * mp + 2) / 5 + 1;
    int64_t m = mp + (mp < 10 ? 3 : -9);
    return TDate{static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

bool ValidDate(const TDate& d) {
    if (d.Year < 1 || d.Year > 9999 || d.Month < 1 || d.Month > 12 || d.Day < 1) return false;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int dim = kDays[d.Month - 1];
    bool leap = (d.Year % 4 == 0 && d.Year % 100 != 0) || d.Year % 400 == 0;
    if (d.Month == 2 && leap) dim = 29;
    return d.Day <= dim;
}

bool IsNullValue(const Schema& s, const FieldInfo& f, const Record& r) {
    if (f.blob) {
        std::size_t idx = static_cast<std::size_t>(f.index);
        return idx >= r.blobs.size() || r.blobs[idx].empty();
    }
    CheckFieldInRecord(s, f, r);
    return AllZero(r.data.data() + f.offset, f.width);
}

TValue DecodeValue(const Schema& s, const FieldInfo& f, const Record& r) {
    if (f.blob) {
        std::size_t idx = static_cast<std::size_t>(f.index);
        if (idx < r.blobs.size() && !r.blobs[idx].empty()) return r.blobs[idx];
        return std::monostate{};
    }
    CheckFieldInRecord(s, f, r);
    const char* p = r.data.data() + f.offset;
    if (AllZero(p, f.width)) return std::monostate{};
    switch (f.code) {
    case fcAlpha: {
        std::size_t n = 0;
        while (n < static_cast<std::size_t>(f.width) && p[n] != 0) ++n;
        return std::string(p, n);
    }
    case fcBytes:
        return std::string(p, static_cast<std::size_t>(f.width));
    case fcShort:
        return static_cast<int32_t>(static_cast<int16_t>(static_cast<uint16_t>(GetBE(p, 2) ^ 0x8000)));
    case fcLong:
    case fcAutoInc:
        return static_cast<int32_t>(static_cast<uint32_t>(GetBE(p, 4) ^ 0x80000000u));
    case fcDate:
        return DaysToDate(static_cast<int32_t>(static_cast<uint32_t>(GetBE(p, 4) ^ 0x80000000u)));
    case fcTime:
        return static_cast<int64_t>(static_cast<int32_t>(static_cast<uint32_t>(GetBE(p, 4) ^ 0x80000000u)));
    case fcLogical:
        return (static_cast<unsigned char>(p[0]) & 0x7F) != 0;
    case fcNumber:
    case fcCurrency:
    case fcTimestamp:
        return GetDouble(p);
    case fcBCD:
        return GetBcd(p, f.width);
    default:
        return std::string(p, static_cast<std::size_t>(f.width));
    }
}

void EncodeValue(const Schema& s, const FieldInfo& f, Record& r, const TValue& v) {
    CheckFieldInRecord(s, f, r);
    char* p = r.data.data() + f.offset;
    if (f.blob) {
        std::size_t idx = static_cast<std::size_t>(f.index);
        if (r.blobs.size() < s.fields.size()) r.blobs.resize(s.fields.size());
        std::string bytes;
        if (auto sp = std::get_if<std::string>(&v)) bytes = *sp;
        else if (!std::holds_alternative<std::monostate>(v)) bytes = ValueToText(f, v);
        std::memset(p, 0, static_cast<std::size_t>(f.width));
        std::memcpy(p, bytes.data(), std::min<std::size_t>(bytes.size(), static_cast<std::size_t>(f.leader)));
        r.blobs[idx] = std::move(bytes);
        return;
    }
    if (std::holds_alternative<std::monostate>(v)) {
        std::memset(p, 0, static_cast<std::size_t>(f.width));
        return;
    }
    if (auto sp = std::get_if<std::string>(&v);
        sp && f.code != fcAlpha && f.code != fcBytes && f.code < 0x80) {
        TValue t = TextToValue(f, *sp);
        if (!std::holds_alternative<std::string>(t)) {
            EncodeValue(s, f, r, t);
            return;
        }
    }
    switch (f.code) {
    case fcAlpha:
    case fcBytes: {
        std::string text;
        if (auto sp = std::get_if<std::string>(&v)) text = *sp;
        else text = ValueToText(f, v);
        if (f.code == fcAlpha) {
            // Alpha values end at their first zero byte, as the format pads with zeros.
            auto z = text.find('\0');
            if (z != std::string::npos) text.resize(z);
        }
        if (text.size() > static_cast<std::size_t>(f.width))
            throw EDBEngineError(ecValueTooLong,
                                 rtl::Format("Value of %u characters does not fit field '%s' (%d)",
                                             static_cast<unsigned>(text.size()), f.name.c_str(), f.width));
        std::memset(p, 0, static_cast<std::size_t>(f.width));
        std::memcpy(p, text.data(), text.size());
        return;
    }
    case fcShort: {
        int64_t x = ValueAsInt(f, v);
        if (x < -32767 || x > 32767)
            throw EDBEngineError(ecValueTooLong, rtl::Format("Value %lld is out of range for field '%s'",
                                                              static_cast<long long>(x), f.name.c_str()));
        PutBE(p, 2, static_cast<uint16_t>(static_cast<int16_t>(x)) ^ 0x8000u);
        return;
    }
    case fcLong:
    case fcAutoInc:
    case fcTime: {
        int64_t x = ValueAsInt(f, v);
        if (f.code == fcTime && (x < 0 || x >= 86400000))
            throw EDBEngineError(ecValueTooLong, rtl::Format("Time value out of range for field '%s'", f.name.c_str()));
        if (x < -2147483647LL || x > 2147483647LL)
            throw EDBEngineError(ecValueTooLong, rtl::Format("Value %lld is out of range for field '%s'",
                                                              static_cast<long long>(x), f.name.c_str()));
        PutBE(p, 4, static_cast<uint32_t>(static_cast<int32_t>(x)) ^ 0x80000000u);
        return;
    }
    case fcDate: {
        TDate d;
        if (auto dp = std::get_if<TDate>(&v)) d = *dp;
        else if (auto ip = std::get_if<int32_t>(&v)) d = DaysToDate(*ip);
        else NotConvertible(f);
        if (!ValidDate(d))
            throw EDBEngineError(ecValueTooLong, rtl::Format("Invalid date for field '%s'", f.name.c_str()));
        PutBE(p, 4, static_cast<uint32_t>(DateToDays(d)) ^ 0x80000000u);
        return;
    }
    case fcLogical: {
        bool b;
        if (auto bp = std::get_if<bool>(&v)) b = *bp;
        else b = ValueAsInt(f, v) != 0;
        p[0] = static_cast<char>(b ? 0x81 : 0x80);
        return;
    }
    case fcNumber:
    case fcCurrency:
    case fcTimestamp:
        PutDouble(p, ValueAsDouble(f, v));
        return;
    case fcBCD: {
        const double d = ValueAsDouble(f, v);
        // No BCD field holds more than 32 digits before the point: beyond that (an infinity,
        // NaN) the value does not convert, as for the integer types.
        if (!(std::fabs(d) < 1e32)) NotConvertible(f);
        if (!PutBcd(p, f.width, f.def.Size, d))
            throw EDBEngineError(ecValueTooLong, rtl::Format("Value %s is out of range for field '%s'",
                                                              DoubleText(d).c_str(), f.name.c_str()));
        return;
    }
    default:
        throw EDBEngineError(ecUnsupported, rtl::Format("Field '%s' of type 0x%02X cannot be written",
                                                        f.name.c_str(), f.code));
    }
}

std::string ValueToText(const FieldInfo& f, const TValue& v) {
    if (std::holds_alternative<std::monostate>(v)) return std::string();
    if (auto p = std::get_if<std::string>(&v)) return *p;
    if (auto p = std::get_if<bool>(&v)) return *p ? "True" : "False";
    if (auto p = std::get_if<int32_t>(&v)) return std::to_string(*p);
    if (auto p = std::get_if<TDate>(&v)) return rtl::Format("%04d-%02d-%02d", p->Year, p->Month, p->Day);
    if (auto p = std::get_if<int64_t>(&v)) {
        if (f.code == fcTime) return TimeText(*p);
        return std::to_string(*p);
    }
    if (auto p = std::get_if<double>(&v)) {
        if (f.code == fcTimestamp && std::isfinite(*p) && *p >= 0 && *p < 3652060.0 * 86400000.0) {
            double ms = *p;
            double days = std::floor(ms / 86400000.0);
            TDate d = DaysToDate(static_cast<int32_t>(days));
            int64_t rest = static_cast<int64_t>(std::llround(ms - days * 86400000.0));
            return rtl::Format("%04d-%02d-%02d ", d.Year, d.Month, d.Day) + TimeText(rest);
        }
        return DoubleText(*p);
    }
    return std::string();
}

TValue TextToValue(const FieldInfo& f, const std::string& text) {
    if (text.empty()) return std::monostate{};
    auto bad = [&](const char* what) -> TValue {
        throw rtl::EConvertError(rtl::Format("'%s' is not a valid %s", text.c_str(), what));
    };
    switch (f.code) {
    case fcShort:
    case fcLong:
    case fcAutoInc: {
        int64_t x;
        if (!ParseInt(text, x) || x < INT32_MIN || x > INT32_MAX) return bad("integer value");
        return static_cast<int32_t>(x);
    }
    case fcLogical: {
        std::string t = rtl::AsciiLower(text);
        if (t == "true" || t == "t" || t == "1" || t == "yes") return true;
        if (t == "false" || t == "f" || t == "0" || t == "no") return false;
        return bad("boolean value");
    }
    case fcDate: {
        TDate d;
        if (!ParseDate(text, d)) return bad("date");
        return d;
    }
    case fcTime: {
        int64_t ms;
        if (!ParseTime(text, ms)) return bad("time");
        return ms;
    }
    case fcTimestamp: {
        auto sp = text.find(' ');
        TDate d;
        int64_t ms = 0;
        if (!ParseDate(text.substr(0, sp), d)) return bad("date and time");
        if (sp != std::string::npos && !ParseTime(text.substr(sp + 1), ms)) return bad("date and time");
        return static_cast<double>(DateToDays(d)) * 86400000.0 + static_cast<double>(ms);
    }
    case fcNumber:
    case fcCurrency:
    case fcBCD: {
        double d;
        if (!ParseDouble(text, d)) return bad("floating point value");
        return d;
    }
    default:
        return text;
    }
}

}  // namespace dbe::detail
