#include "converters/conversion.h"

#include <exception>
#include <memory>

#include "converters/archive.h"
#include "dbengine/batchmove.h"
#include "dbengine/errors.h"
#include "dbengine/session.h"
#include "dbshared/dbdirectory.h"
#include "rtl/strutil.h"

namespace conv {

const char* const kTempAlias = "TEMP_ALIAS";
const char* const kNewDatabase = "KorvixNetGlobal";

namespace {

constexpr std::size_t kKeptDoorChars = 60;
constexpr std::size_t kAddedDoorChars = 68;

struct TUnmovedTable {
    std::string name;
    int code;
    std::string reason;
};

// "Saved tables could not be converted ...: A.DB (reason), B.DB (reason)".
std::string UnmovedMessage(const std::string& savedFolder, const std::vector<TUnmovedTable>& tables) {
    std::string names;
    for (const auto& t : tables) {
        if (!names.empty()) names += ", ";
        names += t.name + " (" + t.reason + ")";
    }
    return rtl::Format("Saved tables could not be converted and remain only in %s: %s", savedFolder.c_str(),
                       names.c_str());
}

// The folder of the new database: the folder of its door table.
std::string NewDatabaseFolder() {
    dbe::TTable doors;
    doors.DatabaseName = kNewDatabase;
    doors.TableName = "Doors.DB";
    doors.Open();
    std::string folder = GetDatabaseDirectory(doors.DBHandle());
    doors.Close();
    return folder;
}

void FixAccessGroups() {
    dbe::TTable groups;
    groups.DatabaseName = kNewDatabase;
    groups.TableName = "accgroup.db";
    groups.Open();
    groups.First();
    while (!groups.Eof()) {
        groups.Edit();
        dbe::TField& doors = groups.FieldByName("Doors");
        // A null door string reads as the empty text: it becomes 68 "D" like any other short
        // value instead of stopping the fix halfway through the table.
        const std::string saved = doors.IsNull() ? std::string() : doors.AsString();
        // A table that arrived by the copy keeps its saved, narrower field: it gets what fits.
        std::string widened = WidenAccessDoors(saved);
        if (doors.Size() > 0 && widened.size() > static_cast<std::size_t>(doors.Size()))
            widened.resize(static_cast<std::size_t>(doors.Size()));
        doors.SetAsString(widened);
        groups.Next();
    }
    groups.Close();
}

bool CarriedByArchive(const std::vector<std::string>& members, const std::string& table) {
    for (const std::string& m : members)
        if (rtl::AsciiSameText(m, table)) return true;
    return false;
}

}  // namespace

TConverterSteps::~TConverterSteps() = default;
void TConverterSteps::ProcessMessages() {}
void TConverterSteps::TableMoved(const std::string&) {}
void TConverterSteps::TablesDone() {}

std::vector<std::string> MappingFor(const std::vector<dbe::TFieldDef>& fields) {
    std::vector<std::string> lines;
    for (const auto& f : fields)
        if (f.Name != "OperNum") lines.push_back(f.Name + "=" + f.Name);
    return lines;
}

std::string WidenAccessDoors(const std::string& saved) {
    return saved.substr(0, kKeptDoorChars) + std::string(kAddedDoorChars, 'D');
}

void RunConversion(const std::string& savedFolder, const void* archive, std::size_t archiveSize,
                   TConverterSteps& steps) {
    steps.ProcessMessages();

    dbe::TSession& session = dbe::Session();
    if (session.IsAlias(kTempAlias)) session.DeleteAlias(kTempAlias);
    session.SetConfigMode(dbe::cmAll);
    session.AddStandardAlias(kTempAlias, savedFolder, "PARADOX");

    std::vector<std::string> members;
    {
        TArchiveReader reader(archive, archiveSize);
        steps.ProcessMessages();
        reader.ExtractAll(NewDatabaseFolder());
        members = reader.MemberNames();
    }

    std::vector<TUnmovedTable> unmoved;
    {
        auto source = std::make_unique<dbe::TTable>();
        auto destination = std::make_unique<dbe::TTable>();
        source->DatabaseName = kTempAlias;
        destination->DatabaseName = kNewDatabase;
        auto move = std::make_unique<dbe::TBatchMove>();
        move->Source = source.get();
        move->Destination = destination.get();
        move->Mode = dbe::batAppendUpdate;
        const std::vector<std::string> names = session.GetTableNames(kTempAlias, "", true, false);

        for (const std::string& name : names) {
            source->TableName = name;
            destination->TableName = name;
            try {
                source->Open();
            } catch (const dbe::EDBEngineError& e) {
                // A damaged or stray saved table: the others are converted all the same.
                unmoved.push_back({name, e.ErrorCode(), e.Message()});
                continue;
            }
            move->Mappings = MappingFor(source->FieldDefs());
            bool appended = false;
            // A table that the archive does not carry has no table of the new database to go
            // into (its append could only fail): it goes straight to the copy, which creates it
            // anew, so that a second run gives its rows once more instead of appending them to
            // the first run's copy.
            bool copy = !CarriedByArchive(members, name);
            if (!copy) {
                try {
                    move->Execute();
                    appended = true;
                } catch (const dbe::EDBEngineError&) {
                    // The new database refused the rows: carry the saved table over as a copy.
                    copy = true;
                }
            }
            if (copy) {
                move->Mode = dbe::batCopy;
                try {
                    move->Execute();
                } catch (const dbe::EDBEngineError& e) {
                    // Not moved at all: the run goes on, and ends with an error naming it.
                    unmoved.push_back({name, e.ErrorCode(), e.Message()});
                }
                move->Mode = dbe::batAppendUpdate;
            }
            if (appended) steps.TableMoved(name);
            source->Close();
        }
    }

    try {
        steps.TablesDone();
        FixAccessGroups();
    } catch (const std::exception& e) {
        if (unmoved.empty()) throw;
        // The list of unconverted tables must not be lost behind the later failure.
        throw dbe::EDBEngineError(unmoved.front().code, UnmovedMessage(savedFolder, unmoved) + ". Then: " + e.what());
    }

    if (!unmoved.empty()) throw dbe::EDBEngineError(unmoved.front().code, UnmovedMessage(savedFolder, unmoved));
}

}  // namespace conv
