#include "components/streams.h"
#include "rtl/resstrings.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "rtl/exceptions.h"
#include "rtl/strutil.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kxc {

TStream::~TStream() = default;

int64_t TStream::Size() {
    int64_t pos = Seek(0, soCurrent);
    int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, int32_t count) {
    if (count <= 0) return;
    if (Read(buffer, count) != count) throw rtl::EReadError(rtl::LoadResString(&rtl::SReadError));
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
    if (count <= 0) return;
    if (Write(buffer, count) != count) throw rtl::EStreamError(rtl::LoadResString(&rtl::SWriteError));
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    char buf[4096];
    int64_t done = 0;
    while (done < count) {
        int32_t n = int32_t(std::min<int64_t>(sizeof buf, count - done));
        source.ReadBuffer(buf, n);
        WriteBuffer(buf, n);
        done += n;
    }
    return done;
}

int32_t TMemoryStream::Read(void* buffer, int32_t count) {
    if (count <= 0 || pos_ >= int64_t(data_.size())) return 0;
    int64_t n = std::min<int64_t>(count, int64_t(data_.size()) - pos_);
    std::memcpy(buffer, data_.data() + pos_, size_t(n));
    pos_ += n;
    return int32_t(n);
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
    if (count <= 0) return 0;
    if (pos_ + count > int64_t(data_.size())) data_.resize(size_t(pos_ + count));
    std::memcpy(&data_[size_t(pos_)], buffer, size_t(count));
    pos_ += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? pos_ : int64_t(data_.size());
    pos_ = std::max<int64_t>(0, base + offset);
    return pos_;
}

int32_t TCustomMemoryStream::Read(void* buffer, int32_t count) {
    if (count <= 0 || pos_ >= size_) return 0;
    int64_t n = std::min<int64_t>(count, size_ - pos_);
    std::memcpy(buffer, data_ + pos_, size_t(n));
    pos_ += n;
    return int32_t(n);
}

int32_t TCustomMemoryStream::Write(const void*, int32_t) { return 0; }

int64_t TCustomMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? pos_ : size_;
    pos_ = std::max<int64_t>(0, base + offset);
    return pos_;
}

// ---- TFileStream ----

namespace {
[[noreturn]] void CannotOpen(const std::string& name, uint16_t mode) {
    throw rtl::EFOpenError(
        rtl::FormatResString(mode == fmCreate ? &rtl::SFCreateError : &rtl::SFOpenError, name.c_str()));
}
}  // namespace

#ifdef _WIN32

TFileStream::TFileStream(const std::string& fileName, uint16_t mode) : fileName_(fileName) {
    DWORD access, share, disposition;
    if (mode == fmCreate) {
        access = GENERIC_READ | GENERIC_WRITE;
        share = 0;
        disposition = CREATE_ALWAYS;
    } else {
        static const DWORD kAccess[3] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
        static const DWORD kShare[5] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE};
        unsigned a = mode & 0x0F, sh = (mode & 0xF0) >> 4;
        if (a > 2 || sh > 4) CannotOpen(fileName, mode);
        access = kAccess[a];
        share = kShare[sh];
        disposition = OPEN_EXISTING;
    }
    HANDLE h = CreateFileA(fileName.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) CannotOpen(fileName, mode);
    handle_ = h;
}

TFileStream::~TFileStream() { CloseHandle(static_cast<HANDLE>(handle_)); }

int32_t TFileStream::Read(void* buffer, int32_t count) {
    DWORD n = 0;
    if (count <= 0 || !ReadFile(static_cast<HANDLE>(handle_), buffer, DWORD(count), &n, nullptr)) return 0;
    return int32_t(n);
}

int32_t TFileStream::Write(const void* buffer, int32_t count) {
    DWORD n = 0;
    if (count <= 0 || !WriteFile(static_cast<HANDLE>(handle_), buffer, DWORD(count), &n, nullptr)) return 0;
    return int32_t(n);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    LARGE_INTEGER to, now;
    to.QuadPart = offset;
    DWORD how = origin == soBeginning ? FILE_BEGIN : origin == soCurrent ? FILE_CURRENT : FILE_END;
    if (!SetFilePointerEx(static_cast<HANDLE>(handle_), to, &now, how)) return -1;
    return now.QuadPart;
}

#else

TFileStream::TFileStream(const std::string& fileName, uint16_t mode) : fileName_(fileName) {
    int flags;
    if (mode == fmCreate)
        flags = O_RDWR | O_CREAT | O_TRUNC;
    else {
        static const int kAccess[3] = {O_RDONLY, O_WRONLY, O_RDWR};
        unsigned a = mode & 0x0F, sh = (mode & 0xF0) >> 4;
        if (a > 2 || sh > 4) CannotOpen(fileName, mode);
        flags = kAccess[a];
    }
    fd_ = ::open(fileName.c_str(), flags | O_CLOEXEC, 0644);
    if (fd_ < 0) CannotOpen(fileName, mode);
    // A folder opens on POSIX systems; it is no file to read.
    struct stat st;
    if (fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd_);
        CannotOpen(fileName, mode);
    }
}

TFileStream::~TFileStream() { ::close(fd_); }

int32_t TFileStream::Read(void* buffer, int32_t count) {
    if (count <= 0) return 0;
    ssize_t n = ::read(fd_, buffer, size_t(count));
    return n < 0 ? 0 : int32_t(n);
}

int32_t TFileStream::Write(const void* buffer, int32_t count) {
    if (count <= 0) return 0;
    ssize_t n = ::write(fd_, buffer, size_t(count));
    return n < 0 ? 0 : int32_t(n);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    int how = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
    return int64_t(::lseek(fd_, off_t(offset), how));
}

#endif

// ---- resources ----

TResId::TResId(const std::string& name) : name_(name) {
    // "#123" names the number, as the system reads it.
    if (name.size() > 1 && name.size() <= 6 && name[0] == '#' &&
        name.find_first_not_of("0123456789", 1) == std::string::npos) {
        unsigned long v = std::stoul(name.substr(1));
        if (v <= 0xFFFF) {
            id_ = uint16_t(v);
            isId_ = true;
            name_.clear();
        }
    }
}

std::string TResId::Text() const { return IsId() ? "#" + std::to_string(id_) : name_; }

namespace {
std::map<std::string, std::string>& MemoryResources() {
    static std::map<std::string, std::string> r;
    return r;
}

// Key of an in-memory resource: type and name, both as the system compares them.
std::string MemoryKey(const TResId& type, const TResId& name) {
    return rtl::AsciiUpper(type.Text()) + '\0' + rtl::AsciiUpper(name.Text());
}

bool Usable(const TResId& id) { return id.IsId() ? id.Id() != 0 : !id.Name().empty(); }

// Finds the resource bytes; false when there is none.
bool LocateResource(const TResId& name, const TResId& type, void* instance, const void*& data, int64_t& size) {
    if (!Usable(name) || !Usable(type)) return false;
    auto& mem = MemoryResources();
    auto it = mem.find(MemoryKey(type, name));
    if (it != mem.end()) {
        data = it->second.data();
        size = int64_t(it->second.size());
        return true;
    }
#ifdef _WIN32
    HMODULE module = instance ? static_cast<HMODULE>(instance) : GetModuleHandleA(nullptr);
    auto resName = [](const TResId& id) {
        return id.IsId() ? MAKEINTRESOURCEA(id.Id()) : id.Name().c_str();
    };
    HRSRC res = FindResourceA(module, resName(name), resName(type));
    if (!res) return false;
    HGLOBAL h = LoadResource(module, res);
    if (!h) return false;
    data = LockResource(h);
    size = SizeofResource(module, res);
    return data != nullptr;
#else
    (void)instance;
    return false;
#endif
}
}  // namespace

TResourceStream::TResourceStream(const std::string& name, void* instance)
    : TResourceStream(instance, TResId(name), TResId(rtRCData)) {}

TResourceStream::TResourceStream(void* instance, const TResId& name, const TResId& type) {
    const void* data = nullptr;
    int64_t size = 0;
    if (!LocateResource(name, type, instance, data, size))
        throw rtl::EResNotFound(rtl::FormatResString(&rtl::SResNotFound, name.Text().c_str()));
    SetPointer(data, size);
}

void RegisterResourceData(const std::string& name, std::string bytes) {
    RegisterResourceData(TResId(rtRCData), TResId(name), std::move(bytes));
}

void RegisterResourceData(const TResId& type, const TResId& name, std::string bytes) {
    if (!Usable(name) || !Usable(type)) throw rtl::Exception(rtl::LoadResString(&rtl::SResNameEmpty));
    MemoryResources()[MemoryKey(type, name)] = std::move(bytes);
}

void UnregisterResourceData(const std::string& name) { UnregisterResourceData(TResId(rtRCData), TResId(name)); }

void UnregisterResourceData(const TResId& type, const TResId& name) { MemoryResources().erase(MemoryKey(type, name)); }

bool ResourceExists(const std::string& name, void* instance) {
    const void* data = nullptr;
    int64_t size = 0;
    return LocateResource(TResId(name), TResId(rtRCData), instance, data, size);
}

}  // namespace kxc
