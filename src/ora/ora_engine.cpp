#include "ora/ora_engine.hpp"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "ora/ora_exception.hpp"
#include "ora/ora_oci.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

namespace {

// The environment lives until the process ends; an engine made again later (tests do that)
// allocates its handles from the same environment.
OCIEnv* process_environment = nullptr;

const OraText* oci_text(std::u16string_view text) {
    return reinterpret_cast<const OraText*>(text.data());
}

ub4 byte_length(std::u16string_view text) {
    return static_cast<ub4>(text.size() * 2);
}

// Log lines take null-terminated wide text.
std::u16string wide(std::u16string_view text) {
    return std::u16string(text);
}

// The password never reaches the log in clear text.
const char16_t* masked(std::u16string_view password) {
    return password.empty() ? u"" : u"********";
}

uintptr_t address(const void* handle) {
    return reinterpret_cast<uintptr_t>(handle);
}

}  // namespace

ora_engine::ora_engine() {
    TK_LOG(2, "ora_engine::ctor");
    TK_ASSERT(process_engine_ == nullptr, "tk_singl.cpp");
    process_engine_ = this;
    try {
        initialize();
    } catch (...) {
        clean();  // the handles allocated before the failure
        process_engine_ = nullptr;
        throw;
    }
}

ora_engine::ora_engine(thread_session_t) : b_own_environment_(true) {
    TK_LOG(2, "ora_engine::ctor (session of a further thread)");
    try {
        initialize();
    } catch (...) {
        clean();
        throw;
    }
}

ora_engine::~ora_engine() {
    TK_TRACE("ora_engine::dtor");
    clean();
    if (process_engine_ == this) {
        process_engine_ = nullptr;
    }
}

void ora_engine::initialize() {
    TK_LOG(2, "ora_engine::initialize");
    // The missing-client check, before any OCI call.
    ora_oci_load();
    const ora_oci_functions& oci = ora_oci();

    if (b_own_environment_) {
        // Threaded: the client may serve several threads of the process at once.
        OCIEnv* env = nullptr;
        const sword status =
            oci.env_nls_create(&env, OCI_THREADED | OCI_NCHAR_LITERAL_REPLACE_ON, nullptr, nullptr,
                               nullptr, nullptr, 0, nullptr, OCI_UTF16ID, OCI_UTF16ID);
        env_ = env;
        check_err(status);
    } else if (process_environment == nullptr) {
        OCIEnv* env = nullptr;
        // NCHAR literal replacement: N'...' literals reach the server as national data instead
        // of passing through the database character set with the rest of the statement text.
        const sword status =
            oci.env_nls_create(&env, OCI_NCHAR_LITERAL_REPLACE_ON, nullptr, nullptr, nullptr,
                               nullptr, 0, nullptr, OCI_UTF16ID, OCI_UTF16ID);
        env_ = env;
        check_err(status);
        process_environment = env;
    }
    if (!b_own_environment_) {
        env_ = process_environment;
    }
    TK_TRACE("Step #1");

    void* user_memory = nullptr;
    void* handle = nullptr;
    check_err(oci.handle_alloc(env_, &handle, OCI_HTYPE_ERROR, 52, &user_memory));
    err_ = static_cast<OCIError*>(handle);
    TK_TRACE("Step #2");

    handle = nullptr;
    check_err(oci.handle_alloc(env_, &handle, OCI_HTYPE_SERVER, 52, &user_memory));
    server_ = static_cast<OCIServer*>(handle);
    TK_TRACE("Step #3");

    handle = nullptr;
    check_err(oci.handle_alloc(env_, &handle, OCI_HTYPE_SESSION, 0, nullptr));
    session_ = static_cast<OCISession*>(handle);
    TK_TRACE("Step #4");

    handle = nullptr;
    check_err(oci.handle_alloc(env_, &handle, OCI_HTYPE_SVCCTX, 0, nullptr));
    svc_ = static_cast<OCISvcCtx*>(handle);
    TK_TRACE("Step #5");
}

std::u16string ora_engine::make_data_source(std::u16string_view host, std::u16string_view port,
                                            std::u16string_view service) {
    if (host.empty() && port.empty()) {
        return std::u16string(service);
    }
    std::u16string source = u"//";
    source += host.empty() ? std::u16string_view(u"localhost") : host;
    source += u':';
    source += port.empty() ? std::u16string_view(u"1521") : port;
    source += u'/';
    source += service;
    return source;
}

std::unique_ptr<ora_database> ora_engine::open_db(std::u16string_view host,
                                                  std::u16string_view user,
                                                  std::u16string_view password,
                                                  std::u16string_view port,
                                                  std::u16string_view service) {
    TK_LOGW(2, u"ora_engine::open_db (%s,%s,%s,%s,%s)", wide(host).c_str(), wide(user).c_str(),
            masked(password), wide(port).c_str(), wide(service).c_str());
    return open_db(make_data_source(host, port, service), user, password);
}

std::unique_ptr<ora_database> ora_engine::open_db(std::u16string_view data_source,
                                                  std::u16string_view user,
                                                  std::u16string_view password) {
    TK_LOGW(2, u"ora_engine::open_db( %s, %s, %s )", wide(data_source).c_str(), wide(user).c_str(),
            masked(password));
    TK_LOGW(3, u"Connecting to Oracle data source '%s'", wide(data_source).c_str());
    const ora_oci_functions& oci = ora_oci();

    if (b_attached_) {
        // The earlier session ends before its server connection goes; statuses deliberately
        // not checked.
        if (b_connected_) {
            oci.session_end(svc_, err_, session_, OCI_DEFAULT);
        }
        oci.server_detach(server_, err_, OCI_DEFAULT);
        b_attached_ = false;
        b_connected_ = false;
    }

    TK_TRACE("Just before OCIServerAttach: srvhp=%08" PRIXPTR ", errhp=%08" PRIXPTR,
             address(server_), address(err_));
    check_err(oci.server_attach(server_, err_, oci_text(data_source),
                                static_cast<sb4>(byte_length(data_source)), OCI_DEFAULT));
    b_attached_ = true;
    TK_TRACE("OCIServerAttach succeeded");

    check_err(oci.attr_set(svc_, OCI_HTYPE_SVCCTX, server_, 0, OCI_ATTR_SERVER, err_));
    TK_TRACE("Server context was set into service context");

    // OCI copies attribute texts; the lengths are in bytes.
    check_err(oci.attr_set(session_, OCI_HTYPE_SESSION, const_cast<char16_t*>(user.data()),
                           byte_length(user), OCI_ATTR_USERNAME, err_));
    check_err(oci.attr_set(session_, OCI_HTYPE_SESSION, const_cast<char16_t*>(password.data()),
                           byte_length(password), OCI_ATTR_PASSWORD, err_));

    TK_TRACE("Just before OCISessionBegin");
    check_err(oci.session_begin(svc_, err_, session_, OCI_CRED_RDBMS, OCI_DEFAULT));
    TK_LOG(2, "The connection has been established");

    check_err(oci.attr_set(svc_, OCI_HTYPE_SVCCTX, session_, 0, OCI_ATTR_SESSION, err_));
    b_connected_ = true;

    data_source_ = data_source;
    user_ = user;
    password_ = password;
    // The new database reads the user's views.
    return std::make_unique<ora_database>(data_source_);
}

void ora_engine::check_err(int status) {
    TK_TRACE("ora_engine::check_err(status=%08X)", static_cast<unsigned>(status));
    if (status == OCI_ERROR) {
        TK_LOG(2, "status == OCI_ERROR");
        char16_t text[256] = {};  // 512 bytes
        sb4 error_code = 0;
        void* source = err_;
        ub4 source_type = OCI_HTYPE_ERROR;
        if (source == nullptr) {
            // Only the environment exists while it is being created.
            source = env_;
            source_type = OCI_HTYPE_ENV;
        }
        if (source != nullptr) {
            ora_oci().error_get(source, 1, nullptr, &error_code, reinterpret_cast<OraText*>(text),
                                sizeof text, source_type);
        }
        text[255] = u'\0';
        throw ora_exception(static_cast<uint16_t>(error_code & 0xFFFF),
                            tk_w2a(std::u16string_view(text)));
    }
    if (status == OCI_INVALID_HANDLE) {
        TK_LOG(2, "ERROR: Invalid handle");
    }
}

void ora_engine::clean() {
    TK_LOG(2, "ora_engine::clean");
    if (!ora_oci_loaded()) {
        return;
    }
    const ora_oci_functions& oci = ora_oci();
    // Statuses are not checked: this runs on the way out.
    if (svc_ != nullptr && session_ != nullptr) {
        oci.session_end(svc_, err_, session_, OCI_DEFAULT);
    }
    if (server_ != nullptr) {
        oci.server_detach(server_, err_, OCI_DEFAULT);
    }
    b_attached_ = false;
    b_connected_ = false;
    if (server_ != nullptr) {
        oci.handle_free(server_, OCI_HTYPE_SERVER);
        server_ = nullptr;
    }
    if (svc_ != nullptr) {
        oci.handle_free(svc_, OCI_HTYPE_SVCCTX);
        svc_ = nullptr;
    }
    if (err_ != nullptr) {
        oci.handle_free(err_, OCI_HTYPE_ERROR);
        err_ = nullptr;
    }
    if (session_ != nullptr) {
        oci.handle_free(session_, OCI_HTYPE_SESSION);
        session_ = nullptr;
    }
    if (b_own_environment_ && env_ != nullptr) {
        oci.handle_free(env_, OCI_HTYPE_ENV);
        env_ = nullptr;
    }
}

int ora_engine::execute(std::u16string_view sql, uint32_t mode) {
    ora_stmt stmt;
    stmt.prepare(sql);
    return stmt.execute(1, mode);
}

uint32_t ora_engine::get_records_cnt(std::u16string_view name, bool b_query) {
    TK_LOGW(2, u"ora_engine::get_records_cnt(%s)", wide(name).c_str());
    TK_ASSERT(b_connected_, "ora_engi.cpp");
    std::u16string sql;
    if (b_query) {
        sql = u"SELECT COUNT(*) FROM (";
        sql += name;
        sql += u')';
    } else {
        sql = u"SELECT COUNT(*) FROM ";
        sql += get_safe_name(name);
    }
    ora_stmt stmt;
    stmt.prepare(sql);
    int32_t count = 0;
    OCIDefine* define = nullptr;
    check_err(ora_oci().define_by_pos(stmt.handle(), &define, err_, 1, &count, sizeof count,
                                      SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT));
    const sword status = stmt.execute(1);
    TK_ASSERT(status != OCI_NO_DATA, "ora_engi.cpp");
    return static_cast<uint32_t>(count);
}

uint32_t ora_engine::get_version() {
    TK_LOG(2, "ora_engine::get_version");
    TK_ASSERT(b_connected_, "ora_engi.cpp");
    ora_stmt stmt;
    stmt.prepare(u"select * from v$version");
    constexpr sb4 buffer_bytes = 0x20000;
    std::vector<char16_t> banner(buffer_bytes / 2, u'\0');
    OCIDefine* define = nullptr;
    check_err(ora_oci().define_by_pos(stmt.handle(), &define, err_, 1, banner.data(), buffer_bytes,
                                      SQLT_STR, nullptr, nullptr, nullptr, OCI_DEFAULT));
    const sword status = stmt.execute(1);
    TK_ASSERT(status != OCI_NO_DATA, "ora_engi.cpp");
    banner.back() = u'\0';
    const std::string text = tk_w2a(std::u16string_view(banner.data()));
    TK_TRACE("Got versioned string:\n%s", text.c_str());
    return parse_version_banner(text);
}

uint32_t ora_engine::parse_version_banner(std::string_view banner) {
    int major = 0;
    int minor = 0;
    int patch = 0;
    size_t pos = 0;
    while (pos < banner.size()) {
        const size_t end = std::min(banner.find(' ', pos), banner.size());
        const std::string word(banner.substr(pos, end - pos));
        pos = end + 1;
        if (word.empty() || word[0] < '0' || word[0] > '9') {
            continue;
        }
        int a = 0;
        int b = 0;
        int c = 0;
        if (std::sscanf(word.c_str(), "%d.%d.%d", &a, &b, &c) == 3) {
            major = a;
            minor = b;
            patch = c;
            break;
        }
    }
    TK_TRACE("Got Oracle version: %d,%d,%d", major, minor, patch);
    return static_cast<uint32_t>(major) * 65536u + static_cast<uint32_t>(minor) * 256u +
           static_cast<uint32_t>(patch);
}

std::u16string ora_engine::get_safe_name(std::u16string_view name) {
    TK_LOGW(1, u"ora_engine::get_safe_name(%s)", wide(name).c_str());
    std::u16string safe;
    safe.reserve(name.size() + 4);
    safe += u'"';
    const size_t dot = name.find(u'.');
    if (dot == std::u16string_view::npos) {
        safe += name;
    } else {
        safe += name.substr(0, dot);
        safe += u"\".\"";
        safe += name.substr(dot + 1);
    }
    safe += u'"';
    return safe;
}

ora_stmt::ora_stmt() {
    ora_engine& engine = ora_engine::instance();
    void* handle = nullptr;
    const sword status = ora_oci().handle_alloc(engine.env(), &handle, OCI_HTYPE_STMT, 0, nullptr);
    stmt_ = static_cast<OCIStmt*>(handle);
    engine.check_err(status);
}

ora_stmt::~ora_stmt() {
    if (stmt_ != nullptr) {
        ora_oci().handle_free(stmt_, OCI_HTYPE_STMT);
    }
}

void ora_stmt::prepare(std::u16string_view sql) {
    ora_engine& engine = ora_engine::instance();
    engine.check_err(ora_oci().stmt_prepare(stmt_, engine.err(), oci_text(sql), byte_length(sql),
                                            OCI_NTV_SYNTAX, OCI_DEFAULT));
}

int ora_stmt::execute(uint32_t iterations, uint32_t mode) {
    ora_engine& engine = ora_engine::instance();
    const sword status = ora_oci().stmt_execute(engine.svc(), stmt_, engine.err(), iterations, 0,
                                                nullptr, nullptr, mode);
    engine.check_err(status);
    return status;
}
