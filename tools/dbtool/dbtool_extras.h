// Extension point of dbtool's "info": printers for what other engine modules keep about a
// table (validity checks, secondary indexes), registered from their own source files.
#pragma once

#include <functional>
#include <ostream>
#include <vector>

#include "tabledata.h"

namespace dbtool {

using InfoPrinter = std::function<void(const dbe::detail::TableData&, std::ostream&)>;
inline std::vector<InfoPrinter>& InfoPrinters() {
    static std::vector<InfoPrinter> printers;
    return printers;
}

}  // namespace dbtool
