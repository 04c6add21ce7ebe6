#include "components/graphics.h"
#include "rtl/resstrings.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "components/filer.h"
#include "rtl/strutil.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kxc {

const TIntIdentMap ColorIdents{
    "TColor",
    {{0x000000, "clBlack"},          {0x000080, "clMaroon"},
     {0x008000, "clGreen"},          {0x008080, "clOlive"},
     {0x800000, "clNavy"},           {0x800080, "clPurple"},
     {0x808000, "clTeal"},           {0x808080, "clGray"},
     {0xC0C0C0, "clSilver"},         {0x0000FF, "clRed"},
     {0x00FF00, "clLime"},           {0x00FFFF, "clYellow"},
     {0xFF0000, "clBlue"},           {0xFF00FF, "clFuchsia"},
     {0xFFFF00, "clAqua"},           {0xFFFFFF, "clWhite"},
     {clNone, "clNone"},             {clDefault, "clDefault"},
     {clSystemColor | 0, "clScrollBar"},        {clSystemColor | 1, "clBackground"},
     {clSystemColor | 2, "clActiveCaption"},    {clSystemColor | 3, "clInactiveCaption"},
     {clSystemColor | 4, "clMenu"},             {clSystemColor | 5, "clWindow"},
     {clSystemColor | 6, "clWindowFrame"},      {clSystemColor | 7, "clMenuText"},
     {clSystemColor | 8, "clWindowText"},       {clSystemColor | 9, "clCaptionText"},
     {clSystemColor | 10, "clActiveBorder"},    {clSystemColor | 11, "clInactiveBorder"},
     {clSystemColor | 12, "clAppWorkSpace"},    {clSystemColor | 13, "clHighlight"},
     {clSystemColor | 14, "clHighlightText"},   {clSystemColor | 15, "clBtnFace"},
     {clSystemColor | 16, "clBtnShadow"},       {clSystemColor | 17, "clGrayText"},
     {clSystemColor | 18, "clBtnText"},         {clSystemColor | 19, "clInactiveCaptionText"},
     {clSystemColor | 20, "clBtnHighlight"},    {clSystemColor | 21, "cl3DDkShadow"},
     {clSystemColor | 22, "cl3DLight"},         {clSystemColor | 23, "clInfoText"},
     {clSystemColor | 24, "clInfoBk"}}};

const TIntIdentMap CharsetIdents{"TFontCharset",
                                 {{0, "ANSI_CHARSET"},
                                  {1, "DEFAULT_CHARSET"},
                                  {2, "SYMBOL_CHARSET"},
                                  {77, "MAC_CHARSET"},
                                  {128, "SHIFTJIS_CHARSET"},
                                  {129, "HANGEUL_CHARSET"},
                                  {130, "JOHAB_CHARSET"},
                                  {134, "GB2312_CHARSET"},
                                  {136, "CHINESEBIG5_CHARSET"},
                                  {161, "GREEK_CHARSET"},
                                  {162, "TURKISH_CHARSET"},
                                  {163, "VIETNAMESE_CHARSET"},
                                  {177, "HEBREW_CHARSET"},
                                  {178, "ARABIC_CHARSET"},
                                  {186, "BALTIC_CHARSET"},
                                  {204, "RUSSIAN_CHARSET"},
                                  {222, "THAI_CHARSET"},
                                  {238, "EASTEUROPE_CHARSET"},
                                  {255, "OEM_CHARSET"}}};

const TEnumInfo FontStyleInfo{"TFontStyles", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}};

uint32_t ColorToRGB(TColor c) {
#ifdef _WIN32
    if (c & clSystemColor) return GetSysColor(c & 0xFF);
#else
    if (c & clSystemColor) return 0xC0C0C0;
#endif
    return uint32_t(c) & 0xFFFFFF;
}

int ScreenPixelsPerInch() {
#ifdef _WIN32
    static int ppi = [] {
        HDC dc = GetDC(nullptr);
        int v = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
        if (dc) ReleaseDC(nullptr, dc);
        return v > 0 ? v : 96;
    }();
    return ppi;
#else
    return 96;
#endif
}

// ---- TFont ----

KXC_IMPLEMENT_CLASS(TFont)
void TFont::DescribeClass(TClassBuilder<TFont>& c) {
    c.Int("Charset", &TFont::Charset, &TFont::SetCharset, &CharsetIdents);
    c.Int("Color", &TFont::Color, &TFont::SetColor, &ColorIdents);
    c.Int("Height", &TFont::Height, &TFont::SetHeight);
    c.Str("Name", &TFont::Name, &TFont::SetName);
    c.Int("Size", &TFont::Size, &TFont::SetSize).Stored([](const TObject&) { return false; });
    c.Set("Style", &TFont::Style, &TFont::SetStyle, FontStyleInfo).DefaultValue(0);
}

TFont::TFont() = default;
TFont::~TFont() { FreeHandle(); }

void TFont::SetName(const std::string& v) {
    if (v.empty() || v == name_) return;
    name_ = v;
    Changed();
}

void TFont::SetHeight(int32_t v) {
    if (v == height_) return;
    height_ = v;
    Changed();
}

int32_t TFont::Size() const {
    return -int32_t(std::lround(double(height_) * 72.0 / ScreenPixelsPerInch()));
}

void TFont::SetSize(int32_t points) { SetHeight(-int32_t(std::lround(double(points) * ScreenPixelsPerInch() / 72.0))); }

void TFont::SetCharset(int32_t v) {
    v &= 0xFF;
    if (v == charset_) return;
    charset_ = v;
    Changed();
}

void TFont::SetColor(TColor v) {
    if (v == color_) return;
    color_ = v;
    Changed();
}

void TFont::SetStyle(uint32_t v) {
    v &= 0xF;
    if (v == style_) return;
    style_ = v;
    Changed();
}

void TFont::Assign(const TPersistent* source) {
    if (auto* f = dynamic_cast<const TFont*>(source)) {
        if (f == this) return;
        name_ = f->name_;
        height_ = f->height_;
        charset_ = f->charset_;
        color_ = f->color_;
        style_ = f->style_;
        Changed();
        return;
    }
    TPersistent::Assign(source);
}

void TFont::Changed() {
    FreeHandle();
    OnChange(this);
}

void TFont::FreeHandle() {
#ifdef _WIN32
    if (handle_) DeleteObject(static_cast<HFONT>(handle_));
#endif
    handle_ = nullptr;
}

void* TFont::Handle() {
#ifdef _WIN32
    if (!handle_) {
        LOGFONTA lf{};
        lf.lfHeight = height_;
        lf.lfWeight = (style_ & (1u << fsBold)) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (style_ & (1u << fsItalic)) ? 1 : 0;
        lf.lfUnderline = (style_ & (1u << fsUnderline)) ? 1 : 0;
        lf.lfStrikeOut = (style_ & (1u << fsStrikeOut)) ? 1 : 0;
        lf.lfCharSet = BYTE(charset_);
        lf.lfQuality = DEFAULT_QUALITY;
        lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
        lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        lf.lfPitchAndFamily = DEFAULT_PITCH;
        std::strncpy(lf.lfFaceName, name_.c_str(), LF_FACESIZE - 1);
        handle_ = CreateFontIndirectA(&lf);
    }
#endif
    return handle_;
}

// ---- TGraphic, TBitmap, TIcon ----

KXC_IMPLEMENT_CLASS(TGraphic)
void TGraphic::DescribeClass(TClassBuilder<TGraphic>&) {}

namespace {
// BMP file layout: BITMAPFILEHEADER (14 bytes: "BM", file size, reserved, bits offset), then
// BITMAPINFOHEADER (header size at 14, width at 18, height at 22, planes, bit count at 28).
constexpr size_t kBmpFileHeader = 14;
constexpr size_t kBmpWidth = 18;
constexpr size_t kBmpHeight = 22;
constexpr size_t kBmpBitCount = 28;
constexpr size_t kBmpBitsOffset = 10;
constexpr size_t kBmpMinSize = kBmpFileHeader + 40;

int32_t Le32(const std::string& s, size_t at) {
    if (at > s.size() || s.size() - at < 4) return 0;
    return int32_t(uint32_t(static_cast<unsigned char>(s[at])) | (uint32_t(static_cast<unsigned char>(s[at + 1])) << 8) |
                   (uint32_t(static_cast<unsigned char>(s[at + 2])) << 16) |
                   (uint32_t(static_cast<unsigned char>(s[at + 3])) << 24));
}
uint16_t Le16(const std::string& s, size_t at) {
    if (at > s.size() || s.size() - at < 2) return 0;
    return uint16_t(static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8));
}
std::string ReadRest(TStream& s) {
    std::string r;
    char buf[4096];
    for (;;) {
        int32_t n = s.Read(buf, sizeof buf);
        if (n <= 0) break;
        r.append(buf, size_t(n));
    }
    return r;
}
}  // namespace

KXC_IMPLEMENT_CLASS(TBitmap)
void TBitmap::DescribeClass(TClassBuilder<TBitmap>&) {}

TBitmap::~TBitmap() { FreeHandle(); }

int TBitmap::Width() const { return file_.empty() ? 0 : Le32(file_, kBmpWidth); }
int TBitmap::Height() const { return file_.empty() ? 0 : std::abs(Le32(file_, kBmpHeight)); }

// True when the file's header describes pixel data that lies inside the file, so that GDI
// never reads past it.
static bool ValidBitmapFile(const std::string& f) {
    if (f.size() < kBmpMinSize || f[0] != 'B' || f[1] != 'M') return false;
    int64_t headerSize = Le32(f, kBmpFileHeader);
    int64_t width = Le32(f, kBmpWidth);
    int64_t height = std::abs(int64_t(Le32(f, kBmpHeight)));
    int bits = Le16(f, kBmpBitCount);
    int64_t compression = Le32(f, kBmpFileHeader + 16);
    int64_t offset = Le32(f, kBmpBitsOffset);
    if (headerSize < 40 || width <= 0 || width > 32768 || height == 0 || height > 32768) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if (compression != 0 /* BI_RGB */ && compression != 3 /* BI_BITFIELDS */) return false;
    int64_t rowBytes = ((width * bits + 31) / 32) * 4;
    return offset >= int64_t(kBmpFileHeader) + headerSize && offset <= int64_t(f.size()) &&
           rowBytes * height <= int64_t(f.size()) - offset;
}

void TBitmap::LoadFromBytes(const std::string& fileBytes) {
    if (!fileBytes.empty() && !ValidBitmapFile(fileBytes)) throw rtl::EInvalidOperation(rtl::LoadResString(&rtl::SInvalidBitmap));
    FreeHandle();
    file_ = fileBytes;
    Changed();
}

void TBitmap::LoadFromResourceName(void* instance, const std::string& name) {
#ifdef _WIN32
    HMODULE module = instance ? static_cast<HMODULE>(instance) : GetModuleHandleA(nullptr);
    HRSRC res = FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(2) /* RT_BITMAP */);
    HGLOBAL h = res ? LoadResource(module, res) : nullptr;
    const char* data = h ? static_cast<const char*>(LockResource(h)) : nullptr;
    if (!data) throw rtl::EResNotFound(rtl::FormatResString(&rtl::SResNotFound, name.c_str()));
    std::string info(data, SizeofResource(module, res));
    // A bitmap resource is the file without its file header: rebuild the header.
    uint32_t headerSize = uint32_t(Le32(info, 0));
    uint16_t bits = Le16(info, 14);
    uint32_t colors = uint32_t(Le32(info, 32));
    if (colors == 0 && bits <= 8) colors = 1u << bits;
    uint32_t offset = uint32_t(kBmpFileHeader) + headerSize + colors * 4;
    if (Le32(info, 16) == 3 /* BI_BITFIELDS */ && headerSize == 40) offset += 12;
    std::string file = "BM";
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) file += char((v >> (8 * i)) & 0xFF);
    };
    put32(uint32_t(kBmpFileHeader + info.size()));
    put32(0);
    put32(offset);
    LoadFromBytes(file + info);
#else
    (void)instance;
    throw rtl::EResNotFound(rtl::FormatResString(&rtl::SResNotFound, name.c_str()));
#endif
}

void TBitmap::ReadData(TStream& s) {
    int32_t size = 0;
    s.ReadBuffer(&size, 4);
    if (size < 0) throw rtl::EReadError(rtl::LoadResString(&rtl::SInvalidPropertyValue));
    std::string bytes = ReadRest(s);
    if (int64_t(bytes.size()) < size) throw rtl::EReadError(rtl::LoadResString(&rtl::SReadError));
    bytes.resize(size_t(size));
    LoadFromBytes(bytes);
}

void TBitmap::WriteData(TStream& s) const {
    int32_t size = int32_t(file_.size());
    s.WriteBuffer(&size, 4);
    s.WriteBuffer(file_.data(), size);
}

void TBitmap::Assign(const TPersistent* source) {
    if (auto* b = dynamic_cast<const TBitmap*>(source)) {
        FreeHandle();
        file_ = b->file_;
        SetTransparent(b->Transparent());
        Changed();
        return;
    }
    TPersistent::Assign(source);
}

namespace {
// A colour channel of a packed pixel, widened to 8 bits the way GDI widens it (the channel's
// top bits repeated below it).
uint32_t Channel(uint32_t pixel, uint32_t mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    uint32_t m = mask >> shift;
    int bits = 0;
    while ((m >> bits) & 1) ++bits;
    uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return (v >> (bits - 8)) & 0xFF;
    uint32_t r = 0;
    for (int have = 0; have < 8; have += bits) r = (r << bits) | v;
    int total = ((8 + bits - 1) / bits) * bits;
    return (r >> (total - 8)) & 0xFF;
}
}  // namespace

uint32_t TBitmap::TransparentColorRGB() const {
    // The bottom-left pixel: the first row of a bottom-up bitmap, the last of a top-down one.
    if (file_.empty()) return 0;
    const int32_t rawHeight = Le32(file_, kBmpHeight);
    const int64_t width = Le32(file_, kBmpWidth);
    const int64_t height = std::abs(int64_t(rawHeight));
    const int bits = Le16(file_, kBmpBitCount);
    const uint32_t headerSize = uint32_t(Le32(file_, kBmpFileHeader));
    const int64_t rowBytes = ((width * bits + 31) / 32) * 4;
    if (width <= 0 || height == 0 || rowBytes <= 0) return 0;
    const int64_t at = int64_t(uint32_t(Le32(file_, kBmpBitsOffset))) + (rawHeight < 0 ? (height - 1) * rowBytes : 0);
    const int bytes = bits < 8 ? 1 : bits / 8;
    if (at < 0 || at > int64_t(file_.size()) || int64_t(file_.size()) - at < bytes) return 0;
    auto byte = [&](int64_t i) { return uint32_t(static_cast<unsigned char>(file_[size_t(i)])); };
    auto rgb = [](uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); };
    switch (bits) {
    case 1:
    case 4:
    case 8: {
        // An index into the colour table (blue, green, red, reserved) that follows the header.
        uint32_t index = byte(at) >> (8 - bits);
        int64_t entry = int64_t(kBmpFileHeader) + headerSize + int64_t(index) * 4;
        if (entry > int64_t(file_.size()) || int64_t(file_.size()) - entry < 3) return 0;
        return rgb(byte(entry + 2), byte(entry + 1), byte(entry));
    }
    case 16:
    case 32: {
        uint32_t pixel = byte(at) | (byte(at + 1) << 8);
        if (bits == 32) pixel |= (byte(at + 2) << 16) | (byte(at + 3) << 24);
        uint32_t red = bits == 16 ? 0x7C00 : 0xFF0000, green = bits == 16 ? 0x03E0 : 0xFF00, blue = bits == 16 ? 0x1F : 0xFF;
        if (Le32(file_, kBmpFileHeader + 16) == 3 /* BI_BITFIELDS */) {
            // The three masks follow a 40-byte header or lie inside a larger one.
            size_t masks = kBmpFileHeader + 40;
            red = uint32_t(Le32(file_, masks));
            green = uint32_t(Le32(file_, masks + 4));
            blue = uint32_t(Le32(file_, masks + 8));
        }
        return rgb(Channel(pixel, red), Channel(pixel, green), Channel(pixel, blue));
    }
    case 24:
        return rgb(byte(at + 2), byte(at + 1), byte(at));
    default:
        return 0;
    }
}

void TBitmap::FreeHandle() {
#ifdef _WIN32
    if (handle_) DeleteObject(static_cast<HBITMAP>(handle_));
#endif
    handle_ = nullptr;
}

void* TBitmap::Handle() {
#ifdef _WIN32
    if (!handle_ && !file_.empty()) {
        const auto* info = reinterpret_cast<const BITMAPINFO*>(file_.data() + kBmpFileHeader);
        const void* bits = file_.data() + Le32(file_, kBmpBitsOffset);
        HDC dc = GetDC(nullptr);
        handle_ = CreateDIBitmap(dc, &info->bmiHeader, CBM_INIT, bits, info, DIB_RGB_COLORS);
        ReleaseDC(nullptr, dc);
    }
#endif
    return handle_;
}

KXC_IMPLEMENT_CLASS(TIcon)
void TIcon::DescribeClass(TClassBuilder<TIcon>&) {}

TIcon::~TIcon() { FreeHandle(); }

bool TIcon::Empty() const { return file_.empty() && !handle_; }

int TIcon::Width() const {
    if (!file_.empty()) {
        int w = file_.size() > 6 ? static_cast<unsigned char>(file_[6]) : 0;
        return w ? w : 256;
    }
#ifdef _WIN32
    if (handle_) return GetSystemMetrics(SM_CXICON);
#endif
    return 0;
}

int TIcon::Height() const {
    if (!file_.empty()) {
        int h = file_.size() > 7 ? static_cast<unsigned char>(file_[7]) : 0;
        return h ? h : 256;
    }
#ifdef _WIN32
    if (handle_) return GetSystemMetrics(SM_CYICON);
#endif
    return 0;
}

void TIcon::ReadData(TStream& s) {
    std::string bytes = ReadRest(s);
    // ICO layout: reserved 0, type 1, image count, then 16-byte directory entries.
    if (!bytes.empty() && (bytes.size() < 22 || Le16(bytes, 0) != 0 || Le16(bytes, 2) != 1 || Le16(bytes, 4) == 0))
        throw rtl::EInvalidOperation(rtl::LoadResString(&rtl::SInvalidIcon));
    FreeHandle();
    file_ = bytes;
    Changed();
}

void TIcon::WriteData(TStream& s) const { s.WriteBuffer(file_.data(), int32_t(file_.size())); }

void TIcon::Assign(const TPersistent* source) {
    if (auto* i = dynamic_cast<const TIcon*>(source)) {
        if (i == this) return;
        FreeHandle();
        file_ = i->file_;
#ifdef _WIN32
        if (file_.empty() && i->handle_) handle_ = CopyIcon(static_cast<HICON>(i->handle_));
#endif
        Changed();
        return;
    }
    TPersistent::Assign(source);
}

void TIcon::FreeHandle() {
#ifdef _WIN32
    if (handle_) DestroyIcon(static_cast<HICON>(handle_));
#endif
    handle_ = nullptr;
}

void TIcon::SetHandle(void* icon) {
    FreeHandle();
    file_.clear();
#ifdef _WIN32
    if (icon) handle_ = CopyIcon(static_cast<HICON>(icon));
#else
    (void)icon;
#endif
    Changed();
}

void* TIcon::Handle() {
#ifdef _WIN32
    if (!handle_ && !file_.empty()) {
        // First image of the file.
        uint32_t size = uint32_t(Le32(file_, 6 + 8));
        uint32_t offset = uint32_t(Le32(file_, 6 + 12));
        if (offset <= file_.size() && size <= file_.size() - offset)
            handle_ = CreateIconFromResourceEx(
                reinterpret_cast<PBYTE>(const_cast<char*>(file_.data() + offset)), size, TRUE, 0x00030000,
                Width(), Height(), LR_DEFAULTCOLOR);
    }
#endif
    return handle_;
}

// ---- TPicture ----

KXC_IMPLEMENT_CLASS(TPicture)
void TPicture::DescribeClass(TClassBuilder<TPicture>&) {}

TPicture::~TPicture() { delete graphic_; }

void TPicture::Replace(TGraphic* g) {
    delete graphic_;
    graphic_ = g;
    if (g) g->OnChange = [this](TObject*) { Changed(); };
    Changed();
}

void TPicture::SetGraphic(TGraphic* g) {
    if (!g) {
        Replace(nullptr);
        return;
    }
    TGraphic* copy = dynamic_cast<TGraphic*>(g->ClassInfo()->InheritsFrom(TBitmap::StaticClass())
                                                 ? static_cast<TGraphic*>(new TBitmap)
                                                 : static_cast<TGraphic*>(new TIcon));
    copy->Assign(g);
    Replace(copy);
}

TBitmap* TPicture::Bitmap() {
    if (auto* b = dynamic_cast<TBitmap*>(graphic_)) return b;
    auto* b = new TBitmap;
    Replace(b);
    return b;
}

TIcon* TPicture::Icon() {
    if (auto* i = dynamic_cast<TIcon*>(graphic_)) return i;
    auto* i = new TIcon;
    Replace(i);
    return i;
}

void TPicture::Assign(const TPersistent* source) {
    if (!source) {
        Replace(nullptr);
        return;
    }
    if (auto* p = dynamic_cast<const TPicture*>(source)) {
        SetGraphic(p->graphic_);
        return;
    }
    if (auto* g = dynamic_cast<const TGraphic*>(source)) {
        SetGraphic(const_cast<TGraphic*>(g));
        return;
    }
    TPersistent::Assign(source);
}

void TPicture::DefineProperties(TFiler& filer) {
    filer.DefineBinaryProperty(
        "Data",
        [this](TStream& s) {
            unsigned char n = 0;
            s.ReadBuffer(&n, 1);
            std::string cls(n, '\0');
            if (n) s.ReadBuffer(&cls[0], n);
            TGraphic* g = nullptr;
            if (rtl::AsciiSameText(cls, "TBitmap"))
                g = new TBitmap;
            else if (rtl::AsciiSameText(cls, "TIcon"))
                g = new TIcon;
            else
                throw rtl::EInvalidOperation(rtl::FormatResString(&rtl::SUnknownExtension, cls.c_str()));
            try {
                g->ReadData(s);
            } catch (...) {
                delete g;
                throw;
            }
            Replace(g);
        },
        [this](TStream& s) {
            const std::string& cls = graphic_->ClassName();
            unsigned char n = static_cast<unsigned char>(cls.size());
            s.WriteBuffer(&n, 1);
            s.WriteBuffer(cls.data(), n);
            graphic_->WriteData(s);
        },
        graphic_ && !graphic_->Empty() && !(dynamic_cast<TIcon*>(graphic_) && static_cast<TIcon*>(graphic_)->Empty()));
}

}  // namespace kxc
