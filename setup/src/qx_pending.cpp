#include "qx_pending.h"

#include <windows.h>

#include "components/filer.h"
#include "globals.h"
#include "rtl/exceptions.h"

KXC_IMPLEMENT_CLASS(TQxBinaryDictionary)

void TQxBinaryDictionary::DescribeClass(kxc::TClassBuilder<TQxBinaryDictionary>& c) {
    c.Str("DictionaryName", &TQxBinaryDictionary::DictionaryName,
          &TQxBinaryDictionary::SetDictionaryName);
    c.Str("FileName", &TQxBinaryDictionary::FileName, &TQxBinaryDictionary::SetFileName);
}

TQxBinaryDictionary::TQxBinaryDictionary(kxc::TComponent* owner) : kxc::TComponent(owner) {}

namespace {

bool IsFile(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string SystemMessage(DWORD code) {
    char buf[512] = {0};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, buf, sizeof buf, nullptr);
    std::string s(buf, n);
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

}  // namespace

std::string TQxBinaryDictionary::FindDictionaryFile() const {
    if (fileName_.empty()) return std::string();
    if (IsFile(fileName_)) return fileName_;
    std::string beside = AppDir + fileName_;
    if (IsFile(beside)) return beside;
    return std::string();
}

int TQxBinaryDictionary::LanguageCount() {
    // The real dictionary reads its file here; a file that is missing must stop the start-up
    // just as it will then.
    if (FindDictionaryFile().empty()) {
        std::string reason = SystemMessage(ERROR_FILE_NOT_FOUND);
        throw rtl::EFOpenError("Cannot open file \"" + fileName_ + "\". " + reason);
    }
    return 1;
}

std::string TQxBinaryDictionary::EnglishName(int index) {
    return index == 0 ? std::string("English") : std::string();
}

bool TQxBinaryDictionary::IsCodePageSupported(int) { return true; }

void TQxBinaryDictionary::SetLanguage(int) {}

KXC_IMPLEMENT_CLASS(TQxTranslator)

void TQxTranslator::DescribeClass(kxc::TClassBuilder<TQxTranslator>& c) {
    c.Str("DictionaryName", &TQxTranslator::DictionaryName, &TQxTranslator::SetDictionaryName);
}

TQxTranslator::TQxTranslator(kxc::TComponent* owner) : kxc::TComponent(owner) {}

void TQxTranslator::DefineProperties(kxc::TFiler& filer) {
    inherited::DefineProperties(filer);
    filer.DefineProperty(
        "TargetsData", [this](kxc::TReader& r) { ReadTargetsData(r); },
        [this](kxc::TWriter& w) { WriteTargetsData(w); }, !targets_.empty());
}

// (version count (class property kind) ...): kept as stored, duplicates dropped.
void TQxTranslator::ReadTargetsData(kxc::TReader& r) {
    r.ReadListBegin();
    targetsVersion_ = r.ReadInteger();
    int32_t n = r.ReadInteger();
    for (int32_t i = 0; i < n; ++i) {
        TQxStoredTarget t;
        r.ReadListBegin();
        t.ClassName = r.ReadString();
        t.PropertyName = r.ReadString();
        t.Kind = r.ReadInteger() & 0xFF;
        r.ReadListEnd();
        bool known = false;
        for (const TQxStoredTarget& k : targets_)
            known = known || (k.ClassName == t.ClassName && k.PropertyName == t.PropertyName &&
                              k.Kind == t.Kind);
        if (!known) targets_.push_back(t);
    }
    r.ReadListEnd();
}

void TQxTranslator::WriteTargetsData(kxc::TWriter& w) {
    w.WriteListBegin();
    w.WriteInteger(1);
    w.WriteInteger(int64_t(targets_.size()));
    for (const TQxStoredTarget& t : targets_) {
        w.WriteListBegin();
        w.WriteString(t.ClassName);
        w.WriteString(t.PropertyName);
        w.WriteInteger(t.Kind);
        w.WriteListEnd();
    }
    w.WriteListEnd();
}

void RegisterQxPendingClasses() {
    static bool done = false;
    if (done) return;
    done = true;
    kxc::RegisterComponentClass(TQxBinaryDictionary::StaticClass());
    kxc::RegisterComponentClass(TQxTranslator::StaticClass());
}

std::string TranslateString(const std::string& text) { return text; }
