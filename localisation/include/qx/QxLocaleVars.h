// The process-wide format settings that a language change publishes (number, currency,
// date and time formats, month and day names, the process locale), the Year-2000 rule for
// date formats and the construction of the time formats; and the application services
// the localisation runtime asks for (exception handler, reading direction, error and
// information boxes).
//
// Raises: nothing. Process-wide state: FormatSettings (empty until a dictionary publishes a
// locale) and the application services in force. GUI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "qx/QxLanguage.h"

namespace qx {

// The process locale.
struct TQxSysLocale {
    uint32_t DefaultLCID = 0;
    uint16_t PriLangID = 0;
    uint16_t SubLangID = 0;
    bool FarEast = false;     // the system has double-byte character sets enabled
    bool MiddleEast = false;  // never changed by a language change
};

// The settings every formatting routine of the program reads: the locale's number,
// currency, date and time fields (TQxFormatFields, the currency symbol under the euro rule),
// and what is made from the locale for them.
struct TQxFormatSettings : TQxFormatFields {
    TQxSysLocale SysLocale;
    std::string ShortTimeFormat;
    std::string LongTimeFormat;
    std::array<std::string, 7> ShortDayNames;     // Sunday first
    std::array<std::string, 7> LongDayNames;
};

extern TQxFormatSettings FormatSettings;

// Writes every setting from the locale: the process locale, the shared fields as the
// locale holds them but the currency symbol by the euro rule (GetCurrencyString), the date
// formats through ExpandTwoDigitYear when `year2000` and time separator 0 as ":", the time
// formats from BuildTimeFormats and the day names turned to a Sunday-first week.
void PublishFormatSettings(const TQxLocale& locale, bool year2000);

// A format with "yy" but without "yyyy" gets its first "yy" widened to "yyyy".
void ExpandTwoDigitYear(std::string& format);

struct TQxTimeFormats {
    std::string ShortTimeFormat;
    std::string LongTimeFormat;
};
// "h" or "hh", then ":mm" or ":mm:ss"; a 12-hour clock (timeFormat 0) puts " AMPM" after
// (markerPosition 0) or "AMPM " before (1).
TQxTimeFormats BuildTimeFormats(uint8_t timeFormat, uint8_t markerPosition, bool leadingZero);

// What the runtime asks of the application object. The platform's own services talk to the
// Win32 application object; elsewhere they do nothing. Tests put their own in place.
class TQxApplicationServices {
public:
    virtual ~TQxApplicationServices();
    virtual bool HasExceptionHandler() = 0;
    // Makes ShowTranslatedException the application's exception handler.
    virtual void InstallExceptionHandler() = 0;
    // The application's reading direction (the forms that follow it take it at once).
    virtual void SetRightToLeft(bool rightToLeft) = 0;
    // An error box with one OK button; returns when it is closed.
    virtual void ShowErrorBox(const std::string& text) = 0;
    // An information box with one OK button; returns when it is closed. Nothing here: only
    // the platform's own services show one.
    virtual void ShowInformationBox(const std::string& text);
    // A question with the buttons Yes and No; true for Yes. Here: No, shown to nobody; only
    // the platform's own services show one.
    virtual bool ShowConfirmationBox(const std::string& text);
    // A box with that caption and one OK button; returns when it is closed. Nothing here, as
    // above.
    virtual void ShowMessageBox(const std::string& text, const std::string& caption);
};

TQxApplicationServices& ApplicationServices();
// Puts `services` in force (nullptr: the platform's own) and returns the one it replaces
// (nullptr when that was the platform's own). The caller keeps ownership.
TQxApplicationServices* SetApplicationServices(TQxApplicationServices* services);
TQxApplicationServices& PlatformApplicationServices();

}  // namespace qx
