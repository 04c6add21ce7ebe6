// Byte streams: the abstract stream, a memory stream and the read-only stream over a program
// resource of type RCDATA.
//
// Raises: rtl::EReadError "Stream read error" when ReadBuffer cannot read the whole count,
// rtl::EStreamError "Stream write error" when WriteBuffer cannot write it, rtl::EResNotFound
// "Resource %s not found" when a resource stream's resource does not exist.
//
// Ownership: a memory stream owns its bytes; a resource stream points into the loaded module
// (or into a registered in-memory resource), which outlives it.
#pragma once

#include <cstdint>
#include <string>

namespace kxc {

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream();
    // Reads up to count bytes; returns the number read (0 at the end).
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    virtual int32_t Write(const void* buffer, int32_t count) = 0;
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t p) { Seek(p, soBeginning); }
    int64_t Size();
    void ReadBuffer(void* buffer, int32_t count);
    void WriteBuffer(const void* buffer, int32_t count);
    // Copies count bytes from source (all of it from its start when count is 0).
    int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string bytes) : data_(std::move(bytes)) {}
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    const std::string& Bytes() const { return data_; }
    void Clear() {
        data_.clear();
        pos_ = 0;
    }

private:
    std::string data_;
    int64_t pos_ = 0;
};

// A read-only view of bytes owned elsewhere.
class TCustomMemoryStream : public TStream {
public:
    TCustomMemoryStream(const void* data, int64_t size) : data_(static_cast<const char*>(data)), size_(size) {}
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;  // always 0
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

protected:
    TCustomMemoryStream() = default;
    void SetPointer(const void* data, int64_t size) {
        data_ = static_cast<const char*>(data);
        size_ = size;
    }

private:
    const char* data_ = nullptr;
    int64_t size_ = 0;
    int64_t pos_ = 0;
};

// The RCDATA resource `name` (names match ignoring letter case) of the module `instance`
// (nullptr: the program itself). In-memory resources registered with RegisterResourceData
// are found first, so portable code and tests can supply them without a module.
class TResourceStream : public TCustomMemoryStream {
public:
    explicit TResourceStream(const std::string& name, void* instance = nullptr);
};

// Registers (or replaces) an in-memory RCDATA resource; an empty `name` is not allowed.
void RegisterResourceData(const std::string& name, std::string bytes);
void UnregisterResourceData(const std::string& name);
// True when the resource exists (registered or in the program's module).
bool ResourceExists(const std::string& name, void* instance = nullptr);

}  // namespace kxc
