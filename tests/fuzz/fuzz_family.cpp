// libFuzzer entry: a saved table's family read by the road restore mode takes.
//
// Input: the files of one family (family_input.h): .DB, .MB, .PX, .VAL, .XGn / .YGn. They are
// written to a folder of their own, the table is opened through the public engine API and
// every field of every row is read (a keyed table stored out of key order takes the loading
// path at its first row). Every input must either read or raise EDBEngineError; the files
// must be left exactly as they were, and no other file may appear beside them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

#include "dbengine/dbengine.h"
#include "family_input.h"

namespace fs = std::filesystem;

namespace {

std::string g_folder;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFamily(const std::string& folder, const std::string& stem, const std::map<std::string, std::string>& files) {
    for (const auto& e : fs::directory_iterator(folder)) fs::remove_all(e.path());
    for (const auto& [ext, bytes] : files) {
        std::ofstream out(fs::path(folder) / (stem + "." + ext), std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
}

// The folder holds the family exactly as written.
void ExpectUnchanged(const std::string& folder, const std::string& stem, const std::map<std::string, std::string>& files) {
    std::size_t n = 0;
    for (const auto& e : fs::directory_iterator(folder)) {
        (void)e;
        ++n;
    }
    if (n != files.size()) __builtin_trap();
    for (const auto& [ext, bytes] : files)
        if (ReadAll(fs::path(folder) / (stem + "." + ext)) != bytes) __builtin_trap();
}

void ReadEveryField(dbe::TTable& t) {
    std::size_t cells = 0;
    (void)t.RecordCount();
    for (t.First(); !t.Eof(); t.Next())
        for (int i = 0; i < t.FieldCount(); ++i) {
            dbe::TField& f = t.Fields(i);
            cells += f.IsNull() ? 0 : 1;
            cells += f.AsString().size();
        }
    (void)cells;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    g_folder = (base / ("kxfuzz-family-" + std::to_string(getpid()))).string();
    fs::remove_all(g_folder);
    fs::create_directories(g_folder);
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(g_folder, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const auto files = kxfuzz::DecodeFamily(data, size);
    if (!files.count("DB")) return 0;
    WriteFamily(g_folder, "Saved", files);
    try {
        dbe::TTable t;
        t.DatabaseName = g_folder;
        t.TableName = "Saved";
        t.Open();
        ReadEveryField(t);
        t.Close();
    } catch (const dbe::EDBEngineError&) {
    }
    ExpectUnchanged(g_folder, "Saved", files);
    return 0;
}
