#include "tk/tk_utils.hpp"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include "tk/tk_exception.hpp"
#include "tk/tk_file_name.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

namespace {

// The version record DllGetVersion fills in; cbSize is set by the caller.
struct dll_version_info {
    uint32_t cbSize;
    uint32_t dwMajorVersion;
    uint32_t dwMinorVersion;
    uint32_t dwBuildNumber;
    uint32_t dwPlatformID;
};
using dll_get_version_fn = int32_t (*)(dll_version_info*);

}  // namespace

std::string tk_program_path() {
    char buffer[PATH_MAX + 1];
    const ssize_t length = readlink("/proc/self/exe", buffer, PATH_MAX);
    TK_ASSERT(length > 0 && length < PATH_MAX, "tk_utils.cpp");
    return std::string(buffer, static_cast<size_t>(length));
}

std::u16string tk_program_wpath() {
    return tk_a2w(tk_program_path());
}

std::string tk_program_folder() {
    const tk_file_name parts(tk_program_path());
    return parts.drive + parts.dir;
}

std::u16string tk_program_wfolder() {
    return tk_a2w(tk_program_folder());
}

uint32_t get_dll_version(const std::string& library) {
    void* handle = dlopen(library.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (handle == nullptr) {
        TK_TRACE("get_dll_version failed to load DLL");
        return 0;
    }
    uint32_t version = 0;
    void* symbol = dlsym(handle, "DllGetVersion");
    if (symbol == nullptr) {
        TK_TRACE("get_dll_version failed to obtain DllGetVersion");
    } else {
        dll_version_info info{};
        info.cbSize = sizeof info;
        auto get_version = reinterpret_cast<dll_get_version_fn>(symbol);
        if (get_version(&info) >= 0) {
            version = (info.dwMajorVersion << 16) + info.dwMinorVersion;
        }
    }
    dlclose(handle);
    return version;
}
