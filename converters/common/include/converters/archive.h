// The new database's archive: a ZIP archive held in memory (the converter's resource), read
// through libzip over a read-only memory source and unpacked into one folder.
//
// Raises EArchiveError for an archive that cannot be read or holds a member whose name has a
// folder part, a drive or ".." (checked for every member before anything is written), and
// rtl::EFOpenError for a file that cannot be written. The reader borrows the memory; it must
// stay valid while the reader lives.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "rtl/exceptions.h"

struct zip;

namespace conv {

class EArchiveError : public rtl::Exception {
public:
    using Exception::Exception;
    const char* ClassName() const override { return "EArchiveError"; }
    bool InheritsFrom(const std::string& n) const override {
        return n == "EArchiveError" || Exception::InheritsFrom(n);
    }
};

// True when a member may be written as folder + name: no "/", "\", ":", no "..", not empty.
bool IsPlainMemberName(const std::string& name);

class TArchiveReader {
public:
    // Reads the archive's directory and checks every member name.
    TArchiveReader(const void* data, std::size_t size);
    ~TArchiveReader();
    TArchiveReader(const TArchiveReader&) = delete;
    TArchiveReader& operator=(const TArchiveReader&) = delete;

    const std::vector<std::string>& MemberNames() const { return names_; }
    // Writes every member into folder (which ends with a path separator), replacing files of
    // the same names: each is written whole under a temporary name, then renamed over its file.
    void ExtractAll(const std::string& folder);

private:
    struct zip* archive_ = nullptr;
    std::vector<std::string> names_;
};

}  // namespace conv
