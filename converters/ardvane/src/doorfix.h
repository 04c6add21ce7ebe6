// The door address fix of the L2.1 converter: one door address worked out from the old
// installation's configuration (section "Net" of the INI file "c:\a.tmp"), written with line 0
// into every row of the new database's door table.
//
// GetLocalIPAddress shows a message box (caption "Error") when the host lookup fails and
// answers "0.0.0.0" then. UpdateDoorAddresses raises the engine's errors (a key collision
// leaves the table unchanged).
#pragma once

#include <windows.h>
#include <winsock.h>

#include <cstdint>
#include <string>

#include "converters/plugin.h"

namespace ardvane {

extern const char* const kOldConfigPath;  // "c:\a.tmp"
constexpr std::size_t kDoorAddressChars = 15;

// The computer's name (at most 15 characters), or "" when the system call fails.
std::string GetLocalComputerName();
// This computer's address as dotted text; Windows Sockets must be started.
std::string GetLocalIPAddress();
// The message box text for a failed host lookup's socket error code ("" for unknown codes).
const char* HostLookupErrorText(int code);

// Replaces the host lookup and its error code (tests); nullptr restores the system's own.
using THostLookup = hostent*(WINAPI*)(const char* name);
using TLookupError = int(WINAPI*)();
void SetHostLookup(THostLookup lookup, TLookupError lastError);

// An INI integer: decimal with an optional sign, or hexadecimal after "0x" / "0X".
// False for any other text (which then counts as missing).
bool ParseIniInteger(const std::string& text, int32_t& value);

// The door address from section "Net" of the INI file at iniPath.
std::string ReadDoorAddress(const std::string& iniPath);
// Sets IPAddr to address and Line to 0 in every row of the new database's door table.
void UpdateDoorAddresses(const std::string& address);

// Convert's steps for the L2.1 converter: the door address after the door table's move, the
// door update after all tables.
class TArdvaneSteps : public conv::TPluginSteps {
public:
    void TableMoved(const std::string& tableName) override;
    void TablesDone() override;
    const std::string& DoorAddress() const { return doorAddress_; }

private:
    std::string doorAddress_;
};

}  // namespace ardvane
