// gldembed: writes a form description whose one component, a binary dictionary with embedded
// storage, holds the data of a GLD file in its properties "Languages", "Translations" and
// "Locales", written by the form writer through the dictionary's own defined properties, as
// a form saved at design time stores them. The tests compile it into a program as the form's
// RCDATA resource.
//   gldembed <file.gld> <form class> <output>
// Exit code 0, or 1 with a message on standard error (also when the dictionary stores no
// data: a missing or UTF-16 file).
#include <fstream>
#include <iostream>
#include <string>

#include "components/filer.h"
#include "qx/QxBinDic.h"
#include "qx/QxLocaleVars.h"
#include "rtl/exceptions.h"

namespace {

// What the dictionary reports while it stores its data becomes the tool's error.
class TToolServices : public qx::TQxApplicationServices {
public:
    TToolServices() : previous_(qx::SetApplicationServices(this)) {}
    ~TToolServices() override { qx::SetApplicationServices(previous_); }
    TToolServices(const TToolServices&) = delete;
    TToolServices& operator=(const TToolServices&) = delete;

    bool HasExceptionHandler() override { return true; }
    void InstallExceptionHandler() override {}
    void SetRightToLeft(bool) override {}
    void ShowErrorBox(const std::string& text) override { report = text; }
    void ShowMessageBox(const std::string& text, const std::string&) override { report = text; }

    std::string report;

private:
    qx::TQxApplicationServices* previous_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: gldembed <file.gld> <form class> <output>\n";
        return 1;
    }
    try {
        TToolServices services;
        qx::TQxBinaryDictionary dict(nullptr);
        dict.SetFileName(argv[1]);
        dict.SetStorage(qx::qxsEmbedded);
        kxc::TMemoryStream stream;
        kxc::TWriter w(stream);
        w.WriteSignature();
        w.WriteStr(argv[2]);
        w.WriteStr(std::string(argv[2]).substr(1));  // the form's name: its class without "T"
        w.WriteListEnd();
        w.WriteStr(qx::TQxBinaryDictionary::StaticClass().Name());
        w.WriteStr("QxBinaryDictionary1");
        w.WriteStr("Storage");
        w.WriteIdent("qxsEmbedded");
        dict.DefineProperties(w);
        if (!services.report.empty()) throw rtl::Exception(services.report);
        w.WriteListEnd();
        w.WriteListEnd();
        w.WriteListEnd();
        const std::string bytes = stream.Bytes();
        std::ofstream out(argv[3], std::ios::binary);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        if (!out) throw rtl::Exception(std::string("Cannot write ") + argv[3]);
    } catch (const std::exception& e) {
        std::cerr << "gldembed: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
