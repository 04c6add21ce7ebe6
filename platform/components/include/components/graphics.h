// Colours, fonts and pictures. The data (names, sizes, the bytes of a bitmap or an icon) is
// portable; the GDI objects behind them (HFONT, HBITMAP, HICON) exist only in the Windows
// build and are made when first asked for, and remade after a change.
//
// Raises: rtl::EInvalidOperation for a picture stream naming an unknown graphic class or a
// bitmap that cannot be decoded; rtl::EResNotFound when a bitmap resource does not exist.
// Ownership: a picture owns its graphic; a font and a graphic own their GDI objects.
#pragma once

#include <cstdint>
#include <string>

#include "components/classes.h"
#include "components/streams.h"

namespace kxc {

using TColor = int32_t;
constexpr TColor clSystemColor = int32_t(0x80000000u);
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clTeal = 0x808000;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clGrayText = clSystemColor | 17;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clBtnHighlight = clSystemColor | 20;
extern const TIntIdentMap ColorIdents;    // clBlack ... clInfoBk
extern const TIntIdentMap CharsetIdents;  // ANSI_CHARSET, DEFAULT_CHARSET, ...
constexpr int32_t DEFAULT_CHARSET_VALUE = 1;
// An RGB value for a colour (system colours through the system's table on Windows).
uint32_t ColorToRGB(TColor c);

// Screen resolution used to convert between point sizes and pixel heights (96 unless the
// Windows build reads another one from the screen).
int ScreenPixelsPerInch();

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
extern const TEnumInfo FontStyleInfo;

class TFont : public TPersistent {
    KXC_CLASS(TFont, TPersistent)
public:
    TFont();
    ~TFont() override;
    const std::string& Name() const { return name_; }
    void SetName(const std::string& v);
    // Height in pixels; negative values give the character height, as GDI reads them.
    int32_t Height() const { return height_; }
    void SetHeight(int32_t v);
    // Size in points, from Height and the screen resolution.
    int32_t Size() const;
    void SetSize(int32_t points);
    int32_t Charset() const { return charset_; }
    void SetCharset(int32_t v);
    TColor Color() const { return color_; }
    void SetColor(TColor v);
    uint32_t Style() const { return style_; }
    void SetStyle(uint32_t v);

    void Assign(const TPersistent* source) override;
    // Fired after every change (the owning control updates its window).
    TNotifyEvent OnChange;
    // The font's GDI object (HFONT); Windows build only, nullptr elsewhere.
    void* Handle();

private:
    void Changed();
    void FreeHandle();
    std::string name_ = "MS Sans Serif";
    int32_t height_ = -11;
    int32_t charset_ = DEFAULT_CHARSET_VALUE;
    TColor color_ = clWindowText;
    uint32_t style_ = 0;
    void* handle_ = nullptr;
};

// A picture format: its bytes as stored, and its size in pixels.
class TGraphic : public TPersistent {
    KXC_CLASS(TGraphic, TPersistent)
public:
    virtual bool Empty() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v) { transparent_ = v; }
    // The form-description layout of the graphic's data.
    virtual void ReadData(TStream& s) = 0;
    virtual void WriteData(TStream& s) const = 0;
    TNotifyEvent OnChange;

protected:
    void Changed() { OnChange(this); }

private:
    bool transparent_ = false;
};

// A device-independent bitmap held as the bytes of a BMP file.
class TBitmap : public TGraphic {
    KXC_CLASS(TBitmap, TGraphic)
public:
    TBitmap() = default;
    ~TBitmap() override;
    bool Empty() const override { return file_.empty(); }
    int Width() const override;
    int Height() const override;
    // BMP file bytes; EInvalidOperation "Bitmap image is not valid" when the header is bad.
    void LoadFromBytes(const std::string& fileBytes);
    const std::string& FileBytes() const { return file_; }
    // The bitmap resource `name` of the module (Windows build; nullptr: the program).
    void LoadFromResourceName(void* instance, const std::string& name);
    // Stored layout: 32-bit size, then the BMP file.
    void ReadData(TStream& s) override;
    void WriteData(TStream& s) const override;
    void Assign(const TPersistent* source) override;
    // HBITMAP (Windows build only).
    void* Handle();
    // The colour of the bottom-left pixel, the transparent colour of a transparent bitmap.
    uint32_t TransparentColorRGB() const;

private:
    void FreeHandle();
    std::string file_;
    void* handle_ = nullptr;
};

// An icon: the bytes of an ICO file or a system icon handle.
class TIcon : public TGraphic {
    KXC_CLASS(TIcon, TGraphic)
public:
    TIcon() = default;
    ~TIcon() override;
    bool Empty() const override;
    int Width() const override;
    int Height() const override;
    // Stored layout: the ICO file up to the end of the data.
    void ReadData(TStream& s) override;
    void WriteData(TStream& s) const override;
    void Assign(const TPersistent* source) override;
    // HICON (Windows build only); SetHandle takes a copy of the given icon.
    void* Handle();
    void SetHandle(void* icon);

private:
    void FreeHandle();
    std::string file_;
    void* handle_ = nullptr;
};

// A picture property: one graphic (bitmap or icon), stored as the defined property "Data":
// the graphic's class name as a length-byte string, then the graphic's own data.
class TPicture : public TPersistent {
    KXC_CLASS(TPicture, TPersistent)
public:
    TPicture() = default;
    ~TPicture() override;
    TGraphic* Graphic() const { return graphic_; }
    void SetGraphic(TGraphic* g);  // copies g
    TBitmap* Bitmap();             // replaces another graphic by an empty bitmap
    TIcon* Icon();                 // likewise an icon
    int Width() const { return graphic_ ? graphic_->Width() : 0; }
    int Height() const { return graphic_ ? graphic_->Height() : 0; }
    void Assign(const TPersistent* source) override;
    void DefineProperties(TFiler& filer) override;
    TNotifyEvent OnChange;

private:
    void Replace(TGraphic* g);
    void Changed() { OnChange(this); }
    TGraphic* graphic_ = nullptr;
};

}  // namespace kxc
