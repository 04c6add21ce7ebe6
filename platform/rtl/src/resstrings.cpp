#include "rtl/resstrings.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
extern "C" IMAGE_DOS_HEADER __ImageBase;
#endif

namespace rtl {

#ifdef _WIN32
ModuleHandle HInstance = &__ImageBase;
#else
ModuleHandle HInstance = nullptr;
#endif

#define RTL_DEFINE_RESSTRING(name, id, text) const TResStringRec name = {&HInstance, id, text};
RTL_RESOURCE_STRINGS(RTL_DEFINE_RESSTRING)
#undef RTL_DEFINE_RESSTRING

const std::vector<const TResStringRec*>& ResourceStringRecords() {
#define RTL_LIST_RESSTRING(name, id, text) &name,
    static const std::vector<const TResStringRec*> records = {
        RTL_RESOURCE_STRINGS(RTL_LIST_RESSTRING)};
#undef RTL_LIST_RESSTRING
    return records;
}

namespace {

TResStringLookup g_lookup = {PlainLoadResString, PlainLoadStr};

std::vector<ModuleHandle>& Modules() {
    static std::vector<ModuleHandle> modules{HInstance};
    return modules;
}

// The conversions of a printf format, each from its "%" to its conversion letter; "%%" is
// text, not a conversion.
std::vector<std::string> Conversions(const char* format) {
    std::vector<std::string> list;
    for (const char* p = format; *p; ++p) {
        if (*p != '%') continue;
        const char* start = p++;
        if (*p == '%') continue;
        while (*p && std::strchr("-+ #0123456789.*hlLqjzt", *p)) ++p;
        if (!*p) {
            list.emplace_back(start);
            break;
        }
        list.emplace_back(start, static_cast<size_t>(p - start + 1));
    }
    return list;
}

}  // namespace

std::string LoadResString(const TResStringRec* record) { return g_lookup.LoadResString(record); }

std::string LoadStr(uint32_t identifier) { return g_lookup.LoadStr(identifier); }

// The format is the loaded text or, when its conversions are not the English ones, the
// English text: a translation must never make the arguments be read as something else.
std::string FormatResString(const TResStringRec* record, ...) {
    if (!record) return std::string();
    std::string format = LoadResString(record);
    if (Conversions(format.c_str()) != Conversions(record->English)) format = record->English;
    va_list ap;
    va_start(ap, record);
    va_list ap2;
    va_copy(ap2, ap);
    const int n = std::vsnprintf(nullptr, 0, format.c_str(), ap);
    va_end(ap);
    std::string out;
    if (n > 0) {
        std::vector<char> buffer(static_cast<size_t>(n) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format.c_str(), ap2);
        out.assign(buffer.data(), static_cast<size_t>(n));
    }
    va_end(ap2);
    return out;
}

std::string PlainLoadResString(const TResStringRec* record) {
    if (!record) return std::string();
    if (record->Identifier >= 65536) return record->English;
    char buffer[kResStringBufferSize];
    const int count = LoadModuleString(record->Module ? *record->Module : HInstance,
                                       record->Identifier, buffer, sizeof buffer);
    if (count <= 0) return record->English;
    return std::string(buffer, static_cast<size_t>(count));
}

std::string PlainLoadStr(uint32_t identifier) {
    char buffer[kResStringBufferSize];
    const int count = LoadStringFromModules(identifier, buffer, sizeof buffer);
    return std::string(buffer, static_cast<size_t>(count > 0 ? count : 0));
}

TResStringLookup SetResStringLookup(TResStringLookup lookup) {
    const TResStringLookup previous = g_lookup;
    g_lookup = lookup;
    return previous;
}

int LoadModuleString(ModuleHandle module, uint32_t identifier, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = '\0';
#ifdef _WIN32
    if (identifier > 0xFFFF) return 0;
    return LoadStringA(static_cast<HINSTANCE>(module), identifier, buffer, size);
#else
    if (module != HInstance) return 0;
    for (const TResStringRec* record : ResourceStringRecords()) {
        if (record->Identifier != identifier) continue;
        const size_t count = std::min(std::strlen(record->English), static_cast<size_t>(size - 1));
        std::memcpy(buffer, record->English, count);
        buffer[count] = '\0';
        return static_cast<int>(count);
    }
    return 0;
#endif
}

int LoadStringFromModules(uint32_t identifier, char* buffer, int size) {
    for (ModuleHandle module : Modules()) {
        const int count = LoadModuleString(module, identifier, buffer, size);
        if (count != 0) return count;
    }
    return 0;
}

const std::vector<ModuleHandle>& ResourceModules() { return Modules(); }

void RegisterResourceModule(ModuleHandle module) { Modules().push_back(module); }

void UnregisterResourceModule(ModuleHandle module) {
    std::vector<ModuleHandle>& modules = Modules();
    auto it = std::find(modules.begin(), modules.end(), module);
    if (it != modules.end()) modules.erase(it);
}

bool ResourceModulesHoldOnlyProgram() {
    const std::vector<ModuleHandle>& modules = Modules();
    return modules.size() == 1 && modules[0] == HInstance;
}

}  // namespace rtl
