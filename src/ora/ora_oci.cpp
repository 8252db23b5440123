// The one place that touches the client library itself: which names are tried, dlopen, and the
// symbol lookups that fill the function table. Everything else calls through ora_oci().

#include "ora/ora_oci.hpp"

#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"

const char* const ora_missing_client_message =
    "The Oracle client and networking components were not found.\n"
    "These components are supplied by the Oracle Corporation and\n"
    "are part of the Oracle Version 7.3.4 (or later) client\n"
    "software installation. You will be unable to use this program\n"
    "until these components have been installed.";

namespace {

struct client_library {
    std::mutex mutex;
    void* handle = nullptr;
    ora_oci_functions functions;
    std::atomic<bool> b_loaded{false};  // set once, after the table is filled
};

client_library& client() {
    static client_library instance;
    return instance;
}

// Looks one function up by name; the loader's message is kept when it is missing.
template <class F>
bool resolve(void* library, const char* name, F& slot, std::string& error) {
    dlerror();
    void* address = dlsym(library, name);
    if (address == nullptr) {
        const char* text = dlerror();
        error = text != nullptr ? text : std::string("undefined symbol: ") + name;
        return false;
    }
    slot = reinterpret_cast<F>(address);
    return true;
}

bool resolve_all(void* library, ora_oci_functions& f, std::string& error) {
    return resolve(library, "OCIEnvNlsCreate", f.env_nls_create, error) &&
           resolve(library, "OCIHandleAlloc", f.handle_alloc, error) &&
           resolve(library, "OCIHandleFree", f.handle_free, error) &&
           resolve(library, "OCIDescriptorAlloc", f.descriptor_alloc, error) &&
           resolve(library, "OCIDescriptorFree", f.descriptor_free, error) &&
           resolve(library, "OCIErrorGet", f.error_get, error) &&
           resolve(library, "OCIAttrSet", f.attr_set, error) &&
           resolve(library, "OCIAttrGet", f.attr_get, error) &&
           resolve(library, "OCIServerAttach", f.server_attach, error) &&
           resolve(library, "OCIServerDetach", f.server_detach, error) &&
           resolve(library, "OCISessionBegin", f.session_begin, error) &&
           resolve(library, "OCISessionEnd", f.session_end, error) &&
           resolve(library, "OCITransCommit", f.trans_commit, error) &&
           resolve(library, "OCITransRollback", f.trans_rollback, error) &&
           resolve(library, "OCIStmtPrepare", f.stmt_prepare, error) &&
           resolve(library, "OCIStmtExecute", f.stmt_execute, error) &&
           resolve(library, "OCIStmtFetch", f.stmt_fetch, error) &&
           resolve(library, "OCIParamGet", f.param_get, error) &&
           resolve(library, "OCIDefineByPos", f.define_by_pos, error) &&
           resolve(library, "OCIBindByName", f.bind_by_name, error) &&
           resolve(library, "OCIBindByPos", f.bind_by_pos, error) &&
           resolve(library, "OCIBindDynamic", f.bind_dynamic, error) &&
           resolve(library, "OCILobWrite", f.lob_write, error) &&
           resolve(library, "OCILobRead", f.lob_read, error) &&
           resolve(library, "OCILobCharSetForm", f.lob_char_set_form, error) &&
           resolve(library, "OCIDateTimeGetDate", f.date_time_get_date, error) &&
           resolve(library, "OCIDateTimeGetTime", f.date_time_get_time, error) &&
           resolve(library, "OCIDateTimeConstruct", f.date_time_construct, error);
}

}  // namespace

std::vector<std::string> ora_oci_library_names() {
    std::vector<std::string> names;
    const char* chosen = std::getenv("BRIXEL_OCI_LIBRARY");
    if (chosen != nullptr && *chosen != '\0') {
        names.emplace_back(chosen);
    }
    names.emplace_back("libclntsh.so");
    for (int major = 23; major >= 11; --major) {
        names.push_back("libclntsh.so." + std::to_string(major) + ".1");
    }
    return names;
}

void ora_oci_load() {
    client_library& c = client();
    std::lock_guard<std::mutex> lock(c.mutex);
    if (c.b_loaded.load(std::memory_order_acquire)) {
        return;
    }
    std::string tried;
    for (const std::string& name : ora_oci_library_names()) {
        if (!tried.empty()) {
            tried += ", ";
        }
        tried += name;
        dlerror();
        void* library = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            const char* text = dlerror();
            TK_LOG(2, "Cannot load the Oracle client library %s: %s", name.c_str(),
                   text != nullptr ? text : "unknown error");
            continue;
        }
        ora_oci_functions functions;
        std::string error;
        if (!resolve_all(library, functions, error)) {
            TK_LOG(2, "The Oracle client library %s lacks a function: %s", name.c_str(),
                   error.c_str());
            dlclose(library);
            continue;
        }
        TK_LOG(2, "Oracle client library loaded: %s", name.c_str());
        c.handle = library;  // kept until the process ends
        c.functions = functions;
        c.b_loaded.store(true, std::memory_order_release);
        return;
    }
    TK_LOG(3, "No Oracle client library could be loaded; names tried: %s", tried.c_str());
    throw tk_exception(ora_missing_client_message, 1);
}

bool ora_oci_loaded() noexcept {
    return client().b_loaded.load(std::memory_order_acquire);
}

const ora_oci_functions& ora_oci() {
    client_library& c = client();
    TK_ASSERT(c.b_loaded.load(std::memory_order_acquire), "ora_engi.cpp");
    return c.functions;
}
