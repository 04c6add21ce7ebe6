// The locale services on the real Win32 calls.
#include <windows.h>

#include <exception>
#include <vector>

#include "qx/QxSystem.h"

namespace qx {

static_assert(lc::SENGLANGUAGE == LOCALE_SENGLANGUAGE, "locale item numbers");
static_assert(lc::IDEFAULTANSICODEPAGE == LOCALE_IDEFAULTANSICODEPAGE, "locale item numbers");
static_assert(lc::FONTSIGNATURE == LOCALE_FONTSIGNATURE, "locale item numbers");
static_assert(lc::SABBREVMONTHNAME1 == LOCALE_SABBREVMONTHNAME1, "locale item numbers");
static_assert(lc::IFIRSTWEEKOFYEAR == LOCALE_IFIRSTWEEKOFYEAR, "locale item numbers");
static_assert(lc::SISO3166CTRYNAME == LOCALE_SISO3166CTRYNAME, "locale item numbers");

namespace {

// The system's enumeration callbacks carry no context of their own: the one enumeration in
// progress on this thread is found through this pointer, which lives only for the length of
// that enumeration (a nested one saves and restores it).
struct TEnumContext {
    const std::function<bool(const std::string&)>* each;
    std::exception_ptr failure;
};
thread_local TEnumContext* t_enum = nullptr;

class TEnumScope {
public:
    explicit TEnumScope(TEnumContext* context) : saved_(t_enum) { t_enum = context; }
    ~TEnumScope() { t_enum = saved_; }

private:
    TEnumContext* saved_;
};

// Nothing may unwind through the system's frames: a failure stops the enumeration and is
// rethrown once the system call has returned.
BOOL CALLBACK EnumProc(LPSTR text) {
    TEnumContext* context = t_enum;
    if (!context || context->failure) return FALSE;
    try {
        return (*context->each)(std::string(text ? text : "")) ? TRUE : FALSE;
    } catch (...) {
        context->failure = std::current_exception();
        return FALSE;
    }
}

class TQxWin32LocaleSystem : public TQxLocaleSystem {
public:
    bool QueryLocaleInfo(uint32_t localeId, uint32_t item, std::string& value) override {
        if (item == LOCALE_FONTSIGNATURE) {
            // LOCALESIGNATURE: 16 wide characters, 32 bytes.
            char buffer[32] = {};
            if (GetLocaleInfoA(localeId, item, buffer, sizeof buffer) == 0) return false;
            value.assign(buffer, sizeof buffer);
            return true;
        }
        int size = GetLocaleInfoA(localeId, item, nullptr, 0);
        if (size <= 0) return false;
        std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
        int got = GetLocaleInfoA(localeId, item, buffer.data(), size);
        if (got <= 0) return false;
        value.assign(buffer.data());
        return true;
    }

    void EnumSupportedLocales(const std::function<bool(const std::string&)>& each) override {
        TEnumContext context{&each, nullptr};
        {
            TEnumScope scope(&context);
            EnumSystemLocalesA(EnumProc, LCID_SUPPORTED);
        }
        if (context.failure) std::rethrow_exception(context.failure);
    }

    void EnumSupportedCodePages(const std::function<bool(const std::string&)>& each) override {
        TEnumContext context{&each, nullptr};
        {
            TEnumScope scope(&context);
            EnumSystemCodePagesA(EnumProc, CP_SUPPORTED);
        }
        if (context.failure) std::rethrow_exception(context.failure);
    }

    uint32_t AnsiCodePage() override { return GetACP(); }
    uint32_t UserDefaultLocaleId() override { return GetUserDefaultLCID(); }
    uint32_t SystemDefaultLocaleId() override { return GetSystemDefaultLCID(); }
    uint32_t ThreadLocale() override { return GetThreadLocale(); }
    bool SetThreadLocale(uint32_t localeId) override {
        return ::SetThreadLocale(localeId) != FALSE;
    }
    bool IsDBCSEnabled() override { return GetSystemMetrics(SM_DBCSENABLED) != 0; }
    TQxDate Today() override {
        SYSTEMTIME now;
        GetLocalTime(&now);
        return TQxDate{now.wYear, now.wMonth, now.wDay};
    }
};

}  // namespace

TQxLocaleSystem& PlatformLocaleSystem() {
    static TQxWin32LocaleSystem system;
    return system;
}

}  // namespace qx
