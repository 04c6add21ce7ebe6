// Local SQL: the update statement over every row of one table of a database given by alias
// (or folder):
//   UPDATE 'table' SET Field=:Param[, Field=<integer>]...
// Parameters are named string inputs. The update is all-or-nothing: when new key values
// collide, or a value breaks a validity check, nothing is written and EDBEngineError is
// raised. A statement outside this shape raises EDBEngineError naming what is not supported;
// an unknown parameter name raises EDatabaseError.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "dbengine/errors.h"

namespace dbe {

enum TFieldDataType { ftUnknown, ftString };
enum TParamType { ptUnknown, ptInput };

class TParam {
public:
    explicit TParam(std::string name) : name_(std::move(name)) {}
    const std::string& Name() const { return name_; }
    void SetAsString(const std::string& v) { value_ = v; bound_ = true; DataType = ftString; }
    const std::string& AsString() const { return value_; }
    bool Bound() const { return bound_; }
    TFieldDataType DataType = ftString;
    TParamType ParamType = ptInput;

private:
    std::string name_, value_;
    bool bound_ = false;
};

class TQuery {
public:
    std::string DatabaseName;
    std::vector<std::string> SQL;   // statement lines, joined by line breaks

    // The parameter of that name (letter case ignored) that the statement text uses.
    TParam& ParamByName(const std::string& name);
    void ClearParams() { params_.clear(); }
    void ExecSQL();
    // Rows changed by the last ExecSQL.
    int RowsAffected() const { return rowsAffected_; }

private:
    std::deque<TParam> params_;   // stable references for ParamByName
    int rowsAffected_ = 0;
};

}  // namespace dbe
