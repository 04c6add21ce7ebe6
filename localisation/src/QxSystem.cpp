#include "qx/QxSystem.h"

#include <ctime>

namespace qx {

TQxLocaleSystem::~TQxLocaleSystem() = default;

namespace {

TQxLocaleSystem* g_installed = nullptr;

#ifndef _WIN32
// Away from Windows there is no locale database: every query fails, nothing is listed.
class TQxNoLocaleSystem : public TQxLocaleSystem {
public:
    bool QueryLocaleInfo(uint32_t, uint32_t, std::string&) override { return false; }
    void EnumSupportedLocales(const std::function<bool(const std::string&)>&) override {}
    void EnumSupportedCodePages(const std::function<bool(const std::string&)>&) override {}
    uint32_t AnsiCodePage() override { return 1252; }
    uint32_t UserDefaultLocaleId() override { return 0x0409; }
    uint32_t SystemDefaultLocaleId() override { return 0x0409; }
    uint32_t ThreadLocale() override { return thread_; }
    bool SetThreadLocale(uint32_t id) override {
        thread_ = id;
        return true;
    }
    bool IsDBCSEnabled() override { return false; }
    TQxDate Today() override {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        return TQxDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
    }

private:
    uint32_t thread_ = 0x0409;
};
#endif

}  // namespace

#ifndef _WIN32
TQxLocaleSystem& PlatformLocaleSystem() {
    static TQxNoLocaleSystem system;
    return system;
}
#endif

TQxLocaleSystem& LocaleSystem() {
    return g_installed ? *g_installed : PlatformLocaleSystem();
}

TQxLocaleSystem* SetLocaleSystem(TQxLocaleSystem* system) {
    TQxLocaleSystem* previous = g_installed;
    g_installed = system;
    return previous;
}

std::string GetLocaleStr(uint32_t localeId, uint32_t item, const std::string& fallback) {
    std::string value;
    if (!LocaleSystem().QueryLocaleInfo(localeId, item, value)) return fallback;
    return value;
}

}  // namespace qx
