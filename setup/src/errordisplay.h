// The process's default error display: a task-modal "Application Error" box naming the
// exception's class, the module and address where it arose, and its message.
#pragma once

#include <exception>
#include <string>

// The text of the box ("Exception <class> in module <module> at <address>.\n<message>").
std::string DefaultErrorText(const std::exception& e);
void ShowDefaultError(const std::exception& e);
