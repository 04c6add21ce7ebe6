// The UPDATE statement streamed from a table's files (see sql_update.h).
//
// The statement sets the same values in every row, so two rows with equal keys before it have
// equal keys after it, and the new rows' order is decided by their new keys alone (keyed
// table) or is the files' order (unkeyed). What stays in memory per row is its new key, the
// values of its indexed fields and its place in the files:
//   1. Every row, in the files' order, gets the values in one reused record and passes the
//      checks. While the new keys keep ascending, each row is written as it passes.
//   2. When they did not, the kept keys are sorted (two equal ones stop the statement with the
//      loading way's key violation) and the rows are read again in that order and written,
//      a run of at most StreamedUpdateRunBytes() of records at a time, each run read in the files' order.
//   3. The primary index comes from the writer, each secondary index from the kept values;
//      the new files, written in the family's work folder, are put in place by rename (fileio.h).
// Whatever fails before that (a refused value, damaged files, a failed write) removes the new
// files and leaves the statement to the loading way, which raises what it always has: a
// refused row is the one it meets first, and the files stay as they were.
#include "sql_update.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>

#include "fileio.h"
#include "rtl/strutil.h"
#include "secondary_index.h"
#include "table_hooks.h"
#include "tablestream.h"

namespace dbe::detail {

void ApplyAssignments(const Schema& s, Record& r, const std::vector<UpdateAssignment>& assigns) {
    for (const UpdateAssignment& a : assigns) {
        try {
            EncodeValue(s, s.fields[size_t(a.field)], r, a.value);
        } catch (const EDBEngineError&) {
            throw;
        } catch (const rtl::Exception& e) {
            throw EDBEngineError(ecValueTooLong, "Field '" + s.fields[size_t(a.field)].name + "': " + e.Message());
        }
    }
}

bool& StreamedUpdatesEnabled() {
    static bool on = true;
    return on;
}

std::size_t& StreamedUpdateRunBytes() {
    static std::size_t bytes = 8u << 20;
    return bytes;
}

int& StreamedUpdatesDone() {
    static int n = 0;
    return n;
}

namespace {

// Two rows would get the same key.
struct KeyCollision {};

class StreamedUpdate {
public:
    StreamedUpdate(TableReader& rd, TableData& t, const std::vector<UpdateAssignment>& assigns)
        : rd_(rd), t_(t), s_(t.schema), assigns_(assigns) {
        row_.data.assign(size_t(s_.recordSize), '\0');
        if (s_.HasBlobs()) row_.blobs.resize(s_.fields.size());
        for (const FieldInfo& f : s_.fields)
            if (f.blob) blobs_.push_back(&f);
        keyWidth_ = size_t(KeyWidth(s_));
        summaryWidth_ = keyWidth_;
        indexes_ = SecondaryIndexesOf(t_);
        for (const SecondaryIndexDef& d : indexes_) {
            indexAt_.push_back(summaryWidth_);
            summaryWidth_ += size_t(s_.fields[size_t(d.field)].width);
        }
        targets_ = FamilyFilesToWrite(s_, t_.dbPath, indexes_);
        write_ = std::make_unique<FamilyWrite>(t_.dbPath);
    }

    // Steps 1 to 3 but the renames; returns the rows. Raises KeyCollision, or what failed (the
    // new files removed).
    uint32_t Write() {
        try {
            const uint32_t n = rd_.RecordCount();
            const bool keyed = s_.keyFields > 0;
            StartWriter(n);
            bool live = true;
            if (summaryWidth_ > 0) summary_.reserve(size_t(n) * summaryWidth_);
            if (keyed) pos_.reserve(n);
            const char* rec = nullptr;
            RowPos p = 0;
            uint32_t k = 0;
            for (; rd_.Next(rec, p); ++k) {
                MakeRow(rec);
                if (keyed) {
                    const size_t at = summary_.size();
                    if (live && k > 0 && CompareKeyBytes(s_, summary_.data() + at - summaryWidth_, row_.data.data()) >= 0) {
                        live = false;   // out of the new order: written in step 2
                        RemoveTemporaries();
                    }
                    pos_.push_back(p);
                }
                KeepSummary();
                if (live) w_->Add(row_);
            }
            order_.resize(k);
            for (uint32_t i = 0; i < k; ++i) order_[i] = i;
            if (!live) {
                std::stable_sort(order_.begin(), order_.end(), [&](uint32_t a, uint32_t b) {
                    return CompareKeyBytes(s_, Summary(a), Summary(b)) < 0;
                });
                for (uint32_t i = 1; i < k; ++i)
                    if (CompareKeyBytes(s_, Summary(order_[i - 1]), Summary(order_[i])) == 0) throw KeyCollision();
                StartWriter(k);
                WriteInOrder(k);
            }
            const std::string px = w_->Finish();
            w_.reset();
            if (keyed) WriteWholeFile(TempFileFor(FamilyPath(t_.dbPath, "PX")), px);
            WriteIndexes();
            return k;
        } catch (...) {
            RemoveTemporaries();
            write_.reset();   // and the work folder
            throw;
        }
    }

    // Step 3's renames.
    void Commit() { write_->Commit(targets_); }

private:
    // Row `source` of the files with the new values, checked, in row_.
    void MakeRow(const char* source) {
        std::memcpy(&row_.data[0], source, row_.data.size());
        for (const FieldInfo* f : blobs_) row_.blobs[size_t(f->index)] = rd_.Blob(*f, source);
        ApplyAssignments(s_, row_, assigns_);
        RunBeforePost(t_, row_, false);
    }

    // Step 2's writing: the rows in order_, fetched a run at a time. Each run's records are
    // read in the files' order into a buffer of bounded size, so that the files are read
    // front to back once per run rather than a window for every row.
    void WriteInOrder(uint32_t k) {
        const size_t rs = size_t(s_.recordSize);
        const uint32_t run = uint32_t(std::max<size_t>(1, StreamedUpdateRunBytes() / rs));
        std::vector<char> records(size_t(std::min(run, k)) * rs);
        std::vector<uint32_t> fetch;
        for (uint32_t start = 0; start < k; start += run) {
            const uint32_t end = std::min(k, start + run);
            fetch.resize(end - start);
            for (uint32_t i = start; i < end; ++i) fetch[i - start] = i;
            std::sort(fetch.begin(), fetch.end(), [&](uint32_t a, uint32_t b) { return pos_[order_[a]] < pos_[order_[b]]; });
            for (uint32_t i : fetch) std::memcpy(&records[size_t(i - start) * rs], rd_.At(pos_[order_[i]]), rs);
            for (uint32_t i = start; i < end; ++i) {
                MakeRow(&records[size_t(i - start) * rs]);
                w_->Add(row_);
            }
        }
    }

    void KeepSummary() {
        if (summaryWidth_ == 0) return;
        const size_t at = summary_.size();
        summary_.resize(at + summaryWidth_);
        char* out = summary_.data() + at;
        const char* d = row_.data.data();
        std::memcpy(out, d, keyWidth_);
        for (size_t i = 0; i < indexes_.size(); ++i) {
            const FieldInfo& f = s_.fields[size_t(indexes_[i].field)];
            std::memcpy(out + indexAt_[i], d + f.offset, size_t(f.width));
        }
    }

    const char* Summary(uint32_t i) const { return summary_.data() + size_t(i) * summaryWidth_; }

    void StartWriter(uint32_t n) {
        const std::string name = s_.tableName.empty() ? t_.dbPath : s_.tableName;
        w_ = std::make_unique<TableWriter>(s_, name, n);
        w_->Start(TempFileFor(t_.dbPath), s_.HasBlobs() ? TempFileFor(FamilyPath(t_.dbPath, "MB")) : std::string());
    }

    void RemoveTemporaries() {
        w_.reset();   // closes its files
        for (const std::string& t : targets_) RemoveFile(TempFileFor(t));
    }

    void WriteIndexes() {
        for (size_t i = 0; i < indexes_.size(); ++i) {
            const SecondaryIndexDef& d = indexes_[i];
            const size_t width = size_t(s_.fields[size_t(d.field)].width), at = indexAt_[i];
            // Row k: the k-th row's indexed value and key.
            auto value = [&](uint32_t k) { return Summary(order_[k]) + at; };
            auto record = [&](uint32_t k, char* r) {
                const char* sum = Summary(order_[k]);
                std::memcpy(r, sum + at, width);
                std::memcpy(r + width, sum, keyWidth_);
            };
            WriteSecondaryIndex(t_, d, uint32_t(order_.size()), value, record, t_.dbPath);
        }
    }

    TableReader& rd_;
    TableData& t_;
    const Schema& s_;
    const std::vector<UpdateAssignment>& assigns_;
    Record row_;
    std::vector<const FieldInfo*> blobs_;
    std::vector<SecondaryIndexDef> indexes_;
    std::vector<size_t> indexAt_;
    size_t keyWidth_ = 0, summaryWidth_ = 0;
    std::vector<std::string> targets_;
    std::unique_ptr<FamilyWrite> write_;   // outlives the writer's open files
    std::unique_ptr<TableWriter> w_;
    std::vector<char> summary_;   // per row: new key, then each indexed value
    std::vector<RowPos> pos_;
    std::vector<uint32_t> order_;
};

}  // namespace

bool TryStreamedUpdate(const std::string& path, const std::string& file,
                       const std::function<std::vector<UpdateAssignment>(const Schema&)>& resolve, int& rows) {
    if (!StreamedUpdatesEnabled() || FindLoadedTable(path)) return false;
    TableData t;
    t.dbPath = path;
    std::unique_ptr<TableReader> rd;
    std::unique_ptr<StreamedUpdate> u;
    std::vector<UpdateAssignment> assigns;
    uint32_t n = 0;
    try {
        rd = std::make_unique<TableReader>(path);
        t.schema = rd->header().schema;
        RunOnOpen(t);
        if (!t.writeRefusal.empty()) return false;
        if (t.schema.keyFields == 0 && !SecondaryIndexesOf(t).empty()) return false;
        assigns = resolve(t.schema);
        u = std::make_unique<StreamedUpdate>(*rd, t, assigns);
        n = u->Write();
    } catch (const KeyCollision&) {
        throw EDBEngineError(ecKeyViolation, "Key violation in table '" + file + "': the update gives two rows the same key");
    } catch (...) {
        return false;
    }
    rd.reset();   // the files are let go before they are replaced
    u->Commit();
    rows = int(n);
    ++StreamedUpdatesDone();
    RunAfterSave(t);
    return true;
}

}  // namespace dbe::detail
