// The process's default error display: a task-modal "Application Error" box naming the
// exception's class, the module and address where it arose, and its message.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

// The text of the box ("Exception <class> in module <module> at <address>.\n<message>").
std::string DefaultErrorText(const std::exception& e);
void ShowDefaultError(const std::exception& e);

// The same for an exception that is no std::exception (a plug-in may throw anything): a
// generic class name and message. Call it inside a catch block.
std::string UnknownErrorText();
void ShowUnknownError();

// The same for a structured exception (an access violation, a division by zero ...): the
// class names its kind, the address is where it arose.
std::string StructuredErrorText(const EXCEPTION_RECORD& record);

// Installs the process's last-chance handler: a structured exception that nothing handles
// is shown in the box and ends the process with exit code 1.
void InstallStructuredErrorDisplay();
