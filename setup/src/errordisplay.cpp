#include "errordisplay.h"

#include <cxxabi.h>

#include <cstdint>
#include <cstdlib>
#include <typeinfo>

#include "rtl/exceptions.h"
#include "rtl/strutil.h"

namespace {

const char* const kCaption = "Application Error";

std::string Demangled(const char* name) {
    int status = 0;
    char* d = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    std::string out = (status == 0 && d) ? d : name;
    std::free(d);
    return out;
}

std::string ClassNameOf(const std::exception& e) {
    if (auto* x = dynamic_cast<const rtl::Exception*>(&e)) return x->ClassName();
    return Demangled(typeid(e).name());
}

std::string MessageOf(const std::exception& e) {
    if (auto* x = dynamic_cast<const rtl::Exception*>(&e)) return x->Message();
    return e.what();
}

// The module that holds the address (the program when none does or the address is unknown)
// and the address as an offset into it, as a map file of that module would list it.
void Locate(const void* address, std::string* moduleName, unsigned long* offset) {
    HMODULE module = nullptr;
    if (!address ||
        !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module))
        module = GetModuleHandleA(nullptr);
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(module, path, MAX_PATH);
    *moduleName = path;
    auto slash = moduleName->find_last_of("\\/");
    if (slash != std::string::npos) moduleName->erase(0, slash + 1);
    *offset = address ? static_cast<unsigned long>(reinterpret_cast<uintptr_t>(address) -
                                                   reinterpret_cast<uintptr_t>(module))
                      : 0;
}

std::string BoxText(const std::string& className, const void* address, std::string message) {
    std::string moduleName;
    unsigned long offset = 0;
    Locate(address, &moduleName, &offset);
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
    return rtl::Format("Exception %s in module %s at %08lX.\n%s", className.c_str(),
                       moduleName.c_str(), offset, message.c_str());
}

void ShowBox(const std::string& text) {
    MessageBoxA(nullptr, text.c_str(), kCaption, MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

LONG WINAPI LastChanceFilter(EXCEPTION_POINTERS* pointers) {
    ShowBox(StructuredErrorText(*pointers->ExceptionRecord));
    // The process is in an unknown state: end it here, running nobody's clean-up code.
    TerminateProcess(GetCurrentProcess(), 1);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

std::string DefaultErrorText(const std::exception& e) {
    const void* address = nullptr;
    if (auto* x = dynamic_cast<const rtl::Exception*>(&e)) address = x->ExceptAddr();
    return BoxText(ClassNameOf(e), address, MessageOf(e));
}

void ShowDefaultError(const std::exception& e) { ShowBox(DefaultErrorText(e)); }

std::string UnknownErrorText() { return BoxText("Exception", nullptr, rtl::UnknownExceptionMessage()); }

void ShowUnknownError() { ShowBox(UnknownErrorText()); }

std::string StructuredErrorText(const EXCEPTION_RECORD& record) {
    const void* address = record.ExceptionAddress;
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2) {
        const char* access = record.ExceptionInformation[0] == 1   ? "Write of"
                             : record.ExceptionInformation[0] == 8 ? "Execution of"
                                                                   : "Read of";
        return BoxText("EAccessViolation", address,
                       rtl::Format("Access violation at address %08llX. %s address %08llX",
                                   static_cast<unsigned long long>(
                                       reinterpret_cast<uintptr_t>(address)),
                                   access,
                                   static_cast<unsigned long long>(
                                       record.ExceptionInformation[1])));
    }
    return BoxText("EExternalException", address,
                   rtl::Format("External exception %08lX",
                               static_cast<unsigned long>(record.ExceptionCode)));
}

void InstallStructuredErrorDisplay() { SetUnhandledExceptionFilter(LastChanceFilter); }
