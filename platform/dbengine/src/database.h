// Internal: the object behind an hDBIDb handle.
#pragma once

#include <string>

namespace dbe {

struct DbiDatabase {
    std::string name;        // database name as the table gave it
    std::string directory;   // folder, ending with a separator
};

}  // namespace dbe
