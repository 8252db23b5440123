#pragma once
// ora_engine: the OCI session of the process (environment, error, server, session and service
// context handles), the mapping of OCI statuses to exceptions, and the few one-shot statements
// the rest of the Oracle side needs. ora_stmt: one statement handle, made for a statement and
// freed with it.
//
// One engine is the process's own (instance() answers it). A run that loads several tables at
// once gives each further thread an engine of its own, with its own environment and session, and
// binds it to that thread: instance() on that thread answers the thread's engine, so everything
// below the engine works on the thread's session without knowing there are others.
//
// The environment is UTF-16 for both the database and the national character set: every SQL
// text and attribute text goes to OCI as UTF-16 with its length in bytes.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "ora/ora_database.hpp"
#include "tk/tk_exception.hpp"

// Opaque OCI handles; their calls and constants stay inside this folder (ora_oci.hpp).
struct OCIEnv;
struct OCIError;
struct OCISvcCtx;
struct OCIServer;
struct OCISession;
struct OCIStmt;

class ora_engine {
  public:
    // Marks the constructor of an engine for one further thread.
    struct thread_session_t {};
    static constexpr thread_session_t thread_session{};

    // Loads the client library and allocates the handles; without a client library this raises
    // the missing-client exception before any OCI call is made. This is the process's engine: a
    // second one while it lives is an internal error.
    ora_engine();
    // An engine for one further thread: its own environment (made for threaded use), handles
    // and, after open_db, session. It is not the process's engine; bind it to its thread.
    explicit ora_engine(thread_session_t);
    ~ora_engine();
    ora_engine(const ora_engine&) = delete;
    ora_engine& operator=(const ora_engine&) = delete;

    void initialize();

    // The engine of the calling thread: the one bound to it, else the process's engine (an
    // internal error when there is none).
    static ora_engine& instance() {
        if (thread_engine_ != nullptr) {
            return *thread_engine_;
        }
        TK_ASSERT(process_engine_ != nullptr, "tk_singl.cpp");
        return *process_engine_;
    }
    // Whether the process's engine lives.
    static bool exists() noexcept { return process_engine_ != nullptr; }

    // While it lives, instance() on the constructing thread answers the given engine.
    class thread_binding {
      public:
        explicit thread_binding(ora_engine& engine) noexcept : previous_(thread_engine_) {
            thread_engine_ = &engine;
        }
        ~thread_binding() { thread_engine_ = previous_; }
        thread_binding(const thread_binding&) = delete;
        thread_binding& operator=(const thread_binding&) = delete;

      private:
        ora_engine* previous_;
    };

    // Connects to host:port/service, or, when host and port are both empty, to `service` taken
    // as a net service name or a full connect descriptor. The database of the new session
    // belongs to the caller.
    std::unique_ptr<ora_database> open_db(std::u16string_view host, std::u16string_view user,
                                          std::u16string_view password, std::u16string_view port,
                                          std::u16string_view service);
    // Attaches to the data source and begins the session; a second call detaches first.
    std::unique_ptr<ora_database> open_db(std::u16string_view data_source, std::u16string_view user,
                                          std::u16string_view password);

    // The data source the five-value open_db connects to.
    static std::u16string make_data_source(std::u16string_view host, std::u16string_view port,
                                           std::u16string_view service);

    // OCI_ERROR raises ora_exception with Oracle's number and text; an invalid handle is only
    // logged; every other status passes.
    void check_err(int status);

    // Ends the session and frees the handles (the environment stays for the process).
    void clean();

    // Prepares and executes one statement with one iteration in the given OCI execute mode (0,
    // or OCI_PARSE_ONLY to check it without running it); the execution status is returned after
    // check_err has seen it.
    int execute(std::u16string_view sql, uint32_t mode = 0);

    // Rows of a table (quoted through get_safe_name) or of a query text.
    uint32_t get_records_cnt(std::u16string_view name, bool b_query);
    // The server release as major * 65536 + minor * 256 + patch, 0 when the banner has none.
    uint32_t get_version();
    // The release packed from a V$VERSION banner.
    static uint32_t parse_version_banner(std::string_view banner);
    // The name in double quotes, its first dot (only) separating owner and object.
    static std::u16string get_safe_name(std::u16string_view name);

    bool is_connected() const noexcept { return b_connected_; }
    OCIEnv* env() const noexcept { return env_; }
    OCIError* err() const noexcept { return err_; }
    OCISvcCtx* svc() const noexcept { return svc_; }
    OCIServer* server() const noexcept { return server_; }
    OCISession* session() const noexcept { return session_; }

    const std::u16string& data_source() const noexcept { return data_source_; }
    const std::u16string& user() const noexcept { return user_; }
    const std::u16string& password() const noexcept { return password_; }

  private:
    static inline ora_engine* process_engine_ = nullptr;
    static inline thread_local ora_engine* thread_engine_ = nullptr;

    bool b_own_environment_ = false;  // an engine of a further thread frees its environment
    bool b_attached_ = false;
    OCIServer* server_ = nullptr;
    OCISvcCtx* svc_ = nullptr;
    OCIEnv* env_ = nullptr;
    OCIError* err_ = nullptr;
    OCISession* session_ = nullptr;
    std::u16string data_source_;
    std::u16string user_;
    std::u16string password_;
    bool b_connected_ = false;  // a session was begun and set into the service context
};

class ora_stmt {
  public:
    // Allocates the statement handle from the engine's environment.
    ora_stmt();
    ~ora_stmt();
    ora_stmt(const ora_stmt&) = delete;
    ora_stmt& operator=(const ora_stmt&) = delete;

    OCIStmt* handle() const noexcept { return stmt_; }

    // OCIStmtPrepare with the UTF-16 text and native syntax, through check_err.
    void prepare(std::u16string_view sql);
    // OCIStmtExecute on the engine's session, through check_err; the status is returned so
    // callers can test OCI_NO_DATA.
    int execute(uint32_t iterations, uint32_t mode = 0);

  private:
    OCIStmt* stmt_ = nullptr;
};
