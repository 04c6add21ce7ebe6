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
    c.Object<qx::TQxTargetProperties>("Targets", &TQxTranslator::Targets,
                                      &TQxTranslator::SetTargets);
}

TQxTranslator::TQxTranslator(kxc::TComponent* owner)
    : kxc::TComponent(owner), targets_(std::make_unique<qx::TQxTargetProperties>()) {}

TQxTranslator::~TQxTranslator() = default;

void TQxTranslator::DefineProperties(kxc::TFiler& filer) {
    inherited::DefineProperties(filer);
    auto* ancestor = dynamic_cast<TQxTranslator*>(filer.Ancestor());
    qx::DefineTargetsData(filer, *targets_, ancestor ? ancestor->Targets() : nullptr);
}

void RegisterQxPendingClasses() {
    static bool done = false;
    if (done) return;
    done = true;
    kxc::RegisterComponentClass(TQxBinaryDictionary::StaticClass());
    kxc::RegisterComponentClass(TQxTranslator::StaticClass());
}

std::string TranslateString(const std::string& text) { return text; }
