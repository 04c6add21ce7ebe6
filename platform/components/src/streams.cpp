#include "components/streams.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "rtl/exceptions.h"
#include "rtl/strutil.h"

#ifdef _WIN32
#include <windows.h>
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
    if (Read(buffer, count) != count) throw rtl::EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
    if (count <= 0) return;
    if (Write(buffer, count) != count) throw rtl::EStreamError("Stream write error");
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

namespace {
std::map<std::string, std::string>& MemoryResources() {
    static std::map<std::string, std::string> r;
    return r;
}

// Finds the resource bytes; false when there is none.
bool LocateResource(const std::string& name, void* instance, const void*& data, int64_t& size) {
    auto& mem = MemoryResources();
    auto it = mem.find(rtl::AsciiUpper(name));
    if (it != mem.end()) {
        data = it->second.data();
        size = int64_t(it->second.size());
        return true;
    }
#ifdef _WIN32
    HMODULE module = instance ? static_cast<HMODULE>(instance) : GetModuleHandleA(nullptr);
    HRSRC res = FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
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

TResourceStream::TResourceStream(const std::string& name, void* instance) {
    const void* data = nullptr;
    int64_t size = 0;
    if (name.empty() || !LocateResource(name, instance, data, size))
        throw rtl::EResNotFound(rtl::Format("Resource %s not found", name.c_str()));
    SetPointer(data, size);
}

void RegisterResourceData(const std::string& name, std::string bytes) {
    if (name.empty()) throw rtl::Exception("Resource name is empty");
    MemoryResources()[rtl::AsciiUpper(name)] = std::move(bytes);
}

void UnregisterResourceData(const std::string& name) { MemoryResources().erase(rtl::AsciiUpper(name)); }

bool ResourceExists(const std::string& name, void* instance) {
    const void* data = nullptr;
    int64_t size = 0;
    return !name.empty() && LocateResource(name, instance, data, size);
}

}  // namespace kxc
