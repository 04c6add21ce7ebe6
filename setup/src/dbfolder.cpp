#include "dbfolder.h"

#include "dbengine/dbengine.h"
#include "dbshared/dbdirectory.h"

namespace {

std::string FolderOf(dbe::TTable& table) {
    table.Open();
    std::string folder = GetDatabaseDirectory(table.DBHandle());
    table.Close();
    return folder;
}

}  // namespace

std::string FindDatabaseFolder(bool retryUnderLumexData) {
    dbe::TTable table;
    if (dbe::Session().IsAlias("LumexData")) table.DatabaseName = "LumexData";
    if (dbe::Session().IsAlias("KorvixNetGlobal")) table.DatabaseName = "KorvixNetGlobal";
    table.TableName = "Doors.DB";
    if (!retryUnderLumexData) return FolderOf(table);
    try {
        return FolderOf(table);
    } catch (const dbe::EDBEngineError&) {
        table.Close();
        table.DatabaseName = "LumexData";
        return FolderOf(table);
    }
}
