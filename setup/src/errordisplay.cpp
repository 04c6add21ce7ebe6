#include "errordisplay.h"

#include <windows.h>

#include <cxxabi.h>

#include <cstdlib>
#include <typeinfo>

#include "rtl/exceptions.h"
#include "rtl/strutil.h"

namespace {

std::string ClassNameOf(const std::exception& e) {
    if (auto* x = dynamic_cast<const rtl::Exception*>(&e)) return x->ClassName();
    int status = 0;
    char* name = abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status);
    std::string out = (status == 0 && name) ? name : typeid(e).name();
    std::free(name);
    return out;
}

std::string MessageOf(const std::exception& e) {
    if (auto* x = dynamic_cast<const rtl::Exception*>(&e)) return x->Message();
    return e.what();
}

}  // namespace

std::string DefaultErrorText(const std::exception& e) {
    void* address = nullptr;
    if (auto* x = dynamic_cast<const rtl::Exception*>(&e)) address = x->ExceptAddr();
    HMODULE module = nullptr;
    if (!address ||
        !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module))
        module = GetModuleHandleA(nullptr);
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(module, path, MAX_PATH);
    std::string moduleName = path;
    auto slash = moduleName.find_last_of("\\/");
    if (slash != std::string::npos) moduleName.erase(0, slash + 1);
    // The address as an offset into its module, as a map file of that module would list it.
    auto offset = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(address) -
                                             reinterpret_cast<uintptr_t>(module));
    if (!address) offset = 0;
    std::string message = MessageOf(e);
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
    return rtl::Format("Exception %s in module %s at %08lX.\n%s", ClassNameOf(e).c_str(),
                       moduleName.c_str(), offset, message.c_str());
}

void ShowDefaultError(const std::exception& e) {
    std::string text = DefaultErrorText(e);
    MessageBoxA(nullptr, text.c_str(), "Application Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}
