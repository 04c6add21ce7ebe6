// Error classes of the database engine.
//
// EDatabaseError is the base of every database error (the class library's own errors, such as
// "Field '%s' not found"); EDBEngineError is raised for every failure of the engine itself
// (files, aliases, corrupt tables, key violations) and carries an engine error code.
#pragma once

#include <string>

#include "rtl/exceptions.h"

namespace dbe {

using Exception = rtl::Exception;
RTL_DECLARE_EXCEPTION(EDatabaseError, Exception);

// Engine error codes (ErrorCode()). The values are stable; callers may compare them.
enum TEngineErrorCode : int {
    ecNone = 0,
    ecUnknownDatabase = 0x2501,   // empty database name, unknown alias, missing folder
    ecAliasExists = 0x2502,       // alias add: the name is taken
    ecUnknownAlias = 0x2503,      // alias delete of an unknown name
    ecConfig = 0x2504,            // configuration file cannot be read or written
    ecNoSuchTable = 0x2701,       // table file does not exist
    ecOpenFailed = 0x2702,        // file cannot be opened / read / written
    ecCorrupt = 0x2703,           // table, index or BLOB file damaged or inconsistent
    ecUnsupported = 0x2704,       // valid file using a feature this engine does not handle
    ecKeyViolation = 0x2601,      // duplicate primary key
    ecValidity = 0x2602,          // a validity check refused a value (raised by the checks)
    ecState = 0x2801,             // operation not allowed in the table's current state
    ecInvalidDefinition = 0x2802, // a table definition that cannot be created
    ecValueTooLong = 0x2803,      // a value that does not fit its field
    ecTypeMismatch = 0x2804,      // a batch move's value that does not convert to its field
};

class EDBEngineError : public EDatabaseError {
public:
    EDBEngineError(int code, std::string message)
        : EDatabaseError(std::move(message)), code_(code) {}
    const char* ClassName() const override { return "EDBEngineError"; }
    bool InheritsFrom(const std::string& n) const override {
        return n == "EDBEngineError" || EDatabaseError::InheritsFrom(n);
    }
    int ErrorCode() const { return code_; }

private:
    int code_;
};

}  // namespace dbe
