// Byte streams: the abstract stream, a memory stream, a file stream and the read-only stream
// over a program resource of any type.
//
// Raises: rtl::EReadError "Stream read error" when ReadBuffer cannot read the whole count,
// rtl::EStreamError "Stream write error" when WriteBuffer cannot write it, rtl::EFOpenError
// "Cannot open file %s" / "Cannot create file %s" when a file stream's file cannot be opened
// or created, rtl::EResNotFound "Resource %s not found" when a resource stream's resource does
// not exist.
//
// Ownership: a memory stream owns its bytes; a file stream owns its open file and closes it
// when it is freed; a resource stream points into the loaded module (or into a registered
// in-memory resource), which outlives it.
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

// File stream modes: one access mode or'ed with one share mode, or fmCreate (a new, empty
// file, read and write, shared with nobody).
enum TFileMode : uint16_t {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareCompat = 0x0000,     // as exclusive
    fmShareExclusive = 0x0010,  // others may neither read nor write
    fmShareDenyWrite = 0x0020,  // others may read
    fmShareDenyRead = 0x0030,   // others may write
    fmShareDenyNone = 0x0040,   // others may read and write
    fmCreate = 0xFFFF,
};

// A file on disk. Sharing is what the system enforces on Windows; POSIX systems have no
// share modes and ignore them.
class TFileStream : public TStream {
public:
    TFileStream(const std::string& fileName, uint16_t mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
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

// A resource type or name: a text (compared ignoring letter case, as the system does) or a
// 16-bit number. A text "#123" stands for the number 123.
class TResId {
public:
    TResId(const char* name) : TResId(std::string(name)) {}
    TResId(const std::string& name);
    TResId(uint16_t id) : id_(id), isId_(true) {}
    bool IsId() const { return isId_; }
    uint16_t Id() const { return id_; }
    const std::string& Name() const { return name_; }
    // The name, or "#" and the number.
    std::string Text() const;

private:
    std::string name_;
    uint16_t id_ = 0;
    bool isId_ = false;
};

constexpr uint16_t rtRCData = 10;  // the system's type of raw data resources

// The resource `name` of type `type` (RCDATA by default) of the module `instance` (nullptr:
// the program itself). In-memory resources registered with RegisterResourceData are found
// first, so portable code and tests can supply them without a module.
class TResourceStream : public TCustomMemoryStream {
public:
    explicit TResourceStream(const std::string& name, void* instance = nullptr);
    TResourceStream(void* instance, const TResId& name, const TResId& type);
};

// Registers (or replaces) an in-memory resource; an empty name or type is not allowed.
void RegisterResourceData(const std::string& name, std::string bytes);  // RCDATA
void RegisterResourceData(const TResId& type, const TResId& name, std::string bytes);
void UnregisterResourceData(const std::string& name);
void UnregisterResourceData(const TResId& type, const TResId& name);
// True when the RCDATA resource exists (registered or in the program's module).
bool ResourceExists(const std::string& name, void* instance = nullptr);

}  // namespace kxc
