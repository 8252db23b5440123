#pragma once
// Process utilities: the program's own file and folder, and a shared library's version.
// (Copying text to the clipboard belongs to the Qt front end.)

#include <cstdint>
#include <string>

// The running program's full path (/proc/self/exe); failure is an internal assertion.
std::string tk_program_path();
std::u16string tk_program_wpath();
// The program's drive and folder, with its trailing '/'.
std::string tk_program_folder();
std::u16string tk_program_wfolder();

// Loads the library and asks its "DllGetVersion" export for major * 65536 + minor. Answers 0
// when the library does not load, has no such export or the call fails; the library is always
// unloaded again.
uint32_t get_dll_version(const std::string& library);
