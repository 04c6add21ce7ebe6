// The archive reader on archives of our own: member names that would leave the folder are
// refused before anything is written, existing files are replaced, damaged archives refused.
#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "converters/archive.h"
#include "test_folders.h"

namespace fs = std::filesystem;

namespace {

// A ZIP image holding the given members (name, content), built with libzip.
std::string MakeZip(const std::vector<std::pair<std::string, std::string>>& members) {
    const fs::path path = kxtest::FreshFolder("zip_image") / "image.zip";
    int err = 0;
    zip_t* za = zip_open(path.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    for (const auto& m : members) {
        zip_source_t* src = zip_source_buffer(za, m.second.data(), m.second.size(), 0);
        zip_file_add(za, m.first.c_str(), src, 0);
    }
    zip_close(za);
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(ArchiveReader, RefusesNamesThatLeaveTheFolderBeforeWritingAnything) {
    const char* bad[] = {"sub/Doors.DB", "..\\Doors.DB", "c:Doors.DB", "..", "a/../b", "/abs"};
    for (const char* name : bad) {
        SCOPED_TRACE(name);
        const std::string image = MakeZip({{"First.DB", "first"}, {name, "evil"}});
        const fs::path out = kxtest::FreshFolder("zip_refused");
        try {
            conv::TArchiveReader reader(image.data(), image.size());
            reader.ExtractAll(out.string() + "/");
            ADD_FAILURE() << "not refused";
        } catch (const conv::EArchiveError& e) {
            EXPECT_NE(std::string(e.what()).find("may not be unpacked"), std::string::npos);
        }
        EXPECT_TRUE(fs::is_empty(out));
    }
}

TEST(ArchiveReader, OverwritesExistingFilesAndRefusesDamagedArchives) {
    const std::string image = MakeZip({{"Doors.DB", std::string(5000, 'n')}, {"DBDWORK.INI", "\r\n"}});
    const fs::path out = kxtest::FreshFolder("zip_overwrite");
    { std::ofstream(out / "Doors.DB") << "old contents that are longer than nothing"; }
    conv::TArchiveReader reader(image.data(), image.size());
    reader.ExtractAll(out.string() + "/");
    EXPECT_EQ(fs::file_size(out / "Doors.DB"), 5000u);
    EXPECT_EQ(fs::file_size(out / "DBDWORK.INI"), 2u);

    std::string damaged = image;
    damaged.resize(damaged.size() / 2);
    EXPECT_THROW(conv::TArchiveReader(damaged.data(), damaged.size()), conv::EArchiveError);
    const std::string garbage(300, 'x');
    EXPECT_THROW(conv::TArchiveReader(garbage.data(), garbage.size()), conv::EArchiveError);
}
