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

// The settings every formatting routine of the program reads.
struct TQxFormatSettings {
    TQxSysLocale SysLocale;
    std::string CurrencyString;
    uint8_t CurrencyFormat = 0;
    uint8_t NegCurrFormat = 0;
    char ThousandSeparator = 0;
    char DecimalSeparator = 0;
    uint8_t CurrencyDecimals = 0;
    char DateSeparator = 0;
    std::string ShortDateFormat;
    std::string LongDateFormat;
    char TimeSeparator = 0;
    std::string TimeAMString;
    std::string TimePMString;
    std::string ShortTimeFormat;
    std::string LongTimeFormat;
    std::array<std::string, 12> ShortMonthNames;  // January first
    std::array<std::string, 12> LongMonthNames;
    std::array<std::string, 7> ShortDayNames;     // Sunday first
    std::array<std::string, 7> LongDayNames;
};

extern TQxFormatSettings FormatSettings;

// Writes every setting from the locale, in the order of the record (the date formats
// through ExpandTwoDigitYear when `year2000`).
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
