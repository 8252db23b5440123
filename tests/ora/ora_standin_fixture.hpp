#pragma once
// A stand-in home for the database and table tests: service DB (19c), a fresh user per test so
// that each test starts from an empty schema, and a second session of its own for the tests
// that need another writer. The client library is the stand-in, loaded through the engine.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "ora/ora_database.hpp"
#include "ora/ora_engine.hpp"
#include "ora/ora_exception.hpp"
#include "ora/ora_oci.hpp"
#include "support/standin_home.hpp"

class ora_standin_test : public testing::Test {
  public:
    static void SetUpTestSuite() {
        home() = std::make_unique<standin_home>("ora_catalogue_home");
        home()->admin("create-service DB");
    }
    static void TearDownTestSuite() { home().reset(); }

  protected:
    void SetUp() override {
        home()->select();
        user_ = home()->next_user("U");
        admin("create-user DB " + user_ + " pw");
        engine_.emplace();
        db_ = engine_->open_db(u"localhost", wide(user_), u"pw", u"1521", u"DB");
    }
    void TearDown() override {
        db_.reset();
        engine_.reset();
    }

    void sql(const std::u16string& statement) { engine_->execute(statement); }

    static std::u16string wide(const std::string& ascii) {
        return std::u16string(ascii.begin(), ascii.end());
    }
    static void admin(const std::string& arguments) { home()->admin(arguments); }

    std::string user_;
    std::optional<ora_engine> engine_;
    std::unique_ptr<ora_database> db_;

  private:
    static std::unique_ptr<standin_home>& home() {
        static std::unique_ptr<standin_home> instance;
        return instance;
    }
};

// A second session on the engine's environment, as another program connected to the same
// schema would hold one.
class ora_other_session {
  public:
    ora_other_session(const std::u16string& data_source, const std::u16string& user,
                      const std::u16string& password) {
        const ora_oci_functions& oci = ora_oci();
        OCIEnv* env = ora_engine::instance().env();
        oci.handle_alloc(env, reinterpret_cast<void**>(&err_), OCI_HTYPE_ERROR, 0, nullptr);
        oci.handle_alloc(env, reinterpret_cast<void**>(&server_), OCI_HTYPE_SERVER, 0, nullptr);
        oci.handle_alloc(env, reinterpret_cast<void**>(&svc_), OCI_HTYPE_SVCCTX, 0, nullptr);
        oci.handle_alloc(env, reinterpret_cast<void**>(&session_), OCI_HTYPE_SESSION, 0, nullptr);
        check(oci.server_attach(server_, err_, text(data_source), bytes(data_source), 0));
        check(oci.attr_set(svc_, OCI_HTYPE_SVCCTX, server_, 0, OCI_ATTR_SERVER, err_));
        check(oci.attr_set(session_, OCI_HTYPE_SESSION, const_cast<char16_t*>(user.data()),
                           bytes(user), OCI_ATTR_USERNAME, err_));
        check(oci.attr_set(session_, OCI_HTYPE_SESSION, const_cast<char16_t*>(password.data()),
                           bytes(password), OCI_ATTR_PASSWORD, err_));
        check(oci.session_begin(svc_, err_, session_, OCI_CRED_RDBMS, OCI_DEFAULT));
        check(oci.attr_set(svc_, OCI_HTYPE_SVCCTX, session_, 0, OCI_ATTR_SESSION, err_));
    }
    ~ora_other_session() {
        const ora_oci_functions& oci = ora_oci();
        oci.session_end(svc_, err_, session_, OCI_DEFAULT);
        oci.server_detach(server_, err_, OCI_DEFAULT);
        oci.handle_free(session_, OCI_HTYPE_SESSION);
        oci.handle_free(svc_, OCI_HTYPE_SVCCTX);
        oci.handle_free(server_, OCI_HTYPE_SERVER);
        oci.handle_free(err_, OCI_HTYPE_ERROR);
    }
    ora_other_session(const ora_other_session&) = delete;
    ora_other_session& operator=(const ora_other_session&) = delete;

    // Runs one statement in this session's open transaction.
    void execute(const std::u16string& statement) {
        const ora_oci_functions& oci = ora_oci();
        OCIStmt* stmt = nullptr;
        oci.handle_alloc(ora_engine::instance().env(), reinterpret_cast<void**>(&stmt),
                         OCI_HTYPE_STMT, 0, nullptr);
        const sword prepared = oci.stmt_prepare(stmt, err_, text(statement), bytes(statement),
                                                OCI_NTV_SYNTAX, OCI_DEFAULT);
        const sword executed =
            oci.stmt_execute(svc_, stmt, err_, 1, 0, nullptr, nullptr, OCI_DEFAULT);
        oci.handle_free(stmt, OCI_HTYPE_STMT);
        check(prepared);
        check(executed);
    }
    void commit() { check(ora_oci().trans_commit(svc_, err_, OCI_DEFAULT)); }

  private:
    static const OraText* text(const std::u16string& s) {
        return reinterpret_cast<const OraText*>(s.data());
    }
    static ub4 bytes(const std::u16string& s) { return static_cast<ub4>(s.size() * 2); }
    void check(sword status) { ASSERT_NE(status, OCI_ERROR); }

    OCIError* err_ = nullptr;
    OCIServer* server_ = nullptr;
    OCISvcCtx* svc_ = nullptr;
    OCISession* session_ = nullptr;
};

// Runs `f` and hands back the ora_exception it raises.
template <class F>
ora_exception catch_ora_error(F f) {
    try {
        f();
    } catch (const ora_exception& e) {
        return e;
    }
    ADD_FAILURE() << "no ora_exception";
    return ora_exception(0, "");
}
