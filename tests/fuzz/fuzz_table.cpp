// libFuzzer entry: open and read a table from arbitrary bytes.
//
// Input: u32 little-endian length n of the table image, n bytes of .DB, the rest .MB. Every
// input must either parse or raise EDBEngineError; a parsed table is read field by field and
// written back to memory images, which must parse again with the same rows.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tabledata.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || size > (1u << 20)) return 0;
    uint32_t n = static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
                 (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24);
    std::string rest(reinterpret_cast<const char*>(data) + 4, size - 4);
    if (n > rest.size()) n = static_cast<uint32_t>(rest.size());
    std::string db = rest.substr(0, n), mb = rest.substr(n);
    try {
        auto t = dbe::detail::ParseTable("fuzz.DB", db, mb, !mb.empty());
        std::size_t cells = 0;
        for (auto& r : t->rows)
            for (auto& f : t->schema.fields) {
                auto v = dbe::detail::DecodeValue(t->schema, f, *r);
                cells += dbe::detail::ValueToText(f, v).size();
            }
        (void)cells;
        if (t->schema.keyFields == 0 || t->schema.fileVersion >= 3) {
            auto img = dbe::detail::BuildImage(*t);
            auto again = dbe::detail::ParseTable("fuzz.DB", img.db, img.mb, !img.mb.empty());
            if (again->rows.size() != t->rows.size()) __builtin_trap();
        }
    } catch (const dbe::EDBEngineError&) {
    }
    return 0;
}
