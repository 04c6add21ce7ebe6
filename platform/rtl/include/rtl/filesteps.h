// Crash tests' hook in the file layer: every call that changes the file system (a file
// created, renamed, linked or removed, a folder made or removed) passes through
// BeforeFileStep / AfterFileStep, which count the calls.
//
// For tests only: when the environment variable KX_TEST_EXIT_AT_FILE_STEP is set to
// "before:N" or "after:N" (optionally ":text", counting only the calls whose "kind path"
// contains text), the process ends right there with exit code kFileStepExitCode, with no
// clean-up of any kind (_exit; TerminateProcess on Windows), as a crash or a kill would end it.
// KX_TEST_FILE_STEP_LOG names a file to which every call is appended as "N kind path". Without
// the variables (every production run) each call costs one comparison; the variables are read
// once per process.
#pragma once

#include <string>

namespace rtl {

constexpr int kFileStepExitCode = 86;

void BeforeFileStep(const char* kind, const std::string& path);
void AfterFileStep();

}  // namespace rtl
