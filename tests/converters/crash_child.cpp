// The conversion of a saved folder into a new database's folder, alone in a process of its
// own, for the crash test: built without the sanitizers so that each of its many runs starts
// and ends fast. The crash hook of the file layer ends it where KX_TEST_EXIT_AT_FILE_STEP says.
// Usage: converters_crash_child <saved folder> <new database folder> <archive>
// Exit code 0 when the conversion ended, 1 when it raised, 86 when the hook ended it.
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>

#include "converters/conversion.h"
#include "dbengine/session.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    try {
        std::ifstream in(argv[3], std::ios::binary);
        const std::string archive((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        dbe::Session().AddStandardAlias("KorvixNetGlobal", argv[2], "PARADOX");
        conv::TConverterSteps steps;
        conv::RunConversion(argv[1], archive.data(), archive.size(), steps);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
