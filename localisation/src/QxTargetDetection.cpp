#include "qx/QxTargetDetection.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <memory>
#include <unordered_set>
#include <vector>

#include "components/streams.h"
#include "qx/QxAMulti.h"
#include "qx/QxDictionary.h"
#include "qx/QxLocaleVars.h"
#include "qx/QxParser.h"
#include "qx/QxPropInfo.h"

namespace qx {

const char* const QxToolSettingsKeyName = "Software\\Glossavant\\Form Designer 5";
std::string ToolSettingsKey = QxToolSettingsKeyName;

const char* const DefaultTargetNames[QxDefaultTargetNameCount] = {"Caption", "Hint",  "Items",
                                                                  "Lines",   "Hints", "Tabs"};
const char* const QxCandidateFileName = "Targets.txt";

const char* const QxDetectionFailedText =
    "The detection of the targets properties failed!\r\nSet the Targets property manually.";
const char* const QxDetectQuestionText =
    "Do you want the translator component to detect the default targets?";

// ---- Tool settings ----

TQxToolSettings::~TQxToolSettings() = default;

namespace {

#ifdef _WIN32
// The key is opened for reading only, never created; values of other types than strings
// count as missing.
class TQxRegistryToolSettings : public TQxToolSettings {
public:
    bool ReadString(const std::string& valueName, std::string& value) override {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ToolSettingsKey.c_str(), 0,
                          KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS)
            return false;
        DWORD type = 0, size = 0;
        bool ok = RegQueryValueExA(key, valueName.c_str(), nullptr, &type, nullptr, &size) ==
                      ERROR_SUCCESS &&
                  (type == REG_SZ || type == REG_EXPAND_SZ);
        std::string data;
        if (ok && size > 0) {
            data.resize(size);
            ok = RegQueryValueExA(key, valueName.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(&data[0]), &size) == ERROR_SUCCESS &&
                 (type == REG_SZ || type == REG_EXPAND_SZ);
            data.resize(ok ? size : 0);
        }
        RegCloseKey(key);
        if (!ok) return false;
        // The stored terminating zero (and any after it) is not part of the text.
        const size_t end = data.find('\0');
        value = end == std::string::npos ? data : data.substr(0, end);
        return true;
    }
};
using TQxPlatformToolSettings = TQxRegistryToolSettings;
#else
// Away from Windows there is no registry: every setting takes its default.
class TQxNoToolSettings : public TQxToolSettings {
public:
    bool ReadString(const std::string&, std::string&) override { return false; }
};
using TQxPlatformToolSettings = TQxNoToolSettings;
#endif

TQxToolSettings* g_settings = nullptr;

}  // namespace

TQxToolSettings& PlatformToolSettings() {
    static TQxPlatformToolSettings settings;
    return settings;
}

TQxToolSettings& ToolSettings() { return g_settings ? *g_settings : PlatformToolSettings(); }

TQxToolSettings* SetToolSettings(TQxToolSettings* settings) {
    TQxToolSettings* previous = g_settings;
    g_settings = settings;
    return previous;
}

std::string ReadToolSetting(const std::string& valueName, const std::string& defaultValue) {
    std::string value;
    return ToolSettings().ReadString(valueName, value) ? value : defaultValue;
}

// ---- Candidates ----

void ParseCandidateTargets(const std::string& text, TQxTargetProperties& candidates) {
    kxc::TStringList lines;
    lines.SetText(text);
    TQxStringParser parser("", ',');
    for (int i = 0; i < lines.Count(); ++i) {
        const std::string line = lines.Get(i);
        if (line.empty() || line[0] == ';' || line[0] == ':') continue;
        parser.SetText(line);
        std::string className = parser.NextToken();
        std::string propertyName = parser.NextToken();  // empty after the end
        candidates.Add(std::make_unique<TQxTargetProperty>(std::move(className),
                                                           std::move(propertyName), qxtkInclude));
    }
}

void ReadCandidateTargets(const std::string& folder, TQxTargetProperties& candidates) {
#ifdef _WIN32
    const char delimiter = '\\';
#else
    const char delimiter = '/';
#endif
    const std::string path = folder + delimiter + QxCandidateFileName;
    if (!FileExists(path)) return;
    kxc::TFileStream file(path, kxc::fmOpenRead | kxc::fmShareDenyWrite);
    std::string text;
    char buffer[4096];
    for (int32_t n; (n = file.Read(buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    ParseCandidateTargets(text, candidates);
}

void BuildCandidateTargets(TQxTargetProperties& candidates) {
    ReadCandidateTargets(ReadToolSetting("RootDir", "."), candidates);
    if (candidates.Count() > 0) return;
    for (const char* name : DefaultTargetNames)
        candidates.Add(std::make_unique<TQxTargetProperty>("", name, qxtkInclude));
}

// ---- Detection ----

bool InheritsFromClassName(const kxc::TObject* object, const std::string& className) {
    if (!object) return false;
    for (const kxc::TClassInfo* c = object->ClassInfo(); c; c = c->Parent()) {
        if (c->Name() == className) return true;
        if (c->Name() == "TControl") break;
    }
    return false;
}

void ConsiderTarget(const kxc::TObject* object, const std::string& propertyName, bool classOnly,
                    const TQxTargetProperties* candidates, TQxTargetProperties& targets) {
    const std::string& className = object->ClassName();
    if (targets.IsExcluded(className, propertyName)) return;
    if (candidates && !candidates->IsTarget(className, propertyName)) return;
    if (!targets.IsTarget(className, propertyName))
        targets.Add(std::make_unique<TQxTargetProperty>(classOnly ? className : std::string(),
                                                        propertyName, qxtkInclude));
}

namespace {

struct TSpecialClass {
    const char* ClassName;
    const char* Properties[2];  // nullptr ends
    bool ClassOnly;
};

// Properties worth translating in these controls whatever the candidates say.
const TSpecialClass kSpecialClasses[] = {
    {"TCustomMemo", {"Text", nullptr}, true},
    {"TStringGrid", {"Cells", nullptr}, false},
    {"TCustomOutline", {"Lines", nullptr}, false},
    {"TCustomTreeView", {"Items", nullptr}, false},
    {"TCustomListView", {"Items", "Caption"}, false},
};

// Dictionaries and translators hold texts of their own that are not the form's.
bool IsLocalisationComponent(const kxc::TObject* object) {
    return object->InheritsFrom(TQxDictionary::StaticClass()) ||
           object->InheritsFrom(std::string("TQxTranslator"));
}

// One walk: every object examined is remembered, so that references leading back to an
// object met before (a cycle, or two paths to one object) end there.
class TTargetDetection {
public:
    explicit TTargetDetection(TQxTargetProperties& targets) : targets_(targets) {}

    void Detect(kxc::TObject* object) {
        if (!object || !visited_.insert(object).second) return;
        if (IsLocalisationComponent(object)) return;
        for (const TSpecialClass& special : kSpecialClasses) {
            if (!InheritsFromClassName(object, special.ClassName)) continue;
            for (const char* property : special.Properties)
                if (property) ConsiderTarget(object, property, special.ClassOnly, nullptr, targets_);
        }
        TQxTargetProperties candidates;
        BuildCandidateTargets(candidates);
        const TQxPropInfoList properties(
            object, kxc::KindBit(kxc::tkString) | kxc::KindBit(kxc::tkLString) |
                        kxc::KindBit(kxc::tkClass));
        for (int32_t i = 0; i < properties.Count(); ++i) {
            const kxc::TPropInfo* property = properties.Items(i);
            if (!property->Readable() || !property->Writable()) continue;
            if (property->Kind == kxc::tkClass) {
                try {
                    DetectObjectProperty(object, property, candidates);
                } catch (...) {
                    // One property that cannot be read or walked is skipped.
                }
            } else {
                ConsiderTarget(object, property->Name, false, &candidates, targets_);
            }
        }
    }

private:
    void DetectObjectProperty(kxc::TObject* object, const kxc::TPropInfo* property,
                              const TQxTargetProperties& candidates) {
        kxc::TObject* value = kxc::GetObjectProp(object, property);
        if (!value) return;
        const std::string& valueClass = value->ClassName();
        if (candidates.IsClassTarget(valueClass)) {
            if (!targets_.IsClassTarget(valueClass))
                targets_.Add(std::make_unique<TQxTargetProperty>(valueClass, "", qxtkInclude));
        } else if (dynamic_cast<kxc::TStrings*>(value)) {
            ConsiderTarget(object, property->Name, false, &candidates, targets_);
        } else if (auto* collection = dynamic_cast<kxc::TCollection*>(value)) {
            for (int i = 0; i < collection->Count(); ++i) Detect(collection->Items(i));
        } else if (auto* component = dynamic_cast<kxc::TComponent*>(value)) {
            // A component of the same owner is examined on its own.
            auto* examined = dynamic_cast<kxc::TComponent*>(object);
            if (examined && !IsOwnedBy(component, examined->Owner())) Detect(component);
        } else {
            Detect(value);
        }
    }

    static bool IsOwnedBy(const kxc::TComponent* component, const kxc::TComponent* owner) {
        if (!owner) return false;
        for (int i = 0; i < owner->ComponentCount(); ++i)
            if (owner->Components(i) == component) return true;
        return false;
    }

    TQxTargetProperties& targets_;
    std::unordered_set<const kxc::TObject*> visited_;
};

// Anything that ends the detection shows the error box; the targets added so far stay.
template <class F>
void Guarded(F detect) {
    try {
        detect();
    } catch (...) {
        ApplicationServices().ShowErrorBox(QxDetectionFailedText);
    }
}

}  // namespace

void DetectTargets(kxc::TObject* object, TQxTargetProperties& targets) {
    TTargetDetection(targets).Detect(object);
}

void DetectFormTargets(kxc::TComponent* root, TQxTargetProperties& targets) {
    if (!root) return;
    Guarded([&] {
        DetectTargets(root, targets);
        // A snapshot: the walk frees nothing, but the list is the owner's.
        std::vector<kxc::TComponent*> owned;
        for (int i = 0; i < root->ComponentCount(); ++i) owned.push_back(root->Components(i));
        for (kxc::TComponent* component : owned) DetectTargets(component, targets);
    });
}

void DetectTargetsGuarded(kxc::TObject* object, TQxTargetProperties& targets) {
    Guarded([&] { DetectTargets(object, targets); });
}

void RunDropTimeDetection(kxc::TComponent* root, TQxTargetProperties& targets) {
    if (!root) return;
    int32_t detect = 2;
    if (!TryStrToInt(ReadToolSetting("Detect", "2"), detect)) detect = 2;
    switch (detect & 0xFF) {
        case 2:
            DetectFormTargets(root, targets);
            break;
        case 1:
            if (ApplicationServices().ShowConfirmationBox(QxDetectQuestionText))
                DetectFormTargets(root, targets);
            break;
        default:
            break;
    }
}

}  // namespace qx
