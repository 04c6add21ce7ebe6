// gldembed: writes a form description whose one component, a binary dictionary with embedded
// storage, holds the data of a GLD file in its properties "Languages", "Translations" and
// "Locales", as the dictionary's own writers store them. The tests compile it into a program
// as the form's RCDATA resource.
//   gldembed <file.gld> <form class> <output>
// Exit code 0, or 1 with a message on standard error.
#include <fstream>
#include <iostream>
#include <string>

#include "components/filer.h"
#include "qx/QxBinDic.h"
#include "rtl/exceptions.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: gldembed <file.gld> <form class> <output>\n";
        return 1;
    }
    try {
        qx::TQxBinaryDictionary dict(nullptr);
        dict.SetFileName(argv[1]);
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
        w.WriteStr("Languages");
        dict.WriteLanguages(w);
        w.WriteStr("Translations");
        dict.WriteTranslations(w);
        w.WriteStr("Locales");
        dict.WriteLocales(w);
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
