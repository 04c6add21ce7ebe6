// TTable and TField over the shared in-memory table (tabledata.h).
#include "dbengine/table.h"

#include <algorithm>

#include "database.h"
#include "fileio.h"
#include "rtl/strutil.h"
#include "table_hooks.h"
#include "tabledata.h"
#include "tablestream.h"

namespace dbe {

using namespace detail;

namespace {

// Rows read from the table's files, one at a time through the reader's window of blocks; a
// BLOB is read from the .MB when a field of the row asks for it.
class FileCursor final : public RowStream {
public:
    FileCursor(const std::string& dbPath, const Schema& s) : path_(dbPath), schema_(s) {
        Open();
        recordSize_ = static_cast<std::size_t>(s.recordSize);
        if (s.HasBlobs()) {
            row_.blobs.resize(s.fields.size());
            blobRead_.resize(s.fields.size());
        }
        First();
    }
    uint32_t Ordinal() const override { return ordinal_; }
    bool AtEnd() const override { return atEnd_; }
    void RowsLoaded(RecordPtr row) override {
        loaded_ = true;
        loadedRow_ = std::move(row);
        reader_.reset();   // the files may be replaced from now on
    }
    bool Loaded() const { return loaded_; }
    const RecordPtr& LoadedRow() const { return loadedRow_; }

    void First() {
        if (reader_) reader_->Rewind();
        else Open();
        ordinal_ = 0;
        atEnd_ = false;
        Read();
    }
    void Next() {
        if (atEnd_) return;
        ++ordinal_;
        Read();
    }
    // The current row (nullptr at the end) with the BLOB of field f read when f is one.
    const Record* Row(const FieldInfo* f) {
        if (atEnd_) return nullptr;
        if (f && f->blob) {
            const std::size_t i = static_cast<std::size_t>(f->index);
            if (!blobRead_[i]) {
                row_.blobs[i] = reader_->Blob(*f, row_.data.data());
                blobRead_[i] = 1;
            }
        }
        return &row_;
    }

private:
    // The files as they are now; their records must still be laid out as the table's were at
    // its open (the rows are read with that schema).
    void Open() {
        auto reader = std::make_unique<TableReader>(path_);
        reader->ExpectLayout(schema_);
        reader_ = std::move(reader);
    }
    void Read() {
        const char* rec = nullptr;
        RowPos pos = 0;
        if (!reader_->Next(rec, pos)) {
            atEnd_ = true;
            reader_.reset();   // no file stays open for a cursor at the end
            return;
        }
        row_.data.assign(rec, recordSize_);
        std::fill(blobRead_.begin(), blobRead_.end(), 0);
    }

    std::string path_;
    const Schema& schema_;
    std::unique_ptr<TableReader> reader_;
    std::size_t recordSize_ = 0;
    Record row_;
    std::vector<char> blobRead_;   // per field: row_.blobs holds this row's value
    uint32_t ordinal_ = 0;
    bool atEnd_ = false;
    bool loaded_ = false;
    RecordPtr loadedRow_;
};

}  // namespace

struct TTable::Impl {
    std::shared_ptr<TableData> data;
    std::unique_ptr<DbiDatabase> db;
    RowSet::iterator cur;
    RecordPtr curRec;          // current row (nullptr at the end)
    uint64_t generation = 0;
    bool bof = true;
    State state = State::Inactive;
    RecordPtr buffer;          // row being edited or inserted
    bool modified = false;
    std::vector<TFieldDef> defs;

    // Re-finds the cursor after changes made through other TTable objects. Returns true when
    // the current row had gone and its successor became current.
    bool successorPending = false;   // Sync moved onto the successor of a deleted row
    bool Sync() {
        if (generation == data->generation) return false;
        generation = data->generation;
        if (!curRec) {
            cur = data->rows.end();
            return false;
        }
        if (!curRec->deleted) {
            cur = data->rows.find(curRec);
            if (cur != data->rows.end()) return false;
        }
        cur = data->rows.lower_bound(curRec);
        curRec = cur == data->rows.end() ? nullptr : *cur;
        successorPending = true;
        return true;
    }
    void SetCurrent(RowSet::iterator it) {
        cur = it;
        curRec = it == data->rows.end() ? nullptr : *it;
        generation = data->generation;
        successorPending = false;
    }
    // The row a field reads (f: that field, whose BLOB is then at hand).
    const Record* ReadRecord(const FieldInfo* f) {
        if (state == State::Edit || state == State::Insert) return buffer.get();
        Ready();
        if (file) return file->Row(f);
        return curRec.get();
    }
    // A table opened for reading gets its rows at the first row access; the cursor then
    // stands where Open would have put it: on the first row as loaded, re-found by Sync
    // when other tables changed the rows since. While nobody has loaded the rows and the
    // files hold them in order, the cursor reads them from the files instead (file), until
    // a change needs the rows (Rows) or another user loads them: the cursor then stands on
    // its row as loaded.
    bool positioned = false;
    std::unique_ptr<FileCursor> file;
    void Ready() {
        if (file) {
            if (file->Loaded()) LeaveFiles();
            return;
        }
        if (positioned) return;
        if (!data->rowsLoaded && data->streamable) {
            file = std::make_unique<FileCursor>(data->dbPath, data->schema);
            data->streams.push_back(file.get());
            positioned = true;
            return;
        }
        LoadRows(*data);
        curRec = data->firstAtLoad;
        generation = data->loadGeneration;
        cur = curRec ? data->rows.find(curRec) : data->rows.end();
        successorPending = false;
        positioned = true;
    }
    // Ready, with the rows loaded.
    void Rows() {
        Ready();
        if (file) {
            LoadRows(*data);
            LeaveFiles();
        }
    }
    void LeaveFiles() {
        curRec = file->LoadedRow();
        generation = data->loadGeneration;
        cur = curRec ? data->rows.find(curRec) : data->rows.end();
        successorPending = false;
        DropFileCursor();
    }
    void DropFileCursor() {
        if (!file) return;
        auto& st = data->streams;
        st.erase(std::remove(st.begin(), st.end(), file.get()), st.end());
        file.reset();
    }
};

namespace {
[[noreturn]] void NotActive(const TTable& t) {
    throw EDatabaseError("Cannot perform this operation on a closed dataset: " + t.TableName);
}
}  // namespace

TTable::TTable() : impl_(std::make_unique<Impl>()) {}

TTable::~TTable() {
    try {
        Close();
    } catch (...) {
        // A destructor cannot report; the rows stay loaded for the exit handler.
    }
}

bool TTable::Active() const { return impl_->data != nullptr; }

void TTable::Open() {
    if (Active()) return;
    std::string folder = Session().ResolveDatabase(DatabaseName);
    if (TableName.empty()) throw EDBEngineError(ecNoSuchTable, "No table name given");
    std::string file = TableFileName(TableName);
    std::string path = FindFileNoCase(folder, file);
    if (path.empty())
        throw EDBEngineError(ecNoSuchTable, "Table does not exist: " + JoinPath(folder, file));
    auto data = AcquireTableForReading(path);
    auto& im = *impl_;
    im.data = data;
    im.db = std::make_unique<DbiDatabase>(DbiDatabase{DatabaseName, folder});
    im.state = State::Browse;
    im.buffer.reset();
    fields_.clear();
    im.defs.clear();
    for (auto& f : data->schema.fields) im.defs.push_back(f.def);
    for (std::size_t i = 0; i < data->schema.fields.size(); ++i)
        fields_.push_back(std::unique_ptr<TField>(new TField(this, static_cast<int>(i))));
    im.positioned = false;
    im.file.reset();
    if (data->rowsLoaded) {
        im.SetCurrent(data->rows.begin());
        im.positioned = true;
    }
    im.bof = true;
}

void TTable::Close() {
    auto& im = *impl_;
    if (!im.data) return;
    if (im.state == State::Edit || im.state == State::Insert) Post();
    im.DropFileCursor();
    auto data = std::move(im.data);
    im.data.reset();
    im.db.reset();
    im.curRec.reset();
    im.buffer.reset();
    im.state = State::Inactive;
    im.defs.clear();
    fields_.clear();
    ReleaseTable(data);
}

hDBIDb TTable::DBHandle() const { return impl_->db.get(); }

const std::vector<TFieldDef>& TTable::FieldDefs() const {
    return impl_->defs;
}

int TTable::FieldCount() const { return Active() ? static_cast<int>(impl_->data->schema.fields.size()) : 0; }

TField& TTable::Fields(int index) {
    if (!Active()) NotActive(*this);
    if (index < 0 || index >= FieldCount())
        throw EDatabaseError(rtl::Format("Field index out of range: %d", index));
    return *fields_[static_cast<std::size_t>(index)];
}

TField* TTable::FindField(const std::string& name) {
    if (!Active()) return nullptr;
    int i = impl_->data->schema.FindField(name);
    return i < 0 ? nullptr : fields_[static_cast<std::size_t>(i)].get();
}

TField& TTable::FieldByName(const std::string& name) {
    if (!Active()) NotActive(*this);
    TField* f = FindField(name);
    if (!f) throw EDatabaseError(rtl::Format("Field '%s' not found", name.c_str()));
    return *f;
}

int TTable::KeyFieldCount() const { return Active() ? impl_->data->schema.keyFields : 0; }
int TTable::RecordCount() const {
    if (!Active()) return 0;
    if (!impl_->data->rowsLoaded) return static_cast<int>(impl_->data->fileRecords);
    return static_cast<int>(impl_->data->rows.size());
}
std::string TTable::FullPath() const { return Active() ? impl_->data->dbPath : std::string(); }

void TTable::First() {
    if (!Active()) NotActive(*this);
    if (impl_->state != State::Browse) Post();
    impl_->Ready();
    impl_->bof = true;
    if (impl_->file) {
        impl_->file->First();
        return;
    }
    impl_->SetCurrent(impl_->data->rows.begin());
}

void TTable::Next() {
    if (!Active()) NotActive(*this);
    auto& im = *impl_;
    if (im.state != State::Browse) Post();
    im.Ready();
    if (im.file) {
        if (im.file->AtEnd()) return;
        im.file->Next();
        im.bof = false;
        return;
    }
    im.Sync();
    if (im.successorPending) {   // the current row was deleted elsewhere: its successor is next
        im.successorPending = false;
        im.bof = false;
        return;
    }
    if (im.cur == im.data->rows.end()) return;
    im.SetCurrent(std::next(im.cur));
    im.bof = false;
}

bool TTable::Eof() const {
    if (!Active()) return true;
    auto& im = *impl_;
    if (im.state == State::Insert) return false;
    const_cast<Impl&>(im).Ready();
    if (im.file) return im.file->AtEnd();
    // Asking does not move the cursor: a row deleted through another table object is still
    // read until Next moves onto its successor (when Eof moved there, the loop would read
    // the successor twice).
    if (im.generation == im.data->generation || !im.curRec || !im.curRec->deleted) return im.curRec == nullptr;
    return im.data->rows.lower_bound(im.curRec) == im.data->rows.end();
}

bool TTable::Bof() const { return !Active() || impl_->bof; }

void TTable::Edit() {
    if (!Active()) NotActive(*this);
    auto& im = *impl_;
    if (im.state == State::Edit || im.state == State::Insert) return;
    im.Rows();
    im.Sync();
    if (!im.curRec) {
        Append();
        return;
    }
    im.buffer = std::make_shared<Record>(*im.curRec);
    im.state = State::Edit;
    im.modified = false;
}

void TTable::Append() {
    if (!Active()) NotActive(*this);
    auto& im = *impl_;
    if (im.state != State::Browse) Post();
    im.Rows();
    im.buffer = im.data->NewRecord();
    im.state = State::Insert;
    im.modified = false;
}

void TTable::Post() {
    if (!Active()) NotActive(*this);
    auto& im = *impl_;
    auto& data = *im.data;
    im.Ready();
    if (im.state == State::Insert) {
        RecordPtr row = std::make_shared<Record>(*im.buffer);
        RunBeforePost(data, *row, true);
        auto it = data.InsertRow(row);   // key violation: stays in insert state
        im.state = State::Browse;
        im.buffer.reset();
        im.SetCurrent(it);
        RunAfterChange(data, nullptr, row.get());
    } else if (im.state == State::Edit && !im.modified) {
        Cancel();   // nothing changed: nothing to store
    } else if (im.state == State::Edit) {
        im.Sync();
        if (!im.curRec || im.curRec->deleted)
            throw EDBEngineError(ecState, "Record was deleted in table " + data.dbPath);
        RecordPtr row = std::make_shared<Record>(*im.buffer);
        RunBeforePost(data, *row, false);
        Record before = *im.curRec;
        auto it = data.UpdateRow(im.curRec, row);  // key violation: stays in edit state
        im.state = State::Browse;
        im.buffer.reset();
        im.SetCurrent(it);
        RunAfterChange(data, &before, im.curRec.get());
    }
    im.modified = false;
}

void TTable::Cancel() {
    auto& im = *impl_;
    if (!im.data) return;
    im.buffer.reset();
    im.state = State::Browse;
    im.modified = false;
}

void TTable::Delete() {
    if (!Active()) NotActive(*this);
    auto& im = *impl_;
    if (im.state == State::Insert) {
        Cancel();
        return;
    }
    Cancel();
    im.Rows();
    im.Sync();
    if (!im.curRec) throw EDatabaseError("Cannot perform this operation on an empty dataset");
    CheckWritable(*im.data);
    Record before = *im.curRec;
    auto next = std::next(im.cur);
    RecordPtr gone = im.curRec;
    im.data->rows.erase(im.cur);
    gone->deleted = true;
    im.data->Touch();
    im.SetCurrent(next);
    RunAfterChange(*im.data, &before, nullptr);
}

bool TTable::Modified() const { return impl_->modified; }

TTable::State TTable::GetState() const { return impl_->state; }

void TTable::FlushBuffers() {
    if (!Active()) return;
    FlushTable(*impl_->data);
}

// ---------------------------------------------------------------- TField

namespace {
FieldInfo InfoOfCode(uint8_t code) {
    FieldInfo f;
    f.code = code;
    return f;
}
struct FieldAccess {
    static const FieldInfo& Info(TTable& t, int i) { return t.impl().data->schema.fields[static_cast<std::size_t>(i)]; }
};
}  // namespace

const std::string& TField::FieldName() const { return FieldAccess::Info(*table_, index_).name; }
TFieldType TField::DataType() const { return FieldAccess::Info(*table_, index_).def.DataType; }
int TField::Size() const { return FieldAccess::Info(*table_, index_).def.Size; }

TValue TField::Value() const {
    auto& im = table_->impl();
    const FieldInfo& f = FieldAccess::Info(*table_, index_);
    const Record* r = im.ReadRecord(&f);
    if (!r) return std::monostate{};
    return DecodeValue(im.data->schema, f, *r);
}

void TField::SetValue(const TValue& v) {
    auto& im = table_->impl();
    if (im.state != TTable::State::Edit && im.state != TTable::State::Insert)
        throw EDatabaseError("Dataset not in edit or insert mode");
    EncodeValue(im.data->schema, FieldAccess::Info(*table_, index_), *im.buffer, v);
    im.modified = true;
}

bool TField::IsNull() const {
    auto& im = table_->impl();
    const FieldInfo& f = FieldAccess::Info(*table_, index_);
    const Record* r = im.ReadRecord(&f);
    return !r || IsNullValue(im.data->schema, f, *r);
}

void TField::Clear() { SetValue(std::monostate{}); }

std::string TField::AsString() const { return ValueToText(FieldAccess::Info(*table_, index_), Value()); }

void TField::SetAsString(const std::string& s) {
    const FieldInfo& f = FieldAccess::Info(*table_, index_);
    if (f.code == fcAlpha || f.code == fcBytes || f.blob) SetValue(s.empty() ? TValue{} : TValue{s});
    else SetValue(TextToValue(f, s));
}

int32_t TField::AsInteger() const {
    TValue v = Value();
    if (auto p = std::get_if<int32_t>(&v)) return *p;
    if (auto p = std::get_if<int64_t>(&v)) return static_cast<int32_t>(*p);
    if (auto p = std::get_if<bool>(&v)) return *p;
    if (auto p = std::get_if<double>(&v)) return *p > -2147483648.0 && *p < 2147483648.0 ? static_cast<int32_t>(*p) : 0;
    if (auto p = std::get_if<TDate>(&v)) return DateToDays(*p);
    if (auto p = std::get_if<std::string>(&v)) {
        TValue t = TextToValue(InfoOfCode(fcLong), *p);
        if (auto q = std::get_if<int32_t>(&t)) return *q;
    }
    return 0;
}
void TField::SetAsInteger(int32_t v) { SetValue(v); }

bool TField::AsBoolean() const {
    TValue v = Value();
    if (auto p = std::get_if<bool>(&v)) return *p;
    if (auto p = std::get_if<int32_t>(&v)) return *p != 0;
    if (auto p = std::get_if<std::string>(&v)) {
        TValue t = TextToValue(InfoOfCode(fcLogical), *p);
        if (auto q = std::get_if<bool>(&t)) return *q;
    }
    return false;
}
void TField::SetAsBoolean(bool v) { SetValue(v); }

double TField::AsFloat() const {
    TValue v = Value();
    if (auto p = std::get_if<double>(&v)) return *p;
    if (auto p = std::get_if<int32_t>(&v)) return *p;
    if (auto p = std::get_if<int64_t>(&v)) return static_cast<double>(*p);
    if (auto p = std::get_if<bool>(&v)) return *p ? 1 : 0;
    if (auto p = std::get_if<std::string>(&v)) {
        TValue t = TextToValue(InfoOfCode(fcNumber), *p);
        if (auto q = std::get_if<double>(&t)) return *q;
    }
    return 0;
}
void TField::SetAsFloat(double v) { SetValue(v); }

TDate TField::AsDate() const {
    TValue v = Value();
    if (auto p = std::get_if<TDate>(&v)) return *p;
    if (auto p = std::get_if<double>(&v);
        p && DataType() == TFieldType::TimeStamp && *p >= 0 && *p < 3652060.0 * 86400000.0)
        return DaysToDate(static_cast<int32_t>(*p / 86400000.0));
    return TDate{};
}
void TField::SetAsDate(const TDate& d) {
    if (DataType() == TFieldType::TimeStamp) SetValue(static_cast<double>(DateToDays(d)) * 86400000.0);
    else SetValue(d);
}

int64_t TField::AsTime() const {
    TValue v = Value();
    if (auto p = std::get_if<int64_t>(&v)) return *p;
    if (auto p = std::get_if<int32_t>(&v)) return *p;
    return 0;
}
void TField::SetAsTime(int64_t ms) { SetValue(ms); }

std::string TField::AsBlob() const {
    TValue v = Value();
    if (auto p = std::get_if<std::string>(&v)) return *p;
    return AsString();
}
void TField::SetAsBlob(const std::string& bytes) { SetValue(bytes.empty() ? TValue{} : TValue{bytes}); }

}  // namespace dbe
