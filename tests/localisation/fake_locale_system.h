// A locale system for tests: locale items from a table, a fixed date, recorded queries.
// Installed for the lifetime of the object.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "qx/QxSystem.h"

class FakeLocaleSystem : public qx::TQxLocaleSystem {
public:
    FakeLocaleSystem() : previous_(qx::SetLocaleSystem(this)) {}
    ~FakeLocaleSystem() override { qx::SetLocaleSystem(previous_); }
    FakeLocaleSystem(const FakeLocaleSystem&) = delete;
    FakeLocaleSystem& operator=(const FakeLocaleSystem&) = delete;

    void Set(uint32_t id, uint32_t item, const std::string& value) { items[{id, item}] = value; }
    // A locale that answers every item the runtime reads with plausible values.
    void AddFullLocale(uint32_t id, const std::string& englishLanguage, int codePage) {
        using namespace qx::lc;
        Set(id, SENGLANGUAGE, englishLanguage);
        Set(id, IDEFAULTANSICODEPAGE, std::to_string(codePage));
        Set(id, SENGCOUNTRY, "Country" + std::to_string(id));
        Set(id, SNATIVELANGNAME, "Native" + englishLanguage);
        Set(id, SNATIVECTRYNAME, "NativeCountry" + std::to_string(id));
        Set(id, SABBREVLANGNAME, "ABC");
        Set(id, SCOUNTRY, "Land");
        Set(id, IMEASURE, "1");
        Set(id, SCURRENCY, "$");
        Set(id, ICURRENCY, "3");
        Set(id, INEGCURR, "8");
        Set(id, ICURRDIGITS, "2");
        Set(id, STHOUSAND, ",");
        Set(id, SDECIMAL, ".");
        Set(id, SDATE, "/");
        Set(id, SSHORTDATE, "M/d/yy");
        Set(id, SLONGDATE, "dddd, MMMM dd, yyyy");
        Set(id, STIME, ":");
        Set(id, S1159, "AM");
        Set(id, S2359, "PM");
        Set(id, ITLZERO, "1");
        Set(id, ITIME, "1");
        Set(id, ITIMEMARKPOSN, "1");
        Set(id, ICALENDARTYPE, "1");
        Set(id, IOPTIONALCALENDAR, "2");
        Set(id, IFIRSTDAYOFWEEK, "6");
        Set(id, IFIRSTWEEKOFYEAR, "0");
        for (uint32_t d = 0; d < 7; ++d) {
            Set(id, SABBREVDAYNAME1 + d, "d" + std::to_string(d + 1));
            Set(id, SDAYNAME1 + d, "Day" + std::to_string(d + 1));
        }
        for (uint32_t m = 0; m < 12; ++m) {
            Set(id, SABBREVMONTHNAME1 + m, "m" + std::to_string(m + 1));
            Set(id, SMONTHNAME1 + m, "Month" + std::to_string(m + 1));
        }
        supported.push_back(Hex(id));
    }
    static std::string Hex(uint32_t id) {
        char text[16];
        std::snprintf(text, sizeof text, "%08X", id);
        return text;
    }

    bool QueryLocaleInfo(uint32_t id, uint32_t item, std::string& value) override {
        queries.emplace_back(id, item);
        auto it = items.find({id, item});
        if (it == items.end()) return false;
        value = it->second;
        return true;
    }
    void EnumSupportedLocales(const std::function<bool(const std::string&)>& each) override {
        for (const std::string& text : supported)
            if (!each(text)) break;
    }
    void EnumSupportedCodePages(const std::function<bool(const std::string&)>& each) override {
        for (const std::string& text : codePages)
            if (!each(text)) break;
    }
    uint32_t AnsiCodePage() override { return acp; }
    uint32_t UserDefaultLocaleId() override { return userDefault; }
    uint32_t SystemDefaultLocaleId() override { return systemDefault; }
    uint32_t ThreadLocale() override { return thread; }
    bool SetThreadLocale(uint32_t id) override {
        thread = id;
        return true;
    }
    bool IsDBCSEnabled() override { return dbcs; }
    qx::TQxDate Today() override { return today; }

    bool Queried(uint32_t id) const {
        for (const auto& q : queries)
            if (q.first == id) return true;
        return false;
    }
    std::set<uint32_t> QueriedIds() const {
        std::set<uint32_t> ids;
        for (const auto& q : queries) ids.insert(q.first);
        return ids;
    }

    std::map<std::pair<uint32_t, uint32_t>, std::string> items;
    std::vector<std::string> supported;
    std::vector<std::string> codePages{"1252", "1250", "1251"};
    std::vector<std::pair<uint32_t, uint32_t>> queries;
    uint32_t acp = 1252;
    uint32_t userDefault = 0x0409;
    uint32_t systemDefault = 0x0409;
    uint32_t thread = 0x0409;
    bool dbcs = false;
    qx::TQxDate today{2010, 6, 15};

private:
    qx::TQxLocaleSystem* previous_;
};
