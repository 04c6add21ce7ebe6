// dbtool: create, fill, dump and describe Paradox tables with the engine.
//
//   dbtool create <definition.tdef> <folder>   new empty table family from a definition
//   dbtool import <table.DB> <rows.csv>        appends rows (header line of field names,
//                                              UTF-8, empty cell = null)
//   dbtool dump <table.DB>                     field names, then the rows, as UTF-8 CSV
//   dbtool info <table.DB>                     header, fields, checks and indexes
// Alpha and Memo text is converted between UTF-8 and the table's code page; Bytes, Graphic,
// Blob and OLE values are written as 0x followed by hex digits. Exit code 0 on success, 1 on
// an error (message on stderr), 2 on bad usage.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "codepage.h"
#include "dbengine/dbengine.h"
#include "dbtool_extras.h"
#include "fileio.h"
#include "rtl/strutil.h"
#include "tabledata.h"
#include "tdef.h"

namespace {

using namespace dbe;

int Usage() {
    std::cerr << "usage: dbtool create <definition.tdef> <folder>\n"
                 "       dbtool import <table.DB> <rows.csv>\n"
                 "       dbtool dump <table.DB>\n"
                 "       dbtool info <table.DB>\n";
    return 2;
}

void SplitPath(const std::string& path, std::string& folder, std::string& file) {
    auto slash = path.find_last_of("/\\");
    if (slash == std::string::npos) {
        folder = ".";
        file = path;
    } else {
        folder = path.substr(0, slash + 1);
        file = path.substr(slash + 1);
    }
}

bool IsBinary(TFieldType t) {
    return t == TFieldType::Bytes || t == TFieldType::Graphic || t == TFieldType::Blob ||
           t == TFieldType::OLE;
}
bool IsText(TFieldType t) {
    return t == TFieldType::String || t == TFieldType::Memo || t == TFieldType::FmtMemo;
}

std::string Hex(const std::string& b) {
    static const char* d = "0123456789ABCDEF";
    std::string s = "0x";
    for (unsigned char c : b) {
        s += d[c >> 4];
        s += d[c & 15];
    }
    return s;
}
bool Unhex(const std::string& s, std::string& out) {
    if (s.size() < 2 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X') || s.size() % 2) return false;
    out.clear();
    auto v = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (std::size_t i = 2; i < s.size(); i += 2) {
        int h = v(s[i]), l = v(s[i + 1]);
        if (h < 0 || l < 0) return false;
        out += static_cast<char>(h * 16 + l);
    }
    return true;
}

std::string CsvCell(const std::string& v) {
    bool quote = v.find_first_of(",\"\r\n") != std::string::npos ||
                 (!v.empty() && (v.front() == ' ' || v.back() == ' '));
    if (!quote) return v;
    std::string s = "\"";
    for (char c : v) {
        if (c == '"') s += '"';
        s += c;
    }
    return s + "\"";
}

// Reads CSV records (RFC 4180 style); false on an unterminated quote.
bool ParseCsv(const std::string& text, std::vector<std::vector<std::string>>& rows) {
    std::vector<std::string> row;
    std::string cell;
    bool inQuotes = false, any = false;
    std::size_t i = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (inQuotes) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    cell += '"';
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                cell += c;
            }
            continue;
        }
        if (c == '"') {
            inQuotes = true;
            any = true;
        } else if (c == ',') {
            row.push_back(cell);
            cell.clear();
            any = true;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            if (any || !cell.empty()) {
                row.push_back(cell);
                rows.push_back(row);
            }
            row.clear();
            cell.clear();
            any = false;
        } else {
            cell += c;
            any = true;
        }
    }
    if (inQuotes) return false;
    if (any || !cell.empty()) {
        row.push_back(cell);
        rows.push_back(row);
    }
    return true;
}

void OpenPath(TTable& t, const std::string& path) {
    std::string folder, file;
    SplitPath(path, folder, file);
    t.DatabaseName = folder;
    t.TableName = file;
    t.Open();
}

int Create(const std::string& defPath, const std::string& folder) {
    std::string text;
    if (!detail::ReadWholeFile(defPath, text)) {
        std::cerr << "dbtool: cannot read " << defPath << "\n";
        return 1;
    }
    detail::CreateSpec spec;
    std::string error;
    if (!dbtool::ParseDefinition(text, spec, error)) {
        std::cerr << "dbtool: " << defPath << ": " << error << "\n";
        return 1;
    }
    std::string path = detail::CreateTable(folder, spec);
    std::cout << path << "\n";
    return 0;
}

int Import(const std::string& path, const std::string& csvPath) {
    std::string text;
    if (!detail::ReadWholeFile(csvPath, text)) {
        std::cerr << "dbtool: cannot read " << csvPath << "\n";
        return 1;
    }
    std::vector<std::vector<std::string>> rows;
    if (!ParseCsv(text, rows)) {
        std::cerr << "dbtool: " << csvPath << ": unterminated quoted cell\n";
        return 1;
    }
    if (rows.empty()) return 0;
    TTable t;
    OpenPath(t, path);
    int cp = detail::FindLoadedTable(t.FullPath())->schema.codePage;
    std::vector<TField*> fields;
    for (auto& name : rows[0]) fields.push_back(&t.FieldByName(name));
    for (std::size_t r = 1; r < rows.size(); ++r) {
        if (rows[r].size() != fields.size()) {
            std::cerr << "dbtool: " << csvPath << ": row " << r + 1 << " has " << rows[r].size()
                      << " cells, the header " << fields.size() << "\n";
            return 1;
        }
        t.Append();
        for (std::size_t c = 0; c < fields.size(); ++c) {
            const std::string& cell = rows[r][c];
            TField& f = *fields[c];
            if (cell.empty()) {
                f.Clear();
            } else if (IsBinary(f.DataType())) {
                std::string bytes;
                if (!Unhex(cell, bytes)) bytes = cell;
                f.SetAsBlob(bytes);
            } else if (IsText(f.DataType())) {
                std::string conv;
                if (!dbtool::Utf8ToCodePage(cell, cp, conv)) {
                    std::cerr << "dbtool: row " << r + 1 << ", field " << f.FieldName()
                              << ": characters outside code page " << cp << "\n";
                    return 1;
                }
                f.SetAsString(conv);
            } else {
                f.SetAsString(cell);
            }
        }
        t.Post();
    }
    t.Close();
    return 0;
}

int Dump(const std::string& path) {
    TTable t;
    OpenPath(t, path);
    int cp = detail::FindLoadedTable(t.FullPath())->schema.codePage;
    std::string out;
    for (int i = 0; i < t.FieldCount(); ++i) out += (i ? "," : "") + CsvCell(t.Fields(i).FieldName());
    out += "\r\n";
    for (t.First(); !t.Eof(); t.Next()) {
        for (int i = 0; i < t.FieldCount(); ++i) {
            TField& f = t.Fields(i);
            std::string v;
            if (!f.IsNull()) {
                if (IsBinary(f.DataType())) v = Hex(f.AsBlob());
                else if (IsText(f.DataType())) v = dbtool::CodePageToUtf8(f.AsString(), cp);
                else v = f.AsString();
            }
            out += (i ? "," : "") + CsvCell(v);
        }
        out += "\r\n";
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

const char* TypeCode(const detail::FieldInfo& f) {
    switch (f.code) {
    case detail::fcAlpha: return "A";
    case detail::fcShort: return "S";
    case detail::fcLong: return "I";
    case detail::fcLogical: return "L";
    case detail::fcDate: return "D";
    case detail::fcTime: return "T";
    case detail::fcMemo: return "M";
    case detail::fcGraphic: return "G";
    case detail::fcNumber: return "N";
    case detail::fcCurrency: return "$";
    case detail::fcAutoInc: return "+";
    case detail::fcTimestamp: return "@";
    case detail::fcBlob: return "B";
    case detail::fcFmtMemo: return "F";
    case detail::fcOLE: return "O";
    case detail::fcBytes: return "Y";
    case detail::fcBCD: return "#";
    default: return "?";
    }
}

int Info(const std::string& path) {
    TTable t;
    OpenPath(t, path);
    auto data = detail::FindLoadedTable(t.FullPath());
    const detail::Schema& s = data->schema;
    std::cout << "table " << s.tableName << "\n"
              << "level " << s.level << "\n"
              << "fileversion " << s.fileVersion << "\n"
              << "blocksize " << s.blockSize << "\n"
              << "codepage " << s.codePage << "\n"
              << "sortorder " << s.sortOrder << "\n"
              << "recordsize " << s.recordSize << "\n"
              << "records " << t.RecordCount() << "\n"
              << "keyfields " << s.keyFields << "\n";
    for (auto& f : s.fields) {
        std::string size;
        if (f.code == detail::fcAlpha || f.code == detail::fcBytes) size = std::to_string(f.width);
        else if (f.blob) size = std::to_string(f.leader);
        else if (f.code == detail::fcBCD) size = std::to_string(f.def.Size);   // decimals
        std::cout << "field " << f.name << " " << TypeCode(f) << size
                  << (f.index < s.keyFields ? " key" : "") << "\n";
    }
    for (auto& printer : dbtool::InfoPrinters()) printer(*data, std::cout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    std::string cmd = argv[1];
    try {
        if (cmd == "create" && argc == 4) return Create(argv[2], argv[3]);
        if (cmd == "import" && argc == 4) return Import(argv[2], argv[3]);
        if (cmd == "dump" && argc == 3) return Dump(argv[2]);
        if (cmd == "info" && argc == 3) return Info(argv[2]);
    } catch (const rtl::Exception& e) {
        std::cerr << "dbtool: " << e.ClassName() << ": " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "dbtool: " << e.what() << "\n";
        return 1;
    }
    return Usage();
}
