// formc: compiles a text form description into its stored binary form.
//   formc <form.txt> <out.frm> [--rc <out.rc>]
// With --rc it also writes a resource script that embeds out.frm as an RCDATA resource named
// by the root object's class name. Exit code 0, or 1 with a message on standard error.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "formtext.h"

namespace {

std::string RcPath(const std::string& path) {
    std::string r;
    for (char c : path) {
        if (c == '\\')
            r += "\\\\";
        else if (c == '"')
            r += "\\\"";
        else
            r += c;
    }
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    std::string in, out, rc;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--rc" && i + 1 < argc)
            rc = argv[++i];
        else if (in.empty())
            in = a;
        else if (out.empty())
            out = a;
        else {
            std::cerr << "formc: unexpected argument " << a << "\n";
            return 1;
        }
    }
    if (in.empty() || out.empty()) {
        std::cerr << "usage: formc <form.txt> <out.frm> [--rc <out.rc>]\n";
        return 1;
    }
    try {
        std::ifstream f(in, std::ios::binary);
        if (!f) {
            std::cerr << "formc: cannot open " << in << "\n";
            return 1;
        }
        std::stringstream ss;
        ss << f.rdbuf();
        formtext::CompiledForm form = formtext::CompileFormText(ss.str(), in);
        std::ofstream o(out, std::ios::binary);
        o.write(form.Bytes.data(), std::streamsize(form.Bytes.size()));
        if (!o) {
            std::cerr << "formc: cannot write " << out << "\n";
            return 1;
        }
        if (!rc.empty()) {
            std::ofstream r(rc, std::ios::binary);
            r << form.RootClass << " RCDATA \"" << RcPath(out) << "\"\n";
            if (!r) {
                std::cerr << "formc: cannot write " << rc << "\n";
                return 1;
            }
        }
    } catch (const std::exception& e) {
        std::cerr << "formc: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
