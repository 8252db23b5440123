// The client-side objects behind the opaque OCI handle and descriptor pointers.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "date_time.h"
#include "oci_defs.h"
#include "ora_error.h"
#include "session.h"
#include "sim_config.h"
#include "sql_ast.h"
#include "sql_value.h"

#define OCISIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace ocisim {

constexpr ub4 kHandleMagic = 0x0C15A11Du;

struct HandleBase {
    ub4 magic = kHandleMagic;
    ub4 type = 0;
    OCIEnv* env = nullptr;
    std::vector<unsigned char> user_memory;
    virtual ~HandleBase() { magic = 0; }
};

// Checks that `h` is a live object of `type`; null when it is not.
template <typename T>
T* checked(const void* h, ub4 type) {
    auto* base = static_cast<HandleBase*>(const_cast<void*>(h));
    if (base == nullptr || base->magic != kHandleMagic || base->type != type) {
        return nullptr;
    }
    return static_cast<T*>(base);
}

}  // namespace ocisim

struct OCIEnv : ocisim::HandleBase {
    bool utf16 = false;
    bool nchar_literal_replace = false;
    std::shared_ptr<ocisim::SimConfig> config;
};

struct OCIError : ocisim::HandleBase {
    struct Record {
        int code;
        std::string message;
    };
    std::vector<Record> records;
    ub2 parse_offset = 0;
    // The rows that failed an array DML run with OCI_BATCH_ERRORS, one error handle each (owned
    // here, handed out by OCIParamGet), and for such a handle the failing row's index.
    std::vector<std::unique_ptr<OCIError>> batch;
    ub4 row_offset = 0;
    bool owned_by_parent = false;
};

struct OCIServer : ocisim::HandleBase {
    bool attached = false;
    std::string service_path;
    std::set<OCISession*> sessions;
};

struct OCISession : ocisim::HandleBase {
    std::string username;
    std::string password;
    std::unique_ptr<ocisim::Session> session;
    OCIServer* server = nullptr;
};

struct OCISvcCtx : ocisim::HandleBase {
    OCIServer* server = nullptr;
    OCISession* session = nullptr;
};

struct OCITrans : ocisim::HandleBase {};
struct OCIDescribe : ocisim::HandleBase {};

struct OCIBind : ocisim::HandleBase {
    OCIStmt* stmt = nullptr;
    std::string name;  // upper-cased without the colon; empty when bound by position
    ub4 position = 0;
    void* buf = nullptr;
    sb4 size = 0;
    ub2 dty = 0;
    void* ind = nullptr;
    ub2* alen = nullptr;
    ub2* rcode = nullptr;
    ub4 mode = 0;
    ub4 value_skip = 0;
    ub4 ind_skip = 0;
    ub4 alen_skip = 0;
    ub4 rcode_skip = 0;
    ub1 charset_form = ocisim::SQLCS_IMPLICIT;
    sb4 max_data_size = 0;
    void* in_ctx = nullptr;
    OCICallbackInBind in_cb = nullptr;
    void* out_ctx = nullptr;
    OCICallbackOutBind out_cb = nullptr;
    ub4 rows_returned = 0;
};

struct OCIDefine : ocisim::HandleBase {
    OCIStmt* stmt = nullptr;
    ub4 position = 0;
    void* buf = nullptr;
    sb4 size = 0;
    ub2 dty = 0;
    void* ind = nullptr;
    ub2* rlen = nullptr;
    ub2* rcode = nullptr;
    ub4 value_skip = 0;
    ub4 ind_skip = 0;
    ub4 rlen_skip = 0;
    ub4 rcode_skip = 0;
    ub1 charset_form = ocisim::SQLCS_IMPLICIT;
};

struct OCIParam : ocisim::HandleBase {
    ocisim::ResultColumn column;
    std::string encoded_name;  // the name as OCI_ATTR_NAME hands it out
    std::string db_charset;
};

struct OCIStmt : ocisim::HandleBase {
    std::string sql;
    std::shared_ptr<ocisim::Statement> parsed;
    std::optional<ocisim::OraError> parse_error;
    std::vector<std::unique_ptr<OCIBind>> binds;
    std::vector<std::unique_ptr<OCIDefine>> defines;
    ocisim::QueryResult result;
    bool described = false;
    size_t cursor = 0;
    ub4 row_count = 0;
    ub4 rows_fetched = 0;
    ub4 dml_errors = 0;
    std::vector<ocisim::Value> bind_values;  // one iteration's input, reused across iterations
    ub4 prefetch = 1;
    std::string last_rowid;
    std::string db_charset = "AL32UTF8";
    OCISvcCtx* svc = nullptr;  // the service context of the last execution
};

struct OCILobLocator : ocisim::HandleBase {
    bool initialised = false;
    ocisim::LobRef ref;
    bool is_clob = true;
    bool national = false;
    // A temporary LOB keeps its data here (UTF-8 text or bytes) instead of in a row.
    bool temporary = false;
    std::string temp_data;
};

struct OCIDateTime : ocisim::HandleBase {
    ocisim::DateTime value;
};

struct OCIRowid : ocisim::HandleBase {
    std::string text;
};

namespace ocisim {

// Records the error on the error handle and returns OCI_ERROR.
sword fail(OCIError* err, const OraError& e);
sword warn(OCIError* err, const OraError& e);
void clear(OCIError* err);
// Text that arrives from the application: UTF-16 or UTF-8 bytes, by the environment.
std::string client_text(const OCIEnv* env, const void* data, size_t bytes);
// Text handed to the application in the environment's encoding (no terminator).
std::string encode_client_text(const OCIEnv* env, const std::string& utf8);
// The start of every call that talks to the server: a valid service context, the error handle
// cleared, and the session behind it. Null with `status` set to what the call returns
// (OCI_INVALID_HANDLE, or ORA-03114 when there is no session); else `status` is OCI_SUCCESS.
Session* session_of(OCISvcCtx* svc, OCIError* err, sword* status);

}  // namespace ocisim
