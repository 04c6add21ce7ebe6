// mkarchive: packs files of one folder into a ZIP archive, each at the archive's root under
// exactly the name given on the command line.
//
//   mkarchive [--store NAME]... OUT.zip DIR NAME...
//   mkarchive [--store NAME]... OUT.zip DIR --all        (every regular file of DIR)
//
// Every member is deflated except those named with --store, which are stored. The output is
// deterministic: members in the order given (--all: byte order of the names), one fixed DOS
// date for every member, DOS attributes, no extra fields, no encryption. A name with a folder
// part, a drive or ".." is refused, as is a name given twice or a file that is missing.
#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// 2001-01-01 00:00:00 in DOS form: the date every member carries.
constexpr zip_uint16_t kDosTime = 0;
constexpr zip_uint16_t kDosDate = ((2001 - 1980) << 9) | (1 << 5) | 1;
constexpr zip_uint32_t kDosArchiveAttr = 0x20;

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "mkarchive: %s\n", message.c_str());
    std::exit(1);
}

bool SafeMemberName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    if (name.find_first_of("/\\:") != std::string::npos) return false;
    return true;
}

std::vector<std::string> AllFiles(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (!d) Fail("cannot read folder " + dir);
    while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        struct stat st;
        if (stat((dir + "/" + n).c_str(), &st) == 0 && S_ISREG(st.st_mode)) names.push_back(n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail("cannot open " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
    std::set<std::string> stored;
    int i = 1;
    while (i + 1 < argc && std::strcmp(argv[i], "--store") == 0) {
        stored.insert(argv[i + 1]);
        i += 2;
    }
    if (argc - i < 3) {
        std::fprintf(stderr, "usage: mkarchive [--store NAME]... OUT.zip DIR (NAME...|--all)\n");
        return 2;
    }
    const std::string out = argv[i++];
    const std::string dir = argv[i++];
    std::vector<std::string> names;
    if (argc - i == 1 && std::strcmp(argv[i], "--all") == 0)
        names = AllFiles(dir);
    else
        names.assign(argv + i, argv + argc);

    std::set<std::string> seen;
    for (const std::string& n : names) {
        if (!SafeMemberName(n)) Fail("member name not allowed: \"" + n + "\"");
        if (!seen.insert(n).second) Fail("member named twice: " + n);
    }

    std::remove(out.c_str());
    int err = 0;
    zip_t* za = zip_open(out.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!za) Fail("cannot create " + out);

    // The contents must outlive zip_close, which is when libzip reads the sources.
    std::vector<std::string> contents;
    contents.reserve(names.size());
    for (const std::string& n : names) {
        contents.push_back(ReadFile(dir + "/" + n));
        const std::string& data = contents.back();
        zip_source_t* src = zip_source_buffer(za, data.data(), data.size(), 0);
        if (!src) Fail("cannot add " + n + ": " + zip_strerror(za));
        zip_int64_t idx = zip_file_add(za, n.c_str(), src, ZIP_FL_ENC_GUESS);
        if (idx < 0) {
            zip_source_free(src);
            Fail("cannot add " + n + ": " + zip_strerror(za));
        }
        const auto index = static_cast<zip_uint64_t>(idx);
        const bool store = stored.count(n) != 0;
        if (zip_set_file_compression(za, index, store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 9) != 0 ||
            zip_file_set_dostime(za, index, kDosTime, kDosDate, 0) != 0 ||
            zip_file_set_external_attributes(za, index, 0, ZIP_OPSYS_DOS, kDosArchiveAttr) != 0)
            Fail("cannot set up " + n + ": " + zip_strerror(za));
    }
    for (const std::string& n : stored)
        if (!seen.count(n)) Fail("--store names a file that is not packed: " + n);

    if (zip_close(za) != 0) {
        std::string message = zip_strerror(za);
        zip_discard(za);
        Fail("cannot write " + out + ": " + message);
    }
    return 0;
}
