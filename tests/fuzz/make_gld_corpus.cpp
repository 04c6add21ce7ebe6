// Writes the seed corpus of the GLD fuzz target: the twin dictionary in every version, byte
// order and string width, and the wizard's dictionary when its path is given.
//   make_gld_corpus <folder> [Wizard.gld]
#include <fstream>
#include <iostream>
#include <sstream>

#include "gld_fixtures.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: make_gld_corpus <folder> [Wizard.gld]\n";
        return 1;
    }
    std::string dir = argv[1];
    auto put = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir + "/" + name, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    };
    for (uint8_t version : {0, 1, 2, 3})
        for (bool little : {true, false})
            for (bool ansi : {true, false})
                put("twin-v" + std::to_string(version) + (little ? "-le" : "-be") + (ansi ? "-8" : "-16") + ".gld",
                    gldwriter::Write(gldtest::Twin(version, little, ansi)));
    if (argc > 2) {
        std::ifstream in(argv[2], std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        put("wizard.gld", s.str());
    }
    return 0;
}
