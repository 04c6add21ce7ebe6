// The sorted translation list and the file dictionary's file name and storage.
#include "qx/QxAMulti.h"

#include <algorithm>

#include "qx/QxLocaleVars.h"
#include "rtl/strutil.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <ctime>
#endif

namespace qx {

// ---- TQxCustomDictionary ----

KXC_IMPLEMENT_CLASS(TQxCustomDictionary)

void TQxCustomDictionary::DescribeClass(kxc::TClassBuilder<TQxCustomDictionary>&) {}

TQxCustomDictionary::TQxCustomDictionary(kxc::TComponent* owner) : TQxDictionary(owner) {}

TQxCustomDictionary::~TQxCustomDictionary() { ClearTranslations(); }

void TQxCustomDictionary::ClearTranslations() { list_.clear(); }

void TQxCustomDictionary::AddTranslation(std::unique_ptr<TQxTranslation> entry) {
    list_.push_back(std::move(entry));
}

TQxTranslation* TQxCustomDictionary::GetTranslation(int32_t index) const {
    if (index < 0 || index >= LoadedCount())
        throw rtl::EListError(rtl::Format("List index out of bounds (%d)", index));
    return list_[static_cast<size_t>(index)].get();
}

int32_t TQxCustomDictionary::GetTranslationCount() { return LoadedCount(); }

namespace {

// std::string compares through char_traits<char>, which orders characters as unsigned bytes
// and a proper prefix first: exactly the dictionary's ordinal order.
int CompareOrdinal(const std::string& a, const std::string& b) { return a.compare(b); }

const char kKeySeparator = static_cast<char>(127);

// Halving search over the sorted list; `probe` gives the text compared for entry i.
template <class Probe>
int32_t BinarySearch(int32_t count, const std::string& target, Probe probe) {
    int32_t lo = 0;
    int32_t hi = count - 1;
    while (lo <= hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        const int c = CompareOrdinal(probe(mid), target);
        if (c == 0) return mid;
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return -1;
}

}  // namespace

// With contexts the list is sorted by full keys; the native text followed by the separator
// is a prefix of every key of that text, and prefixes sort in the same order as the keys, so
// comparing those prefixes finds an entry of the text whatever its contexts.
int32_t TQxCustomDictionary::IndexOfNative(const std::string& native) const {
    if (!HasContexts())
        return BinarySearch(LoadedCount(), native,
                            [this](int32_t i) -> const std::string& { return list_[size_t(i)]->Native; });
    const std::string target = native + kKeySeparator;
    return BinarySearch(LoadedCount(), target,
                        [this](int32_t i) { return list_[size_t(i)]->Native + kKeySeparator; });
}

int32_t TQxCustomDictionary::IndexOfContext(const std::string& native,
                                            const std::string& contextA,
                                            const std::string& contextB) const {
    if (!HasContexts()) return IndexOfNative(native);
    const std::string target = TQxTranslation::MakeKey(native, contextA, contextB);
    return BinarySearch(LoadedCount(), target,
                        [this](int32_t i) { return list_[size_t(i)]->GetKey(); });
}

// The standard sort keeps its recursion depth logarithmic whatever the order of the
// entries; a plain recursive quicksort over 65535 entries in adversarial order runs out of
// stack. Entries with equal keys end in any order, as before.
void TQxCustomDictionary::SortTranslations() {
    if (list_.empty()) return;
    using Entry = std::unique_ptr<TQxTranslation>;
    if (HasContexts())
        std::sort(list_.begin(), list_.end(), [](const Entry& a, const Entry& b) {
            return CompareOrdinal(a->GetKey(), b->GetKey()) < 0;
        });
    else
        std::sort(list_.begin(), list_.end(), [](const Entry& a, const Entry& b) {
            return CompareOrdinal(a->Native, b->Native) < 0;
        });
}

bool TQxCustomDictionary::FindTranslation(const std::string& native, std::string& translation) {
    const int32_t i = IndexOfNative(native);
    if (i < 0) return false;
    translation = list_[size_t(i)]->Translation;
    return true;
}

bool TQxCustomDictionary::FindContextTranslation(const std::string& native,
                                                 const std::string& contextA,
                                                 const std::string& contextB,
                                                 std::string& translation) {
    const int32_t i = IndexOfContext(native, contextA, contextB);
    if (i < 0) return false;
    translation = list_[size_t(i)]->Translation;
    return true;
}

// The translators that the notification reaches must already find the new language's texts.
void TQxCustomDictionary::UpdateLocaleVariables(bool languageChanged, bool localeChanged) {
    if (languageChanged) LoadTranslations();
    inherited::UpdateLocaleVariables(languageChanged, localeChanged);
}

void TQxCustomDictionary::LoadTranslations() { throw rtl::EAbstractError("Abstract Error"); }

// ---- File services ----

#ifdef _WIN32

std::string ExpandFileName(const std::string& name) {
    char buffer[MAX_PATH + 1] = {0};
    char* filePart = nullptr;
    const DWORD n = GetFullPathNameA(name.c_str(), sizeof buffer, buffer, &filePart);
    if (n == 0 || n >= sizeof buffer) return name;
    return std::string(buffer, n);
}

bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ProgramFolder() {
    char buffer[MAX_PATH + 1] = {0};
    const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    const std::string path(buffer, n);
    const size_t pos = path.find_last_of("\\:");
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::string FileStamp(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return std::string();
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    auto ticks = [](const FILETIME& t) {
        return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    const uint64_t twoSeconds = 2 * 10000000ull;  // in units of 100 ns
    if (ticks(data.ftLastWriteTime) + twoSeconds > ticks(now)) return std::string();
    return std::to_string(data.nFileSizeHigh) + ":" + std::to_string(data.nFileSizeLow) + ":" +
           std::to_string(data.ftLastWriteTime.dwHighDateTime) + ":" +
           std::to_string(data.ftLastWriteTime.dwLowDateTime);
}

#else

std::string ExpandFileName(const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    char buffer[PATH_MAX] = {0};
    if (!getcwd(buffer, sizeof buffer)) return name;
    std::string folder(buffer);
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder + name;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ProgramFolder() {
    char buffer[PATH_MAX] = {0};
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::string();
    const std::string path(buffer, static_cast<size_t>(n));
    const size_t pos = path.find_last_of('/');
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::string FileStamp(const std::string& path) {
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0) return std::string();
    if (st.st_mtim.tv_sec + 2 > time(nullptr)) return std::string();
    return std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + ":" +
           std::to_string(st.st_mtim.tv_nsec);
}

#endif

// ---- TQxCustomFileDictionary ----

const kxc::TEnumInfo QxStorageInfo{"TQxStorage", {"qxsFile", "qxsEmbedded", "qxsResource"}};

KXC_IMPLEMENT_CLASS(TQxCustomFileDictionary)

void TQxCustomFileDictionary::DescribeClass(kxc::TClassBuilder<TQxCustomFileDictionary>& c) {
    c.Str("FileName", &TQxCustomFileDictionary::GetFileName,
          &TQxCustomFileDictionary::SetFileName);
    c.Enum<TQxStorage>("Storage", &TQxCustomFileDictionary::Storage,
                       &TQxCustomFileDictionary::SetStorage, QxStorageInfo)
        .DefaultValue(qxsFile);
}

TQxCustomFileDictionary::TQxCustomFileDictionary(kxc::TComponent* owner)
    : TQxCustomDictionary(owner) {}

// Only "\" and ":" mark a folder part: a name such as "sub/x.gld" is still looked for beside
// the program.
std::string TQxCustomFileDictionary::ResolveFileName(const std::string& name) const {
    if (storage_ == qxsFile) {
        const std::string full = ExpandFileName(name);
        if (FileExists(full)) return full;
    }
    if (name.find_first_of("\\:") == std::string::npos) {
        const std::string candidate = ProgramFolder() + name;
        if (FileExists(candidate)) return candidate;
    }
    return name;
}

std::string TQxCustomFileDictionary::GetFileName() const {
    if (!Designing()) fileName_ = ResolveFileName(fileName_);
    return fileName_;
}

bool TQxCustomFileDictionary::IsAvailable() {
    if (storage_ != qxsFile) return true;
    const std::string name = GetFileName();
    return !name.empty() && FileExists(name);
}

void TQxCustomFileDictionary::SetStorage(TQxStorage value) {
    if (value == storage_) return;
    storage_ = value;
    if (!Designing() || Loading()) return;
    if (value == qxsEmbedded)
        ApplicationServices().ShowInformationBox(
            "Each time you edit the dictionary you have to save this form and\r\nrebuild the "
            "application in order to get the new translations in use.");
    else if (value == qxsResource)
        ApplicationServices().ShowInformationBox(
            "Each time you edit the dictionary you have to compile the resource file "
            "containing the dictionary and\r\nadd the resource to the application or rebuild "
            "the application in order to get the new translations in use.");
}

}  // namespace qx
