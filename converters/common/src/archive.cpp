#include "converters/archive.h"

#include <zip.h>

#include <cstdio>
#include <memory>

#ifdef _WIN32
#include <windows.h>
#endif

#include "rtl/filesteps.h"
#include "rtl/strutil.h"

namespace conv {

namespace {

// The paths are 8-bit text in the ANSI code page, as the "A" calls take them.
std::FILE* OpenForWriting(const std::string& path) { return std::fopen(path.c_str(), "wb"); }

bool RenameOver(const std::string& from, const std::string& to) {
#ifdef _WIN32
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

void RemoveNamed(const std::string& path) {
    rtl::BeforeFileStep("remove", path);
    std::remove(path.c_str());
    rtl::AfterFileStep();
}

}  // namespace

bool IsPlainMemberName(const std::string& name) {
    if (name.empty()) return false;
    if (name.find_first_of("/\\:") != std::string::npos) return false;
    if (name.find("..") != std::string::npos) return false;
    return true;
}

TArchiveReader::TArchiveReader(const void* data, std::size_t size) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_buffer_create(data, size, 0, &error);
    if (!src) {
        std::string message = zip_error_strerror(&error);
        zip_error_fini(&error);
        throw EArchiveError("Cannot read the archive: " + message);
    }
    archive_ = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!archive_) {
        zip_source_free(src);
        std::string message = zip_error_strerror(&error);
        zip_error_fini(&error);
        throw EArchiveError("Cannot read the archive: " + message);
    }
    zip_error_fini(&error);

    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        std::string n = name ? name : "";
        // Every name is checked before anything is written, so a hostile archive writes
        // nothing at all.
        if (!IsPlainMemberName(n)) {
            zip_discard(archive_);
            archive_ = nullptr;
            throw EArchiveError("Archive member \"" + n + "\" may not be unpacked: its name is not a plain file name");
        }
        names_.push_back(n);
    }
}

TArchiveReader::~TArchiveReader() {
    if (archive_) zip_discard(archive_);
}

// Each member is written whole under a temporary name beside its file, then renamed over it:
// a crash leaves the old file or the new one, never a file cut short (a rerun writes the same
// temporary name again, so none stays behind).
void TArchiveReader::ExtractAll(const std::string& folder) {
    std::vector<char> buffer(64 * 1024);
    for (std::size_t i = 0; i < names_.size(); ++i) {
        const std::string path = folder + names_[i];
        const std::string temp = path + "~";
        zip_file_t* in = zip_fopen_index(archive_, i, 0);
        if (!in)
            throw EArchiveError("Cannot read archive member \"" + names_[i] + "\": " + zip_strerror(archive_));
        std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> inGuard(in, zip_fclose);
        rtl::BeforeFileStep("create", temp);
        std::unique_ptr<FILE, int (*)(FILE*)> out(OpenForWriting(temp), std::fclose);
        rtl::AfterFileStep();
        if (!out) throw rtl::EFOpenError(rtl::Format("Cannot create file \"%s\"", path.c_str()));
        struct RemoveUnlessPlaced {
            const std::string& temp;
            bool placed = false;
            ~RemoveUnlessPlaced() {
                if (!placed) RemoveNamed(temp);
            }
        } guard{temp};
        for (;;) {
            const zip_int64_t n = zip_fread(in, buffer.data(), buffer.size());
            if (n < 0)
                throw EArchiveError("Cannot read archive member \"" + names_[i] + "\": " +
                                    zip_file_strerror(in));
            if (n == 0) break;
            if (std::fwrite(buffer.data(), 1, static_cast<std::size_t>(n), out.get()) != static_cast<std::size_t>(n))
                throw rtl::EFOpenError(rtl::Format("Cannot write file \"%s\"", path.c_str()));
        }
        if (std::fclose(out.release()) != 0)
            throw rtl::EFOpenError(rtl::Format("Cannot write file \"%s\"", path.c_str()));
        rtl::BeforeFileStep("rename", temp + " -> " + path);
        const bool renamed = RenameOver(temp, path);
        rtl::AfterFileStep();
        if (!renamed) throw rtl::EFOpenError(rtl::Format("Cannot create file \"%s\"", path.c_str()));
        guard.placed = true;
    }
}

}  // namespace conv
