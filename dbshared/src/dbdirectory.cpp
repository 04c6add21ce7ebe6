#include "dbshared/dbdirectory.h"

#include <cstring>

#include "dbengine/errors.h"
#include "rtl/strutil.h"

std::string GetDatabaseDirectory(dbe::hDBIDb db) {
    char buffer[261];
    std::memset(buffer, 0, sizeof buffer);
    int rc = dbe::DbiGetDirectory(db, /*fDefault=*/false, buffer);
    if (rc != 0)
        throw dbe::EDBEngineError(rc, rtl::Format("Cannot read the database folder (error %d)", rc));
    // The engine writes a terminated string; the scan stays inside the buffer in any case.
    std::size_t n = 0;
    while (n < sizeof buffer && buffer[n] != '\0') ++n;
    return std::string(buffer, n);
}
