#include "qx_pending.h"

#include <windows.h>

#include "components/filer.h"
#include "globals.h"
#include "rtl/exceptions.h"

KXC_IMPLEMENT_CLASS(TQxBinaryDictionary)

void TQxBinaryDictionary::DescribeClass(kxc::TClassBuilder<TQxBinaryDictionary>& c) {
    c.Str("FileName", &TQxBinaryDictionary::FileName, &TQxBinaryDictionary::SetFileName);
}

TQxBinaryDictionary::TQxBinaryDictionary(kxc::TComponent* owner) : qx::TQxDictionary(owner) {}

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

int32_t TQxBinaryDictionary::GetLanguageCount() {
    // The real dictionary reads its file here; a file that is missing must stop the start-up
    // just as it will then.
    if (FindDictionaryFile().empty()) {
        std::string reason = SystemMessage(ERROR_FILE_NOT_FOUND);
        throw rtl::EFOpenError("Cannot open file \"" + fileName_ + "\". " + reason);
    }
    return 1;
}

void TQxBinaryDictionary::GetLanguage(int32_t index, qx::TQxLanguage& language) {
    if (index != 0) throw rtl::ERangeError("Out of language range");
    qx::TQxLanguage native;
    native.Complete();  // the native language: "Native", code-page independent
    language.Assign(native);
}

void TQxBinaryDictionary::GetLocale(int32_t, qx::TQxLocale&) {
    throw rtl::ERangeError("Out of locale range");
}

bool TQxBinaryDictionary::FindContextTranslation(const std::string&, const std::string&,
                                                 const std::string&, std::string&) {
    return false;
}

std::string TDictionaryLanguageChoice::EnglishName(int index) {
    return dictionary_->GetLanguageInfo(index)->EnglishName;
}

bool TDictionaryLanguageChoice::IsCodePageSupported(int index) {
    return qx::TQxDictionary::IsLanguageCodePageSupported(*dictionary_->GetLanguageInfo(index));
}

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
