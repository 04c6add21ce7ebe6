// The language change: the change notification of the dictionary, the process-wide format
// settings it publishes, the euro setter, the Year-2000 rule and the time formats.
#include "qx/QxLocaleVars.h"

#include <algorithm>

#include "qx/QxDictionary.h"
#include "qx/QxSystem.h"
#include "qx/QxTranslatorBase.h"

namespace qx {

TQxFormatSettings FormatSettings;

void ExpandTwoDigitYear(std::string& format) {
    if (format.find("yyyy") != std::string::npos) return;
    const size_t at = format.find("yy");
    if (at != std::string::npos) format.insert(at, "yy");
}

TQxTimeFormats BuildTimeFormats(uint8_t timeFormat, uint8_t markerPosition, bool leadingZero) {
    const std::string hour = leadingZero ? "hh" : "h";
    std::string prefix;
    std::string suffix;
    if (timeFormat == 0) {
        if (markerPosition == 0) suffix = " AMPM";
        else if (markerPosition == 1) prefix = "AMPM ";
    }
    return TQxTimeFormats{prefix + hour + ":mm" + suffix, prefix + hour + ":mm:ss" + suffix};
}

void PublishFormatSettings(const TQxLocale& locale, bool year2000) {
    TQxFormatSettings& f = FormatSettings;
    f.SysLocale.DefaultLCID = locale.LocaleId();
    f.SysLocale.PriLangID = static_cast<uint16_t>(locale.PrimaryId);
    f.SysLocale.SubLangID = static_cast<uint16_t>(locale.SubId);
    f.SysLocale.FarEast = LocaleSystem().IsDBCSEnabled();
    static_cast<TQxFormatFields&>(f) = locale;  // the shared fields as the locale has them
    f.CurrencyString = locale.GetCurrencyString();
    if (year2000) ExpandTwoDigitYear(f.ShortDateFormat);
    if (year2000) ExpandTwoDigitYear(f.LongDateFormat);
    if (f.TimeSeparator == 0) f.TimeSeparator = ':';
    const TQxTimeFormats time =
        BuildTimeFormats(locale.TimeFormat, locale.TimeMarkerPosition, locale.TimeLeadingZero);
    f.ShortTimeFormat = time.ShortTimeFormat;
    f.LongTimeFormat = time.LongTimeFormat;
    // The locale's week starts on Monday, the settings' on Sunday.
    for (size_t day = 0; day < 7; ++day) {
        const size_t to = (day + 1) % 7;
        f.ShortDayNames[to] = locale.ShortDayNames[day];
        f.LongDayNames[to] = locale.LongDayNames[day];
    }
}

// Recreating a maximised MDI child (the last step of the notification elsewhere) has
// nothing to act on here: the component model has no multi-document forms.
void TQxDictionary::UpdateLocaleVariables(bool languageChanged, bool localeChanged) {
    ApplicationServices().SetRightToLeft(selectedLanguage_->GetReadingOrder() == 2);
    if (localeChanged) PublishLocale();
    if (options_ & qxdoAutoTranslate) {
        // The list as it stands now; a translator that leaves it meanwhile is not told.
        const std::vector<TQxCustomTranslator*> snapshot = translators_;
        for (TQxCustomTranslator* translator : snapshot)
            if (std::find(translators_.begin(), translators_.end(), translator) !=
                translators_.end())
                translator->Changed(languageChanged, localeChanged);
    }
    if (languageChanged && OnLanguageChange) OnLanguageChange(this);
    if (localeChanged && OnLocaleChange) OnLocaleChange(this);
}

// An unknown locale is never published: the thread and the process keep what they had.
void TQxDictionary::PublishLocale() {
    if (!selectedLocaleKnown_) return;
    LocaleSystem().SetThreadLocale(selectedLocaleId_);
    if (options_ & qxdoUpdateLocaleVariables)
        PublishFormatSettings(*selectedLocale_, (options_ & qxdoYear2000) != 0);
}

// The symbol is published only for an open dictionary's known locale; before the first
// opening there is no locale to take it from.
void TQxDictionary::SetEuro(TQxEuro v) {
    euro_ = v;
    EuroMode = v;
    if (active_ && selectedLocaleKnown_)
        FormatSettings.CurrencyString = selectedLocale_->GetCurrencyString();
}

// ---- Application services ----

TQxApplicationServices::~TQxApplicationServices() = default;

void TQxApplicationServices::ShowInformationBox(const std::string&) {}

bool TQxApplicationServices::ShowConfirmationBox(const std::string&) { return false; }
void TQxApplicationServices::ShowMessageBox(const std::string&, const std::string&) {}

namespace {

TQxApplicationServices* g_services = nullptr;

#ifndef _WIN32
// Away from Windows there is no application object: nothing to install or show.
class TQxNoApplicationServices : public TQxApplicationServices {
public:
    bool HasExceptionHandler() override { return true; }
    void InstallExceptionHandler() override {}
    void SetRightToLeft(bool) override {}
    void ShowErrorBox(const std::string&) override {}
};
#endif

}  // namespace

#ifndef _WIN32
TQxApplicationServices& PlatformApplicationServices() {
    static TQxNoApplicationServices services;
    return services;
}
#endif

TQxApplicationServices& ApplicationServices() {
    return g_services ? *g_services : PlatformApplicationServices();
}

TQxApplicationServices* SetApplicationServices(TQxApplicationServices* services) {
    TQxApplicationServices* previous = g_services;
    g_services = services;
    return previous;
}

}  // namespace qx
