// Attaching to a service, logging on and off, and transaction control.
#include "net_resolver.h"
#include "oci_handles.h"
#include "service_store.h"
#include "text_codec.h"

using namespace ocisim;

namespace {

// Unquoted user names are case-insensitive (stored upper-case); quoted ones are taken as is.
std::string normalise_user(const std::string& name) {
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
        return name.substr(1, name.size() - 2);
    }
    return upper_ascii(name);
}

void end_session(OCISession* ses, bool commit_open_work) {
    if (ses->session) {
        ses->session->end(commit_open_work);
        ses->session.reset();
    }
    if (ses->server != nullptr) {
        ses->server->sessions.erase(ses);
        ses->server = nullptr;
    }
}

}  // namespace

OCISIM_EXPORT sword OCIServerAttach(OCIServer* srvhp, OCIError* errhp, const OraText* dblink,
                                    sb4 dblink_len, ub4 /*mode*/) {
    if (checked<OCIServer>(srvhp, OCI_HTYPE_SERVER) == nullptr ||
        checked<OCIError>(errhp, OCI_HTYPE_ERROR) == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    try {
        std::string text = client_text(srvhp->env, dblink, static_cast<size_t>(dblink_len));
        ConnectTarget target = resolve_connect_identifier(text);
        srvhp->service_path = locate_service(target);
        srvhp->attached = true;
        return OCI_SUCCESS;
    } catch (const OraError& e) {
        return fail(errhp, e);
    }
}

OCISIM_EXPORT sword OCIServerDetach(OCIServer* srvhp, OCIError* errhp, ub4 /*mode*/) {
    if (checked<OCIServer>(srvhp, OCI_HTYPE_SERVER) == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    // Sessions still open on the server connection end without committing.
    while (!srvhp->sessions.empty()) {
        end_session(*srvhp->sessions.begin(), false);
    }
    if (!srvhp->attached) {
        return fail(errhp, ora(24324));
    }
    srvhp->attached = false;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCISessionBegin(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 credt,
                                    ub4 /*mode*/) {
    if (checked<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX) == nullptr ||
        checked<OCIError>(errhp, OCI_HTYPE_ERROR) == nullptr ||
        checked<OCISession>(usrhp, OCI_HTYPE_SESSION) == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    OCIServer* srv = svchp->server;
    if (srv == nullptr || !srv->attached) {
        return fail(errhp, ora(3114));
    }
    if (credt != OCI_CRED_RDBMS) {
        return fail(errhp, ora(1017));
    }
    try {
        if (usrhp->session) {
            end_session(usrhp, false);
        }
        std::string user = normalise_user(usrhp->username);
        {
            SqliteDb db = ServiceStore::open(srv->service_path);
            auto row = ServiceStore::find_user(db, user);
            if (!row || row->password != usrhp->password) {
                return fail(errhp, ora(1017));
            }
            if (row->locked) {
                return fail(errhp, ora(28000));
            }
            if (!ServiceStore::has_privilege(db, user, "CREATE SESSION")) {
                return fail(errhp, ora(1045, {user}));
            }
        }
        usrhp->session = std::make_unique<Session>(srv->service_path, user, svchp->env->config);
        usrhp->session->round_trip();  // attach
        usrhp->session->round_trip();  // logon
        usrhp->server = srv;
        srv->sessions.insert(usrhp);
        svchp->session = usrhp;
        return OCI_SUCCESS;
    } catch (const OraError& e) {
        return fail(errhp, e);
    } catch (const SqliteError&) {
        return fail(errhp, ora(12514));
    }
}

OCISIM_EXPORT sword OCISessionEnd(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp,
                                  ub4 /*mode*/) {
    if (checked<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX) == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    OCISession* ses =
        usrhp != nullptr ? checked<OCISession>(usrhp, OCI_HTYPE_SESSION) : svchp->session;
    if (ses == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    if (!ses->session) {
        return fail(errhp, ora(3114));
    }
    // The transaction of the service context is committed when its session ends.
    try {
        end_session(ses, true);
    } catch (const OraError& e) {
        end_session(ses, false);
        return fail(errhp, e);
    }
    return OCI_SUCCESS;
}

namespace {

// Commit and rollback: one round trip that ends the session's transaction one way or the other.
sword end_transaction(OCISvcCtx* svchp, OCIError* errhp, void (Session::*finish)()) {
    sword status = OCI_SUCCESS;
    Session* s = session_of(svchp, errhp, &status);
    if (s == nullptr) {
        return status;
    }
    try {
        s->round_trip();
        (s->*finish)();
        return OCI_SUCCESS;
    } catch (const OraError& e) {
        return fail(errhp, e);
    }
}

}  // namespace

OCISIM_EXPORT sword OCITransCommit(OCISvcCtx* svchp, OCIError* errhp, ub4 /*flags*/) {
    return end_transaction(svchp, errhp, &Session::commit);
}

OCISIM_EXPORT sword OCITransRollback(OCISvcCtx* svchp, OCIError* errhp, ub4 /*flags*/) {
    return end_transaction(svchp, errhp, &Session::rollback);
}
