// Writes the seed corpus of the embedded-data fuzz target: form descriptions holding a binary
// dictionary's three properties, written by the form writer through the dictionary's own
// defined properties (embedded storage, as a form saved at design time) from the twin GLD
// dictionaries (8-bit, every version) and from the wizard's dictionary when its path is
// given; half of them with a component of every value type before the dictionary.
//   make_embedded_corpus <folder> [Wizard.gld]
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>

#include "components/filer.h"
#include "gld_fixtures.h"
#include "qx/QxBinDic.h"

namespace {

void Values(kxc::TWriter& w) {
    w.WriteStr("I");
    w.WriteInteger(100000);
    w.WriteStr("L");
    w.WriteInteger(int64_t(1) << 40);
    w.WriteStr("F");
    w.WriteFloat(1.25);
    w.WriteStr("S");
    w.WriteSingle(2.5f);
    w.WriteStr("C");
    w.WriteCurrency(3.5);
    w.WriteStr("D");
    w.WriteDate(45000.0);
    w.WriteStr("W");
    w.WriteWideString(u"\x041F\x0440");
    w.WriteStr("Id");
    w.WriteIdent("alClient");
    w.WriteStr("B");
    w.WriteBinary("\x01\x02\x03");
    w.WriteStr("Nil");
    w.WriteIdent("nil");
    w.WriteStr("Set");
    w.WriteValue(kxc::vaSet);
    w.WriteStr("akLeft");
    w.WriteStr("");
    w.WriteStr("Items");
    w.WriteValue(kxc::vaCollection);
    w.WriteInteger(1);
    w.WriteListBegin();
    w.WriteStr("Caption");
    w.WriteString(std::string(300, 'x'));
    w.WriteListEnd();
    w.WriteListEnd();
}

std::string Form(const std::string& gld, bool extras) {
    qx::TQxBinaryDictionary dict(nullptr);
    dict.SetFileName(gld);
    dict.SetStorage(qx::qxsEmbedded);
    kxc::TMemoryStream stream;
    kxc::TWriter w(stream);
    w.WriteSignature();
    w.WriteStr("TfrmFuzz");
    w.WriteStr("frmFuzz");
    w.WriteListEnd();
    if (extras) {
        w.WritePrefix(kxc::ffChildPos, 1);
        w.WriteStr("TPanel");
        w.WriteStr("Panel1");
        Values(w);
        w.WriteListEnd();
        w.WriteListEnd();
    }
    w.WriteStr("TQxBinaryDictionary");
    w.WriteStr("QxBinaryDictionary1");
    const int64_t before = stream.Size();
    dict.DefineProperties(w);
    if (stream.Size() == before) throw std::runtime_error("no dictionary data from " + gld);
    w.WriteListEnd();
    w.WriteListEnd();
    w.WriteListEnd();
    return stream.Bytes();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: make_embedded_corpus <folder> [Wizard.gld]\n";
        return 1;
    }
    const std::string dir = argv[1];
    auto put = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir + "/" + name, std::ios::binary)
            .write(bytes.data(), std::streamsize(bytes.size()));
    };
    const std::string scratch = dir + "/../embedded-seed.gld";
    try {
        for (uint8_t version : {1, 2, 3}) {
            put("../embedded-seed.gld", gldwriter::Write(gldtest::Twin(version, true, true)));
            for (bool extras : {false, true})
                put("twin-v" + std::to_string(version) + (extras ? "-values" : "") + ".dfm",
                    Form(scratch, extras));
        }
        if (argc > 2) put("wizard.dfm", Form(argv[2], true));
    } catch (const std::exception& e) {
        std::cerr << "make_embedded_corpus: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
