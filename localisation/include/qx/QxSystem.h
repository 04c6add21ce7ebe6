// The operating system's locale services as the localisation runtime uses them: locale
// information, the supported locales and code pages, the ANSI code page, the default locale
// ids, the thread locale, the double-byte flag and today's date.
//
// Everything the runtime asks the system goes through the one object that
// LocaleSystem() returns. On Windows that is the real Win32 calls; elsewhere a system that
// knows no locale. Tests put their own object in place with SetLocaleSystem.
// Raises: nothing of its own; an exception thrown by an enumeration callback leaves the
// enumeration (it is carried past the system's callback and rethrown).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qx {

// Locale-information items, with the numbers Windows gives them.
namespace lc {
constexpr uint32_t SABBREVLANGNAME = 0x0003;
constexpr uint32_t SNATIVELANGNAME = 0x0004;
constexpr uint32_t SCOUNTRY = 0x0006;
constexpr uint32_t SNATIVECTRYNAME = 0x0008;
constexpr uint32_t IMEASURE = 0x000D;
constexpr uint32_t SDECIMAL = 0x000E;
constexpr uint32_t STHOUSAND = 0x000F;
constexpr uint32_t SCURRENCY = 0x0014;
constexpr uint32_t ICURRDIGITS = 0x0019;
constexpr uint32_t ICURRENCY = 0x001B;
constexpr uint32_t INEGCURR = 0x001C;
constexpr uint32_t SDATE = 0x001D;
constexpr uint32_t STIME = 0x001E;
constexpr uint32_t SSHORTDATE = 0x001F;
constexpr uint32_t SLONGDATE = 0x0020;
constexpr uint32_t ITIME = 0x0023;
constexpr uint32_t ITLZERO = 0x0025;
constexpr uint32_t S1159 = 0x0028;
constexpr uint32_t S2359 = 0x0029;
constexpr uint32_t SDAYNAME1 = 0x002A;         // ... SDAYNAME7 = 0x0030, Monday first
constexpr uint32_t SABBREVDAYNAME1 = 0x0031;   // ... 0x0037
constexpr uint32_t SMONTHNAME1 = 0x0038;       // ... 0x0043
constexpr uint32_t SABBREVMONTHNAME1 = 0x0044; // ... 0x004F
constexpr uint32_t FONTSIGNATURE = 0x0058;     // binary: 32 bytes
constexpr uint32_t SISO639LANGNAME = 0x0059;
constexpr uint32_t SISO3166CTRYNAME = 0x005A;
constexpr uint32_t SENGLANGUAGE = 0x1001;
constexpr uint32_t SENGCOUNTRY = 0x1002;
constexpr uint32_t IDEFAULTANSICODEPAGE = 0x1004;
constexpr uint32_t ITIMEMARKPOSN = 0x1005;
constexpr uint32_t ICALENDARTYPE = 0x1009;
constexpr uint32_t IOPTIONALCALENDAR = 0x100B;
constexpr uint32_t IFIRSTDAYOFWEEK = 0x100C;
constexpr uint32_t IFIRSTWEEKOFYEAR = 0x100D;
}  // namespace lc

// A calendar date of the local time zone.
struct TQxDate {
    int Year = 0;
    int Month = 0;  // 1..12
    int Day = 0;    // 1..31
};

class TQxLocaleSystem {
public:
    virtual ~TQxLocaleSystem();

    // The value of one locale-information item; false when the system has none (unknown
    // locale or item). Texts come without their terminating zero; LOCALE_FONTSIGNATURE
    // gives its 32 bytes as they are.
    virtual bool QueryLocaleInfo(uint32_t localeId, uint32_t item, std::string& value) = 0;
    // Calls `each` with the hexadecimal text of every locale the system supports, until it
    // returns false.
    virtual void EnumSupportedLocales(const std::function<bool(const std::string&)>& each) = 0;
    // Calls `each` with the decimal text of every code page the system supports, until it
    // returns false.
    virtual void EnumSupportedCodePages(const std::function<bool(const std::string&)>& each) = 0;
    virtual uint32_t AnsiCodePage() = 0;
    virtual uint32_t UserDefaultLocaleId() = 0;
    virtual uint32_t SystemDefaultLocaleId() = 0;
    virtual uint32_t ThreadLocale() = 0;
    virtual bool SetThreadLocale(uint32_t localeId) = 0;
    // True when the system has double-byte character sets enabled.
    virtual bool IsDBCSEnabled() = 0;
    virtual TQxDate Today() = 0;
};

// The services in force: the one set by SetLocaleSystem, else the platform's own.
TQxLocaleSystem& LocaleSystem();
// Puts `system` in force (nullptr: the platform's own again) and returns the one it
// replaces (nullptr when that was the platform's own). The caller keeps ownership.
TQxLocaleSystem* SetLocaleSystem(TQxLocaleSystem* system);

// The platform's own services (the Win32 calls on Windows).
TQxLocaleSystem& PlatformLocaleSystem();

// A locale-information text, or `fallback` when the system has none.
std::string GetLocaleStr(uint32_t localeId, uint32_t item, const std::string& fallback);

}  // namespace qx
