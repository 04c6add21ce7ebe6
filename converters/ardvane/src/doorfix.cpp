#include "doorfix.h"

#include <cstdlib>

#include "dbengine/query.h"
#include "rtl/strutil.h"

namespace ardvane {

const char* const kOldConfigPath = "c:\\a.tmp";

namespace {

THostLookup g_lookup = nullptr;
TLookupError g_lookupError = nullptr;

constexpr DWORD kComputerNameChars = 16;  // 15 characters and the terminating zero
constexpr DWORD kIniValueChars = 2048;
constexpr int kAddressBytes = 4;

hostent* LookupHost(const char* name) { return g_lookup ? g_lookup(name) : gethostbyname(name); }
int LookupError() { return g_lookupError ? g_lookupError() : WSAGetLastError(); }

std::string IniString(const std::string& path, const char* section, const char* key,
                      const char* fallback) {
    std::string buffer(kIniValueChars, '\0');
    const DWORD n = GetPrivateProfileStringA(section, key, fallback, &buffer[0], kIniValueChars,
                                             path.c_str());
    buffer.resize(n);
    return buffer;
}

// A missing key, or a text that is no integer, gives the fallback.
int32_t IniInteger(const std::string& path, const char* section, const char* key,
                   int32_t fallback) {
    int32_t value = 0;
    return ParseIniInteger(IniString(path, section, key, ""), value) ? value : fallback;
}

}  // namespace

void SetHostLookup(THostLookup lookup, TLookupError lastError) {
    g_lookup = lookup;
    g_lookupError = lastError;
}

const char* HostLookupErrorText(int code) {
    switch (code) {
        case 10004: return "The (blocking) call was canceled through WSACancelBlockingCall.";
        case 10014: return "The name argument is not a valid part of the user address space.";
        case 10036: return "A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a callback function.";
        case 10050: return "The network subsystem has failed.";
        case 10093: return "A successful WSAStartup must occur before using this function.";
        case 11001: return "Authoritative Answer Host not found.";
        case 11002: return "Non-Authoritative Host not found, or server failure.";
        case 11003: return "Nonrecoverable error occurred.";
        case 11004: return "Valid name, no data record of requested type.";
        default: return "";
    }
}

std::string GetLocalComputerName() {
    char buffer[kComputerNameChars] = {};
    DWORD size = kComputerNameChars;
    if (!GetComputerNameA(buffer, &size)) return std::string();
    return std::string(buffer);
}

std::string GetLocalIPAddress() {
    const std::string name = GetLocalComputerName();
    unsigned char address[kAddressBytes] = {0, 0, 0, 0};
    const hostent* host = LookupHost(name.c_str());
    // An entry without an address, or with addresses that are not four bytes long, counts as
    // a failed lookup: nothing is read past what the entry holds.
    if (host && host->h_length == kAddressBytes && host->h_addr_list && host->h_addr_list[0]) {
        for (int i = 0; i < kAddressBytes; ++i)
            address[i] = static_cast<unsigned char>(host->h_addr_list[0][i]);
    } else {
        MessageBoxA(nullptr, HostLookupErrorText(LookupError()), "Error", MB_OK | MB_ICONERROR);
    }
    return rtl::Format("%u.%u.%u.%u", address[0], address[1], address[2], address[3]);
}

bool ParseIniInteger(const std::string& text, int32_t& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t v = 0;
    if (text.size() - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        i += 2;
        if (text.size() - i > 8) return false;  // more than 32 bits
        for (; i < text.size(); ++i) {
            const char c = text[i];
            int digit;
            if (c >= '0' && c <= '9') digit = c - '0';
            else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
            else return false;
            v = v * 16 + digit;
        }
        // Eight hexadecimal digits are a 32-bit pattern: 0xFFFFFFFF is -1.
        value = static_cast<int32_t>(static_cast<uint32_t>(negative ? -v : v));
        return true;
    }
    if (i == text.size()) return false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > 2147483648LL) return false;
    }
    if (negative) v = -v;
    if (v > 2147483647LL) return false;
    value = static_cast<int32_t>(v);
    return true;
}

std::string ReadDoorAddress(const std::string& iniPath) {
    if (IniInteger(iniPath, "Net", "Local", 1) != 0) return std::string();
    if (IniInteger(iniPath, "Net", "Server", 1) != 0) {
        // Started once and left running for the life of the process.
        WSADATA data;
        WSAStartup(MAKEWORD(1, 0), &data);
        return GetLocalIPAddress().substr(0, kDoorAddressChars);
    }
    return IniString(iniPath, "Net", "ServerIP", "000.000.0.0").substr(0, kDoorAddressChars);
}

void UpdateDoorAddresses(const std::string& address) {
    dbe::TQuery query;
    query.DatabaseName = conv::kNewDatabase;
    query.SQL.clear();
    query.ClearParams();
    query.SQL.push_back("UPDATE 'doors.db'");
    query.SQL.push_back("SET IPAddr=:IP,Line=0");
    dbe::TParam& ip = query.ParamByName("IP");
    ip.DataType = dbe::ftString;
    ip.SetAsString(address);
    ip.ParamType = dbe::ptInput;
    query.ExecSQL();
}

void TArdvaneSteps::TableMoved(const std::string& tableName) {
    if (rtl::AsciiLower(tableName) == "doors.db") doorAddress_ = ReadDoorAddress(kOldConfigPath);
}

void TArdvaneSteps::TablesDone() { UpdateDoorAddresses(doorAddress_); }

}  // namespace ardvane
