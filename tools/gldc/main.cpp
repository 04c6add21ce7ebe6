// gldc: compiles the readable source of a GLD dictionary into the GLD stream.
//   gldc <source.txt> <out.gld> [--version N] [--big-endian] [--utf16]
// The options override the source's header settings. Exit code 0, or 1 with a message on
// standard error.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "gldsource.h"
#include "rtl/exceptions.h"

int main(int argc, char** argv) {
    std::string in, out;
    int version = -1;
    bool big = false, utf16 = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--version" && i + 1 < argc)
            version = std::atoi(argv[++i]);
        else if (a == "--big-endian")
            big = true;
        else if (a == "--utf16")
            utf16 = true;
        else if (in.empty())
            in = a;
        else if (out.empty())
            out = a;
        else {
            std::cerr << "gldc: unexpected argument " << a << "\n";
            return 1;
        }
    }
    if (in.empty() || out.empty() || version > 255) {
        std::cerr << "usage: gldc <source.txt> <out.gld> [--version N] [--big-endian] [--utf16]\n";
        return 1;
    }
    try {
        std::ifstream src(in, std::ios::binary);
        if (!src) throw rtl::Exception("cannot read " + in);
        std::ostringstream text;
        text << src.rdbuf();
        gldwriter::Dictionary d = gldwriter::ParseSource(text.str(), in);
        if (version >= 0) d.Version = uint8_t(version);
        if (big) d.LittleEndian = false;
        if (utf16) d.AnsiStrings = false;
        std::string bytes = gldwriter::Write(d);
        std::string tmp = out + ".tmp";
        {
            std::ofstream o(tmp, std::ios::binary | std::ios::trunc);
            o.write(bytes.data(), std::streamsize(bytes.size()));
            if (!o) throw rtl::Exception("cannot write " + tmp);
        }
        if (std::rename(tmp.c_str(), out.c_str()) != 0) throw rtl::Exception("cannot write " + out);
    } catch (const std::exception& e) {
        std::cerr << "gldc: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
