#include "components/filer.h"
#include "rtl/resstrings.h"

#include <cmath>
#include <cstring>

#include "rtl/strutil.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kxc {

namespace {

// Deepest nesting of lists, collections and components that a stored description may have;
// deeper data is treated as corrupt instead of exhausting the stack.
constexpr int kMaxDepth = 256;
// Counted data is read in pieces, so a huge stored length fails at the end of the data
// instead of allocating first.
constexpr int32_t kChunk = 65536;
const char kSignature[4] = {'T', 'P', 'F', '0'};

[[noreturn]] void InvalidValue() { throw rtl::EReadError(rtl::LoadResString(&rtl::SInvalidPropertyValue)); }

std::string Narrow(const std::u16string& w) {
#ifdef _WIN32
    if (w.empty()) return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(w.data()), int(w.size()),
                                nullptr, 0, nullptr, nullptr);
    std::string r(size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(w.data()), int(w.size()), &r[0], n,
                            nullptr, nullptr);
    return r;
#else
    std::string r;
    r.reserve(w.size());
    for (char16_t ch : w) r += ch <= 0xFF ? char(ch) : '?';
    return r;
#endif
}

std::u16string Widen(const std::string& s) {
#ifdef _WIN32
    if (s.empty()) return std::u16string();
    int n = MultiByteToWideChar(CP_ACP, 0, s.data(), int(s.size()), nullptr, 0);
    std::u16string r(size_t(n > 0 ? n : 0), u'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, s.data(), int(s.size()), reinterpret_cast<wchar_t*>(&r[0]), n);
    return r;
#else
    std::u16string r;
    r.reserve(s.size());
    for (char ch : s) r += char16_t(static_cast<unsigned char>(ch));
    return r;
#endif
}

struct DepthGuard {
    int& depth;
    explicit DepthGuard(int& d) : depth(d) {
        if (++depth > kMaxDepth) {
            --depth;
            InvalidValue();
        }
    }
    ~DepthGuard() { --depth; }
};

int g_depth = 0;  // nesting of the value currently read (GUI thread only)

}  // namespace

void DoubleToExtended(double v, unsigned char out[10]) {
    std::memset(out, 0, 10);
    uint16_t se = std::signbit(v) ? 0x8000 : 0;
    uint64_t mant = 0;
    if (std::isnan(v)) {
        se |= 0x7FFF;
        mant = 0xC000000000000000ull;
    } else if (std::isinf(v)) {
        se |= 0x7FFF;
        mant = 0x8000000000000000ull;
    } else if (v != 0) {
        int e = 0;
        double f = std::frexp(std::fabs(v), &e);  // f in [0.5, 1)
        mant = uint64_t(std::ldexp(f, 64));
        se |= uint16_t(e - 1 + 16383);
    }
    for (int i = 0; i < 8; ++i) out[i] = static_cast<unsigned char>(mant >> (8 * i));
    out[8] = static_cast<unsigned char>(se);
    out[9] = static_cast<unsigned char>(se >> 8);
}

double ExtendedToDouble(const unsigned char in[10]) {
    uint64_t mant = 0;
    for (int i = 0; i < 8; ++i) mant |= uint64_t(in[i]) << (8 * i);
    uint16_t se = uint16_t(in[8] | (in[9] << 8));
    bool neg = (se & 0x8000) != 0;
    int e = se & 0x7FFF;
    double v;
    if (e == 0 && mant == 0)
        v = 0;
    else if (e == 0x7FFF)
        v = (mant << 1) == 0 ? INFINITY : NAN;
    else
        v = std::ldexp(double(mant), e - 16383 - 63);
    return neg ? -v : v;
}

TFiler::~TFiler() = default;

// ---- TReader ----

TReader::TReader(TStream& stream, int32_t bufSize) : stream_(stream), buf_(size_t(bufSize > 16 ? bufSize : 16)) {}

TReader::~TReader() {
    // Give the stream back at the reader's logical position.
    if (bufEnd_ > bufPos_) stream_.Seek(int64_t(bufPos_) - bufEnd_, soCurrent);
}

void TReader::Fill() {
    bufPos_ = 0;
    bufEnd_ = stream_.Read(buf_.data(), int32_t(buf_.size()));
    if (bufEnd_ < 0) bufEnd_ = 0;
}

uint8_t TReader::ReadByte() {
    if (bufPos_ >= bufEnd_) {
        Fill();
        if (bufEnd_ == 0) throw rtl::EReadError(rtl::LoadResString(&rtl::SReadError));
    }
    ++consumed_;
    return static_cast<uint8_t>(buf_[size_t(bufPos_++)]);
}

void TReader::Read(void* out, int32_t count) {
    char* p = static_cast<char*>(out);
    while (count > 0) {
        if (bufPos_ >= bufEnd_) {
            Fill();
            if (bufEnd_ == 0) throw rtl::EReadError(rtl::LoadResString(&rtl::SReadError));
        }
        int32_t n = std::min(count, bufEnd_ - bufPos_);
        std::memcpy(p, &buf_[size_t(bufPos_)], size_t(n));
        bufPos_ += n;
        consumed_ += n;
        p += n;
        count -= n;
    }
}

TValueType TReader::ReadValue() { return static_cast<TValueType>(ReadByte()); }

TValueType TReader::NextValue() {
    if (bufPos_ >= bufEnd_) {
        Fill();
        if (bufEnd_ == 0) throw rtl::EReadError(rtl::LoadResString(&rtl::SReadError));
    }
    return static_cast<TValueType>(static_cast<uint8_t>(buf_[size_t(bufPos_)]));
}

void TReader::CheckValue(TValueType v) {
    if (ReadValue() != v) InvalidValue();
}

void TReader::ReadSignature() {
    char sig[4];
    try {
        Read(sig, 4);
    } catch (const rtl::EReadError&) {
        throw rtl::EFilerError(rtl::LoadResString(&rtl::SInvalidImage));
    }
    if (std::memcmp(sig, kSignature, 4) != 0) throw rtl::EFilerError(rtl::LoadResString(&rtl::SInvalidImage));
}

void TReader::ReadPrefix(uint8_t& flags, int32_t& childPos) {
    flags = 0;
    childPos = 0;
    uint8_t b = static_cast<uint8_t>(NextValue());
    if ((b & 0xF0) == 0xF0) {
        ReadByte();
        flags = b & 0x0F;
        if (flags & ffChildPos) childPos = ReadInteger();
    }
}

std::string TReader::ReadStr() {
    uint8_t n = ReadByte();
    std::string s(n, '\0');
    if (n) Read(&s[0], n);
    return s;
}

namespace {
int32_t ReadLE32(TReader& r) {
    unsigned char b[4];
    r.Read(b, 4);
    return int32_t(uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24));
}
// Reads `count` bytes in pieces; a negative count is corrupt.
std::string ReadCounted(TReader& r, int64_t count) {
    if (count < 0) InvalidValue();
    std::string s;
    while (int64_t(s.size()) < count) {
        int32_t n = int32_t(std::min<int64_t>(kChunk, count - int64_t(s.size())));
        size_t at = s.size();
        s.resize(at + size_t(n));
        r.Read(&s[at], n);
    }
    return s;
}
}  // namespace

int32_t TReader::ReadInteger() {
    switch (ReadValue()) {
    case vaInt8: {
        int8_t v;
        Read(&v, 1);
        return v;
    }
    case vaInt16: {
        unsigned char b[2];
        Read(b, 2);
        return int16_t(uint16_t(b[0] | (b[1] << 8)));
    }
    case vaInt32:
        return ReadLE32(*this);
    default:
        InvalidValue();
    }
}

int64_t TReader::ReadInt64() {
    if (NextValue() != vaInt64) return ReadInteger();
    ReadValue();
    unsigned char b[8];
    Read(b, 8);
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= uint64_t(b[i]) << (8 * i);
    return int64_t(v);
}

bool TReader::ReadBoolean() {
    TValueType v = ReadValue();
    if (v == vaTrue) return true;
    if (v == vaFalse) return false;
    InvalidValue();
}

char TReader::ReadChar() {
    CheckValue(vaString);
    uint8_t n = ReadByte();
    if (n != 1) InvalidValue();
    return char(ReadByte());
}

std::u16string TReader::ReadWideString() {
    TValueType t = NextValue();
    if (t != vaWString) return Widen(ReadString());
    ReadValue();
    int32_t count = ReadLE32(*this);
    if (count < 0) InvalidValue();
    std::string bytes = ReadCounted(*this, int64_t(count) * 2);
    std::u16string w(size_t(count), u'\0');
    for (int32_t i = 0; i < count; ++i)
        w[size_t(i)] = char16_t(static_cast<unsigned char>(bytes[size_t(2 * i)]) |
                                (static_cast<unsigned char>(bytes[size_t(2 * i + 1)]) << 8));
    return w;
}

std::string TReader::ReadString() {
    switch (NextValue()) {
    case vaString:
        ReadValue();
        return ReadStr();
    case vaLString:
        ReadValue();
        return ReadCounted(*this, ReadLE32(*this));
    case vaWString:
        return Narrow(ReadWideString());
    default:
        ReadValue();
        InvalidValue();
    }
}

std::string TReader::ReadIdent() {
    switch (ReadValue()) {
    case vaIdent:
        return ReadStr();
    case vaFalse:
        return "False";
    case vaTrue:
        return "True";
    case vaNil:
        return "nil";
    case vaNull:
        return "Null";
    default:
        InvalidValue();
    }
}

double TReader::ReadFloat() {
    switch (NextValue()) {
    case vaExtended: {
        ReadValue();
        unsigned char b[10];
        Read(b, 10);
        return ExtendedToDouble(b);
    }
    case vaSingle:
        return ReadSingle();
    case vaInt8:
    case vaInt16:
    case vaInt32:
    case vaInt64:
        return double(ReadInt64());
    default:
        ReadValue();
        InvalidValue();
    }
}

float TReader::ReadSingle() {
    if (NextValue() != vaSingle) return float(ReadFloat());
    ReadValue();
    unsigned char b[4];
    Read(b, 4);
    uint32_t u = uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

double TReader::ReadCurrency() {
    CheckValue(vaCurrency);
    unsigned char b[8];
    Read(b, 8);
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= uint64_t(b[i]) << (8 * i);
    return double(int64_t(v)) / 10000.0;
}

double TReader::ReadDate() {
    CheckValue(vaDate);
    unsigned char b[8];
    Read(b, 8);
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= uint64_t(b[i]) << (8 * i);
    double d;
    std::memcpy(&d, &v, 8);
    return d;
}

uint32_t TReader::ReadSet(const TEnumInfo& info) {
    CheckValue(vaSet);
    uint32_t mask = 0;
    for (;;) {
        std::string name = ReadStr();
        if (name.empty()) break;
        int i = info.IndexOf(name);
        if (i < 0 || i > 31) InvalidValue();
        mask |= 1u << i;
    }
    return mask;
}

std::string TReader::ReadBinary() {
    CheckValue(vaBinary);
    return ReadCounted(*this, ReadLE32(*this));
}

void TReader::SkipValue(TUnknownValueProc onUnknown) {
    DepthGuard guard(g_depth);
    const TValueType type = ReadValue();
    switch (type) {
    case vaNull:
    case vaFalse:
    case vaTrue:
    case vaNil:
        break;
    case vaList:
        while (!EndOfList()) SkipValue(onUnknown);
        ReadListEnd();
        break;
    case vaInt8:
        ReadCounted(*this, 1);
        break;
    case vaInt16:
        ReadCounted(*this, 2);
        break;
    case vaInt32:
    case vaSingle:
        ReadCounted(*this, 4);
        break;
    case vaExtended:
        ReadCounted(*this, 10);
        break;
    case vaString:
    case vaIdent:
        ReadStr();
        break;
    case vaBinary:
    case vaLString:
        ReadCounted(*this, ReadLE32(*this));
        break;
    case vaSet:
        while (!ReadStr().empty()) {
        }
        break;
    case vaCollection:
        while (!EndOfList()) {
            TValueType t = NextValue();
            if (t == vaInt8 || t == vaInt16 || t == vaInt32) ReadInteger();
            ReadListBegin();
            while (!EndOfList()) {
                ReadStr();
                SkipValue(onUnknown);
            }
            ReadListEnd();
        }
        ReadListEnd();
        break;
    case vaCurrency:
    case vaDate:
    case vaInt64:
        ReadCounted(*this, 8);
        break;
    case vaWString: {
        int32_t count = ReadLE32(*this);
        if (count < 0) InvalidValue();
        ReadCounted(*this, int64_t(count) * 2);
        break;
    }
    default:
        if (onUnknown) onUnknown(type);
        InvalidValue();
    }
}

void TReader::ReadCollection(TCollection* c) {
    DepthGuard guard(g_depth);
    c->BeginUpdate();
    try {
        c->Clear();
        while (!EndOfList()) {
            TValueType t = NextValue();
            if (t == vaInt8 || t == vaInt16 || t == vaInt32) ReadInteger();  // stored order
            ReadListBegin();
            TCollectionItem* item = c->Add();
            while (!EndOfList()) ReadProperty(item);
            ReadListEnd();
        }
        ReadListEnd();
    } catch (...) {
        c->EndUpdate();
        throw;
    }
    c->EndUpdate();
}

void TReader::DefineProperty(const std::string& name, const TReaderProc& read, const TWriterProc&, bool) {
    if (!propFound_ && read && rtl::AsciiSameText(name, propName_)) {
        propFound_ = true;
        read(*this);
    }
}

void TReader::DefineBinaryProperty(const std::string& name, const TStreamProc& read, const TStreamProc&,
                                   bool) {
    if (!propFound_ && read && rtl::AsciiSameText(name, propName_)) {
        propFound_ = true;
        TMemoryStream data(ReadBinary());
        read(data);
    }
}

void TReader::ReadProperty(TPersistent* instance) {
    std::string name = ReadStr();
    TPersistent* inst = instance;
    size_t start = 0;
    for (;;) {
        size_t dot = name.find('.', start);
        if (dot == std::string::npos) break;
        const TPropInfo* p = inst->ClassInfo()->FindProperty(name.substr(start, dot - start));
        TPersistent* next = nullptr;
        if (p && p->Kind == tkClass && p->GetObj) next = dynamic_cast<TPersistent*>(p->GetObj(*inst));
        if (!next) throw rtl::EReadError(rtl::FormatResString(&rtl::SUnknownProperty, name.c_str()));
        inst = next;
        start = dot + 1;
    }
    std::string last = name.substr(start);
    const TPropInfo* p = inst->ClassInfo()->FindProperty(last);
    if (p && (p->Writable() || p->Kind == tkClass)) {
        ReadPropValue(inst, p);
        return;
    }
    std::string savedName = propName_;
    bool savedFound = propFound_;
    propName_ = last;
    propFound_ = false;
    inst->DefineProperties(*this);
    bool found = propFound_;
    propName_ = savedName;
    propFound_ = savedFound;
    if (!found) throw rtl::EReadError(rtl::FormatResString(&rtl::SUnknownProperty, name.c_str()));
}

void TReader::ReadPropValue(TPersistent* inst, const TPropInfo* p) {
    try {
        switch (p->Kind) {
        case tkInteger: {
            if (!p->SetOrd) InvalidValue();
            if (NextValue() == vaIdent) {
                int32_t v = 0;
                std::string ident = ReadIdent();
                if (!p->Idents || !p->Idents->ToInt(ident, v)) InvalidValue();
                p->SetOrd(*inst, v);
            } else {
                p->SetOrd(*inst, ReadInteger());
            }
            break;
        }
        case tkChar:
            if (!p->SetOrd) InvalidValue();
            p->SetOrd(*inst, static_cast<unsigned char>(ReadChar()));
            break;
        case tkWChar: {
            if (!p->SetOrd) InvalidValue();
            std::u16string w = ReadWideString();
            if (w.size() != 1) InvalidValue();
            p->SetOrd(*inst, w[0]);
            break;
        }
        case tkEnumeration: {
            if (!p->SetOrd || !p->Enum) InvalidValue();
            int i = p->Enum->IndexOf(ReadIdent());
            if (i < 0) InvalidValue();
            p->SetOrd(*inst, i);
            break;
        }
        case tkSet:
            if (!p->SetOrd || !p->Enum) InvalidValue();
            p->SetOrd(*inst, ReadSet(*p->Enum));
            break;
        case tkFloat:
            if (!p->SetFloat) InvalidValue();
            p->SetFloat(*inst, ReadFloat());
            break;
        case tkString:
        case tkLString:
        case tkWString:
            if (!p->SetStr) InvalidValue();
            p->SetStr(*inst, ReadString());
            break;
        case tkClass: {
            TValueType t = NextValue();
            if (t == vaNil) {
                ReadValue();
                if (!p->SetObj) InvalidValue();
                p->SetObj(*inst, nullptr);
            } else if (t == vaIdent) {
                if (!p->SetObj) InvalidValue();
                fixups_.push_back(Fixup{inst, p, ReadIdent()});
            } else if (t == vaCollection) {
                ReadValue();
                auto* c = p->GetObj ? dynamic_cast<TCollection*>(p->GetObj(*inst)) : nullptr;
                if (!c) InvalidValue();
                ReadCollection(c);
            } else {
                ReadValue();
                InvalidValue();
            }
            break;
        }
        case tkMethod: {
            if (!p->SetMethod) InvalidValue();
            TValueType t = NextValue();
            if (t == vaNil) {
                ReadValue();
                p->SetMethod(*inst, TMethod());
                break;
            }
            if (t != vaIdent) {
                ReadValue();
                InvalidValue();
            }
            std::string name = ReadIdent();
            const TMethodInfo* m = root_ ? root_->MethodAddress(name) : nullptr;
            if (!m || m->Signature != p->EventSignature) InvalidValue();
            p->SetMethod(*inst, TMethod{root_, m});
            break;
        }
        default:
            InvalidValue();
        }
    } catch (const EPropertyError&) {
        InvalidValue();
    }
}

TComponent* TReader::ReadComponent(TComponent* parent) {
    DepthGuard guard(g_depth);
    uint8_t flags = 0;
    int32_t pos = 0;
    ReadPrefix(flags, pos);
    std::string className = ReadStr();
    std::string name = ReadStr();
    TComponent* c = nullptr;
    if (flags & ffInherited) c = owner_->FindComponent(name);
    if (!c) {
        const TClassInfo& cls = FindClass(className);
        c = cls.CreateComponent(owner_);
        created_.push_back(c);
    }
    c->SetComponentState(csLoading | csReading, 0);
    loaded_.push_back(c);
    c->SetName(name);
    c->SetParentComponent(parent);
    ReadComponentBody(c);
    return c;
}

void TReader::ReadComponentBody(TComponent* c) {
    while (!EndOfList()) ReadProperty(c);
    ReadListEnd();
    while (!EndOfList()) ReadComponent(c);
    ReadListEnd();
    c->SetComponentState(0, csReading);
}

void TReader::ResolveFixups() {
    for (const Fixup& f : fixups_) {
        TComponent* target = nullptr;
        if (root_ && rtl::AsciiSameText(f.name, root_->Name()))
            target = root_;
        else if (owner_)
            target = owner_->FindComponent(f.name);
        if (!target) InvalidValue();
        try {
            f.prop->SetObj(*f.instance, target);
        } catch (const EPropertyError&) {
            InvalidValue();
        }
    }
    fixups_.clear();
}

void TReader::ReadRootComponent(TComponent* root) {
    root_ = root;
    if (!owner_) owner_ = root;
    int savedDepth = g_depth;
    try {
        ReadSignature();
        uint8_t flags = 0;
        int32_t pos = 0;
        ReadPrefix(flags, pos);
        ReadStr();  // class name: the root exists already
        std::string name = ReadStr();
        root->SetComponentState(csLoading | csReading, 0);
        loaded_.push_back(root);
        // A second instance of a form gets a name of its own among its owner's components.
        std::string unique = name;
        if (root->Owner() && !name.empty())
            for (int i = 1; root->Owner()->FindComponent(unique) &&
                            root->Owner()->FindComponent(unique) != root;
                 ++i)
                unique = name + "_" + std::to_string(i);
        root->SetName(unique);
        ReadComponentBody(root);
        ResolveFixups();
    } catch (...) {
        g_depth = savedDepth;
        root->SetComponentState(0, csLoading | csReading);
        for (auto it = created_.rbegin(); it != created_.rend(); ++it) (*it)->Free();
        created_.clear();
        loaded_.clear();
        fixups_.clear();
        throw;
    }
    for (TComponent* c : loaded_) c->SetComponentState(0, csLoading | csReading);
    std::vector<TComponent*> list;
    list.swap(loaded_);
    created_.clear();
    for (TComponent* c : list) c->Loaded();
}

// ---- TWriter ----

TWriter::TWriter(TStream& stream) : stream_(stream) {}
TWriter::~TWriter() = default;

void TWriter::Write(const void* buf, int32_t count) { stream_.WriteBuffer(buf, count); }

void TWriter::WriteValue(TValueType v) {
    uint8_t b = v;
    Write(&b, 1);
}

void TWriter::WriteSignature() { Write(kSignature, 4); }

void TWriter::WritePrefix(uint8_t flags, int32_t childPos) {
    if (flags == 0) return;
    uint8_t b = uint8_t(0xF0 | (flags & 0x0F));
    Write(&b, 1);
    if (flags & ffChildPos) WriteInteger(childPos);
}

void TWriter::WriteStr(const std::string& s) {
    uint8_t n = uint8_t(s.size() > 255 ? 255 : s.size());
    Write(&n, 1);
    Write(s.data(), n);
}

namespace {
void PutLE(TWriter& w, uint64_t v, int bytes) {
    unsigned char b[8];
    for (int i = 0; i < bytes; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
    w.Write(b, bytes);
}
}  // namespace

void TWriter::WriteInteger(int64_t v) {
    if (v >= -128 && v <= 127) {
        WriteValue(vaInt8);
        PutLE(*this, uint64_t(v), 1);
    } else if (v >= -32768 && v <= 32767) {
        WriteValue(vaInt16);
        PutLE(*this, uint64_t(v), 2);
    } else if (v >= INT32_MIN && v <= INT32_MAX) {
        WriteValue(vaInt32);
        PutLE(*this, uint64_t(v), 4);
    } else {
        WriteValue(vaInt64);
        PutLE(*this, uint64_t(v), 8);
    }
}

void TWriter::WriteBoolean(bool v) { WriteValue(v ? vaTrue : vaFalse); }

void TWriter::WriteChar(char c) {
    WriteValue(vaString);
    WriteStr(std::string(1, c));
}

void TWriter::WriteString(const std::string& s) {
    if (s.size() <= 255) {
        WriteValue(vaString);
        WriteStr(s);
    } else {
        WriteValue(vaLString);
        PutLE(*this, uint64_t(s.size()), 4);
        Write(s.data(), int32_t(s.size()));
    }
}

void TWriter::WriteWideString(const std::u16string& s) {
    WriteValue(vaWString);
    PutLE(*this, uint64_t(s.size()), 4);
    for (char16_t ch : s) PutLE(*this, ch, 2);
}

void TWriter::WriteIdent(const std::string& s) {
    if (rtl::AsciiSameText(s, "False"))
        WriteValue(vaFalse);
    else if (rtl::AsciiSameText(s, "True"))
        WriteValue(vaTrue);
    else if (rtl::AsciiSameText(s, "nil"))
        WriteValue(vaNil);
    else if (rtl::AsciiSameText(s, "Null"))
        WriteValue(vaNull);
    else {
        WriteValue(vaIdent);
        WriteStr(s);
    }
}

void TWriter::WriteFloat(double v) {
    unsigned char b[10];
    DoubleToExtended(v, b);
    WriteValue(vaExtended);
    Write(b, 10);
}

void TWriter::WriteSingle(float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    WriteValue(vaSingle);
    PutLE(*this, u, 4);
}

void TWriter::WriteCurrency(double v) {
    WriteValue(vaCurrency);
    PutLE(*this, uint64_t(int64_t(std::llround(v * 10000.0))), 8);
}

void TWriter::WriteDate(double v) {
    uint64_t u;
    std::memcpy(&u, &v, 8);
    WriteValue(vaDate);
    PutLE(*this, u, 8);
}

void TWriter::WriteSet(uint32_t mask, const TEnumInfo& info) {
    WriteValue(vaSet);
    for (size_t i = 0; i < info.Names.size() && i < 32; ++i)
        if (mask & (1u << i)) WriteStr(info.Names[i]);
    WriteStr("");
}

void TWriter::WriteBinary(const std::string& bytes) {
    WriteValue(vaBinary);
    PutLE(*this, uint64_t(bytes.size()), 4);
    Write(bytes.data(), int32_t(bytes.size()));
}

void TWriter::WriteCollection(const TCollection* c) {
    WriteValue(vaCollection);
    for (int i = 0; i < c->Count(); ++i) {
        WriteListBegin();
        WriteProperties(c->Items(i), "");
        WriteListEnd();
    }
    WriteListEnd();
}

void TWriter::DefineProperty(const std::string& name, const TReaderProc&, const TWriterProc& write,
                             bool hasData) {
    if (!hasData || !write) return;
    WriteStr(prefix_ + name);
    write(*this);
}

void TWriter::DefineBinaryProperty(const std::string& name, const TStreamProc&, const TStreamProc& write,
                                   bool hasData) {
    if (!hasData || !write) return;
    TMemoryStream data;
    write(data);
    WriteStr(prefix_ + name);
    WriteBinary(data.Bytes());
}

void TWriter::WriteProperty(TPersistent* instance, const TPropInfo* p, const std::string& prefix) {
    const std::string name = prefix + p->Name;
    switch (p->Kind) {
    case tkInteger:
    case tkChar:
    case tkWChar:
    case tkEnumeration:
    case tkSet: {
        int64_t v = p->GetOrd(*instance);
        if (p->HasDefault && v == p->Default) return;
        WriteStr(name);
        std::string ident;
        if (p->Kind == tkInteger && p->Idents && p->Idents->ToIdent(int32_t(v), ident))
            WriteIdent(ident);
        else if (p->Kind == tkInteger)
            WriteInteger(v);
        else if (p->Kind == tkChar)
            WriteChar(char(v));
        else if (p->Kind == tkWChar)
            WriteWideString(std::u16string(1, char16_t(v)));
        else if (p->Kind == tkSet)
            WriteSet(uint32_t(v), *p->Enum);
        else if (p->Enum == &BooleanInfo)
            WriteBoolean(v != 0);
        else if (p->Enum && v >= 0 && v < int64_t(p->Enum->Names.size()))
            WriteIdent(p->Enum->Names[size_t(v)]);
        else
            WriteInteger(v);
        return;
    }
    case tkFloat: {
        double v = p->GetFloat(*instance);
        if (v == 0) return;
        WriteStr(name);
        WriteFloat(v);
        return;
    }
    case tkString:
    case tkLString:
    case tkWString: {
        std::string s = p->GetStr(*instance);
        if (s.empty()) return;
        WriteStr(name);
        if (p->Kind == tkWString)
            WriteWideString(Widen(s));
        else
            WriteString(s);
        return;
    }
    case tkClass: {
        TObject* obj = p->GetObj(*instance);
        if (!obj) return;
        if (auto* comp = dynamic_cast<TComponent*>(obj)) {
            if (!p->Writable()) return;
            if (comp != root_ && comp->Owner() != root_) return;
            WriteStr(name);
            WriteIdent(comp->Name());
        } else if (auto* coll = dynamic_cast<TCollection*>(obj)) {
            if (coll->Count() == 0) return;
            WriteStr(name);
            WriteCollection(coll);
        } else if (auto* pers = dynamic_cast<TPersistent*>(obj)) {
            // The sub-object's ancestor is the same property's object of the ancestor.
            TPersistent* saved = ancestor_;
            ancestor_ = ancestor_ && ancestor_->ClassInfo() == instance->ClassInfo()
                            ? dynamic_cast<TPersistent*>(p->GetObj(*ancestor_))
                            : nullptr;
            try {
                WriteProperties(pers, name + ".");
            } catch (...) {
                ancestor_ = saved;
                throw;
            }
            ancestor_ = saved;
        }
        return;
    }
    case tkMethod: {
        TMethod m = p->GetMethod(*instance);
        if (!m) return;
        WriteStr(name);
        WriteIdent(m.Name());
        return;
    }
    default:
        return;
    }
}

void TWriter::WriteProperties(TPersistent* instance, const std::string& prefix) {
    for (const TPropInfo* p : instance->ClassInfo()->Properties()) {
        if (!p->Readable()) continue;
        if (!p->Writable() && p->Kind != tkClass) continue;
        if (!p->IsStored(*instance)) continue;
        WriteProperty(instance, p, prefix);
    }
    std::string saved = prefix_;
    prefix_ = prefix;
    instance->DefineProperties(*this);
    prefix_ = saved;
}

// While a component is written, Ancestor is its namesake of the same class in the root's
// ancestor (the root's ancestor for the root), so that its defined properties can compare.
void TWriter::WriteComponent(TComponent* c) {
    TPersistent* saved = ancestor_;
    if (c == root_)
        ancestor_ = rootAncestor_;
    else {
        TComponent* a = rootAncestor_ && !c->Name().empty() ? rootAncestor_->FindComponent(c->Name()) : nullptr;
        ancestor_ = a && a->ClassInfo() == c->ClassInfo() ? a : nullptr;
    }
    c->SetComponentState(csWriting, 0);
    try {
        WritePrefix(0, 0);
        WriteStr(c->ClassName());
        WriteStr(c->Name());
        WriteProperties(c, "");
        WriteListEnd();
        c->GetChildren([this](TComponent* child) { WriteComponent(child); }, root_);
        WriteListEnd();
    } catch (...) {
        c->SetComponentState(0, csWriting);
        ancestor_ = saved;
        throw;
    }
    c->SetComponentState(0, csWriting);
    ancestor_ = saved;
}

void TWriter::WriteDescendent(TComponent* root, TComponent* ancestor) {
    root_ = root;
    rootAncestor_ = ancestor;
    ancestor_ = ancestor;
    WriteSignature();
    WriteComponent(root);
}

void ReadComponentRes(TComponent* root, void* instance) {
    TResourceStream stream(root->ClassName(), instance);
    TReader reader(stream, 4096);
    reader.ReadRootComponent(root);
}

void ReadComponentFromBytes(TComponent* root, const std::string& bytes) {
    TMemoryStream stream(bytes);
    TReader reader(stream, 4096);
    reader.ReadRootComponent(root);
}

std::string WriteComponentToBytes(TComponent* root) {
    TMemoryStream stream;
    TWriter writer(stream);
    writer.WriteDescendent(root);
    return stream.Bytes();
}

}  // namespace kxc
