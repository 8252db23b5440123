// Environment, handles, descriptors, attributes and error records.
#include <cstdlib>
#include <cstring>

#include "oci_handles.h"
#include "text_codec.h"

using namespace ocisim;

namespace ocisim {

sword fail(OCIError* err, const OraError& e) {
    if (err != nullptr) {
        err->records.assign(1, OCIError::Record{e.code(), e.message()});
    }
    return OCI_ERROR;
}

sword warn(OCIError* err, const OraError& e) {
    if (err != nullptr) {
        err->records.assign(1, OCIError::Record{e.code(), e.message()});
    }
    return OCI_SUCCESS_WITH_INFO;
}

void clear(OCIError* err) {
    if (err != nullptr) {
        err->records.clear();
    }
}

std::string client_text(const OCIEnv* env, const void* data, size_t bytes) {
    if (data == nullptr) {
        return {};
    }
    if (env != nullptr && env->utf16) {
        return utf16_bytes_to_utf8(data, bytes);
    }
    return std::string(static_cast<const char*>(data), bytes);
}

std::string encode_client_text(const OCIEnv* env, const std::string& utf8) {
    if (env != nullptr && env->utf16) {
        std::u16string u = utf8_to_utf16(utf8);
        return std::string(reinterpret_cast<const char*>(u.data()), u.size() * 2);
    }
    return utf8;
}

Session* session_of(OCISvcCtx* svc, OCIError* err, sword* status) {
    if (checked<OCISvcCtx>(svc, OCI_HTYPE_SVCCTX) == nullptr) {
        *status = OCI_INVALID_HANDLE;
        return nullptr;
    }
    clear(err);
    *status = OCI_SUCCESS;
    if (svc->session == nullptr || !svc->session->session) {
        *status = fail(err, ora(3114));
        return nullptr;
    }
    return svc->session->session.get();
}

}  // namespace ocisim

namespace {

HandleBase* new_handle(ub4 type) {
    switch (type) {
        case OCI_HTYPE_ERROR:
            return new OCIError;
        case OCI_HTYPE_SVCCTX:
            return new OCISvcCtx;
        case OCI_HTYPE_STMT:
            return new OCIStmt;
        case OCI_HTYPE_SERVER:
            return new OCIServer;
        case OCI_HTYPE_SESSION:
            return new OCISession;
        case OCI_HTYPE_TRANS:
            return new OCITrans;
        case OCI_HTYPE_DESCRIBE:
            return new OCIDescribe;
        default:
            return nullptr;
    }
}

HandleBase* new_descriptor(ub4 type) {
    switch (type) {
        case OCI_DTYPE_LOB:
            return new OCILobLocator;
        case OCI_DTYPE_ROWID:
            return new OCIRowid;
        case OCI_DTYPE_DATE:
        case OCI_DTYPE_TIMESTAMP:
        case OCI_DTYPE_TIMESTAMP_TZ:
        case OCI_DTYPE_TIMESTAMP_LTZ:
            return new OCIDateTime;
        default:
            return nullptr;
    }
}

OCIEnv* env_of(const void* parent) {
    auto* base = static_cast<const HandleBase*>(parent);
    if (base == nullptr || base->magic != kHandleMagic) {
        return nullptr;
    }
    return base->type == OCI_HTYPE_ENV ? static_cast<OCIEnv*>(const_cast<HandleBase*>(base))
                                       : base->env;
}

sword alloc(const void* parent, void** out, ub4 type, size_t xtramem, void** usrmem,
            HandleBase* (*make)(ub4)) {
    OCIEnv* env = env_of(parent);
    if (env == nullptr || out == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    HandleBase* h = make(type);
    if (h == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    h->type = type;
    h->env = env;
    if (xtramem > 0) {
        h->user_memory.assign(xtramem, 0);
        if (usrmem != nullptr) {
            *usrmem = h->user_memory.data();
        }
    }
    *out = h;
    return OCI_SUCCESS;
}

// Copies an attribute value of `N` bytes.
template <typename T>
void put(void* dst, T v, ub4* sizep) {
    if (dst != nullptr) {
        std::memcpy(dst, &v, sizeof v);
    }
    if (sizep != nullptr) {
        *sizep = sizeof v;
    }
}

void put_text(void* dst, ub4* sizep, const std::string& encoded) {
    if (dst != nullptr) {
        *static_cast<const char**>(dst) = encoded.data();
    }
    if (sizep != nullptr) {
        *sizep = static_cast<ub4>(encoded.size());
    }
}

sword get_param_attr(OCIParam* p, void* value, ub4* sizep, ub4 attr, OCIError* err) {
    const ColumnType& ty = p->column.type;
    switch (attr) {
        case OCI_ATTR_DATA_TYPE:
            put<ub2>(value, ty.describe_code(), sizep);
            return OCI_SUCCESS;
        case OCI_ATTR_DATA_SIZE: {
            int size = ty.data_length(single_byte_charset(p->db_charset) ? 1 : 4);
            if (p->column.computed && ty.kind == TypeKind::Number) {
                size = 22;
            }
            put<ub2>(value, static_cast<ub2>(size), sizep);
            return OCI_SUCCESS;
        }
        case OCI_ATTR_NAME:
            put_text(value, sizep, p->encoded_name);
            return OCI_SUCCESS;
        case OCI_ATTR_PRECISION: {
            sb2 precision = 0;
            if (ty.kind == TypeKind::Number && ty.precision != kNoPrecision) {
                precision = static_cast<sb2>(ty.precision);
            } else if (ty.kind == TypeKind::Float) {
                precision = static_cast<sb2>(ty.precision == kNoPrecision ? 126 : ty.precision);
            } else if (ty.kind == TypeKind::Timestamp) {
                precision = static_cast<sb2>(ty.precision);
            } else if (p->column.computed) {
                precision = kComputedNumberPrecision;
            }
            put<sb2>(value, precision, sizep);
            return OCI_SUCCESS;
        }
        case OCI_ATTR_SCALE: {
            sb1 scale = 0;
            if (ty.kind == TypeKind::Number) {
                scale = ty.scale == kNoPrecision ? static_cast<sb1>(kComputedNumberScale)
                                                 : static_cast<sb1>(ty.scale);
            } else if (ty.kind == TypeKind::Float) {
                scale = static_cast<sb1>(kComputedNumberScale);
            } else if (ty.kind == TypeKind::Timestamp) {
                scale = static_cast<sb1>(ty.precision);
            }
            put<sb1>(value, scale, sizep);
            return OCI_SUCCESS;
        }
        case OCI_ATTR_IS_NULL:
            put<ub1>(value, p->column.nullable ? 1 : 0, sizep);
            return OCI_SUCCESS;
        case OCI_ATTR_CHARSET_FORM:
            put<ub1>(value, ty.charset_form(), sizep);
            return OCI_SUCCESS;
        case OCI_ATTR_CHARSET_ID: {
            ub2 id = 0;
            if (ty.is_national()) {
                id = 2000;  // AL16UTF16
            } else if (ty.is_text()) {
                id = charset_id(p->db_charset);
            }
            put<ub2>(value, id, sizep);
            return OCI_SUCCESS;
        }
        case OCI_ATTR_CHAR_SIZE:
            put<ub2>(value, static_cast<ub2>(ty.char_length()), sizep);
            return OCI_SUCCESS;
        case OCI_ATTR_CHAR_USED:
            put<ub1>(value, ty.char_used() == "C" ? 1 : 0, sizep);
            return OCI_SUCCESS;
        case OCI_ATTR_FSPRECISION:
            put<ub1>(value, static_cast<ub1>(ty.kind == TypeKind::Timestamp ? ty.precision : 0),
                     sizep);
            return OCI_SUCCESS;
        default:
            return fail(err, ora(24315));
    }
}

}  // namespace

OCISIM_EXPORT sword OCIEnvNlsCreate(OCIEnv** envp, ub4 mode, void* /*ctxp*/, void* /*malocfp*/,
                                    void* /*ralocfp*/, void* /*mfreefp*/, size_t xtramem,
                                    void** usrmempp, ub2 charset, ub2 ncharset) {
    if (envp == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    auto* env = new OCIEnv;
    env->type = OCI_HTYPE_ENV;
    env->env = env;
    env->utf16 = (mode & OCI_UTF16) != 0 || charset == OCI_UTF16ID;
    (void)ncharset;
    // NCHAR literal replacement: the mode decides, else the client's environment.
    if ((mode & OCI_NCHAR_LITERAL_REPLACE_ON) != 0) {
        env->nchar_literal_replace = true;
    } else if ((mode & OCI_NCHAR_LITERAL_REPLACE_OFF) == 0) {
        const char* v = std::getenv("ORA_NCHAR_LITERAL_REPLACE");
        env->nchar_literal_replace = v != nullptr && upper_ascii(v) == "TRUE";
    }
    env->config = SimConfig::from_environment();
    if (xtramem > 0) {
        env->user_memory.assign(xtramem, 0);
        if (usrmempp != nullptr) {
            *usrmempp = env->user_memory.data();
        }
    }
    *envp = env;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIEnvCreate(OCIEnv** envp, ub4 mode, void* ctxp, void* malocfp, void* ralocfp,
                                 void* mfreefp, size_t xtramem, void** usrmempp) {
    return OCIEnvNlsCreate(envp, mode, ctxp, malocfp, ralocfp, mfreefp, xtramem, usrmempp, 0, 0);
}

OCISIM_EXPORT sword OCIHandleAlloc(const void* parenth, void** hndlpp, ub4 type, size_t xtramem,
                                   void** usrmempp) {
    return alloc(parenth, hndlpp, type, xtramem, usrmempp, new_handle);
}

OCISIM_EXPORT sword OCIDescriptorAlloc(const void* parenth, void** descpp, ub4 type, size_t xtramem,
                                       void** usrmempp) {
    return alloc(parenth, descpp, type, xtramem, usrmempp, new_descriptor);
}

OCISIM_EXPORT sword OCIHandleFree(void* hndlp, ub4 type) {
    auto* base = static_cast<HandleBase*>(hndlp);
    if (base == nullptr || base->magic != kHandleMagic || base->type != type) {
        return OCI_INVALID_HANDLE;
    }
    if (type == OCI_HTYPE_ERROR && static_cast<OCIError*>(base)->owned_by_parent) {
        return OCI_SUCCESS;  // a batch-error record lives as long as the handle it came from
    }
    if (type == OCI_HTYPE_SESSION) {
        auto* ses = static_cast<OCISession*>(base);
        if (ses->server != nullptr) {
            ses->server->sessions.erase(ses);
        }
    } else if (type == OCI_HTYPE_SERVER) {
        auto* srv = static_cast<OCIServer*>(base);
        for (OCISession* ses : srv->sessions) {
            ses->session.reset();
            ses->server = nullptr;
        }
    }
    delete base;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIDescriptorFree(void* descp, ub4 type) {
    auto* base = static_cast<HandleBase*>(descp);
    if (base == nullptr || base->magic != kHandleMagic) {
        return OCI_INVALID_HANDLE;
    }
    bool date_kind = type == OCI_DTYPE_DATE || type == OCI_DTYPE_TIMESTAMP ||
                     type == OCI_DTYPE_TIMESTAMP_TZ || type == OCI_DTYPE_TIMESTAMP_LTZ;
    if (base->type != type && !(date_kind && dynamic_cast<OCIDateTime*>(base) != nullptr)) {
        return OCI_INVALID_HANDLE;
    }
    delete base;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIErrorGet(void* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep,
                                OraText* bufp, ub4 bufsiz, ub4 type) {
    auto* base = static_cast<HandleBase*>(hndlp);
    if (base == nullptr || base->magic != kHandleMagic ||
        (type != OCI_HTYPE_ERROR && type != OCI_HTYPE_ENV) || base->type != type) {
        return OCI_INVALID_HANDLE;
    }
    if (sqlstate != nullptr) {
        sqlstate[0] = 0;
    }
    if (type != OCI_HTYPE_ERROR) {
        return OCI_NO_DATA;
    }
    auto* err = static_cast<OCIError*>(base);
    if (recordno < 1 || recordno > err->records.size()) {
        return OCI_NO_DATA;
    }
    const OCIError::Record& r = err->records[recordno - 1];
    if (errcodep != nullptr) {
        *errcodep = r.code;
    }
    if (bufp != nullptr && bufsiz > 0) {
        std::string text = encode_client_text(base->env, r.message + "\n");
        size_t unit = base->env != nullptr && base->env->utf16 ? 2 : 1;
        size_t room = bufsiz >= unit ? (bufsiz - unit) / unit * unit : 0;
        size_t n = std::min(room, text.size());
        std::memcpy(bufp, text.data(), n);
        std::memset(bufp + n, 0, std::min<size_t>(unit, bufsiz - n));
    }
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIAttrSet(void* trgthndlp, ub4 trghndltyp, void* attributep, ub4 size,
                               ub4 attrtype, OCIError* errhp) {
    auto* base = static_cast<HandleBase*>(trgthndlp);
    if (base == nullptr || base->magic != kHandleMagic || base->type != trghndltyp) {
        return OCI_INVALID_HANDLE;
    }
    switch (trghndltyp) {
        case OCI_HTYPE_SVCCTX: {
            auto* svc = static_cast<OCISvcCtx*>(base);
            if (attrtype == OCI_ATTR_SERVER) {
                svc->server = checked<OCIServer>(attributep, OCI_HTYPE_SERVER);
                return OCI_SUCCESS;
            }
            if (attrtype == OCI_ATTR_SESSION) {
                svc->session = checked<OCISession>(attributep, OCI_HTYPE_SESSION);
                return OCI_SUCCESS;
            }
            break;
        }
        case OCI_HTYPE_SESSION: {
            auto* ses = static_cast<OCISession*>(base);
            if (attrtype == OCI_ATTR_USERNAME) {
                ses->username = client_text(base->env, attributep, size);
                return OCI_SUCCESS;
            }
            if (attrtype == OCI_ATTR_PASSWORD) {
                ses->password = client_text(base->env, attributep, size);
                return OCI_SUCCESS;
            }
            break;
        }
        case OCI_HTYPE_STMT:
            if (attrtype == OCI_ATTR_PREFETCH_ROWS && attributep != nullptr) {
                std::memcpy(&static_cast<OCIStmt*>(base)->prefetch, attributep, sizeof(ub4));
                return OCI_SUCCESS;
            }
            break;
        case OCI_HTYPE_BIND: {
            auto* b = static_cast<OCIBind*>(base);
            if (attrtype == OCI_ATTR_CHARSET_FORM && attributep != nullptr) {
                b->charset_form = *static_cast<ub1*>(attributep);
                return OCI_SUCCESS;
            }
            if (attrtype == OCI_ATTR_CHARSET_ID) {
                return OCI_SUCCESS;
            }
            if (attrtype == OCI_ATTR_MAXDATA_SIZE && attributep != nullptr) {
                std::memcpy(&b->max_data_size, attributep, sizeof(sb4));
                return OCI_SUCCESS;
            }
            break;
        }
        case OCI_HTYPE_DEFINE: {
            auto* d = static_cast<OCIDefine*>(base);
            if (attrtype == OCI_ATTR_CHARSET_FORM && attributep != nullptr) {
                d->charset_form = *static_cast<ub1*>(attributep);
                return OCI_SUCCESS;
            }
            if (attrtype == OCI_ATTR_CHARSET_ID) {
                return OCI_SUCCESS;
            }
            break;
        }
        default:
            break;
    }
    return fail(errhp, ora(24315));
}

OCISIM_EXPORT sword OCIAttrGet(const void* trgthndlp, ub4 trghndltyp, void* attributep, ub4* sizep,
                               ub4 attrtype, OCIError* errhp) {
    auto* base = static_cast<HandleBase*>(const_cast<void*>(trgthndlp));
    if (base == nullptr || base->magic != kHandleMagic || base->type != trghndltyp) {
        return OCI_INVALID_HANDLE;
    }
    if (attrtype == OCI_ATTR_ENV && trghndltyp != OCI_DTYPE_PARAM) {
        put<OCIEnv*>(attributep, base->env, sizep);
        return OCI_SUCCESS;
    }
    switch (trghndltyp) {
        case OCI_HTYPE_ENV:
            if (attrtype == OCI_ATTR_ENV_UTF16) {
                put<ub1>(attributep, static_cast<OCIEnv*>(base)->utf16 ? 1 : 0, sizep);
                return OCI_SUCCESS;
            }
            break;
        case OCI_HTYPE_SVCCTX: {
            auto* svc = static_cast<OCISvcCtx*>(base);
            if (attrtype == OCI_ATTR_SERVER) {
                put<OCIServer*>(attributep, svc->server, sizep);
                return OCI_SUCCESS;
            }
            if (attrtype == OCI_ATTR_SESSION) {
                put<OCISession*>(attributep, svc->session, sizep);
                return OCI_SUCCESS;
            }
            break;
        }
        case OCI_HTYPE_ERROR:
            if (attrtype == OCI_ATTR_PARSE_ERROR_OFFSET) {
                put<ub2>(attributep, static_cast<OCIError*>(base)->parse_offset, sizep);
                return OCI_SUCCESS;
            }
            if (attrtype == OCI_ATTR_DML_ROW_OFFSET) {
                put<ub4>(attributep, static_cast<OCIError*>(base)->row_offset, sizep);
                return OCI_SUCCESS;
            }
            break;
        case OCI_HTYPE_STMT: {
            auto* st = static_cast<OCIStmt*>(base);
            switch (attrtype) {
                case OCI_ATTR_STMT_TYPE: {
                    ub2 t = 0;
                    if (st->parsed) {
                        t = st->parsed->stmt_type;
                    } else {
                        std::string head = upper_ascii(st->sql.substr(0, 16));
                        size_t b = head.find_first_not_of(" \t\r\n(");
                        head = b == std::string::npos ? "" : head.substr(b);
                        t = head.rfind("SELECT", 0) == 0   ? OCI_STMT_SELECT
                            : head.rfind("INSERT", 0) == 0 ? OCI_STMT_INSERT
                            : head.rfind("UPDATE", 0) == 0 ? OCI_STMT_UPDATE
                            : head.rfind("DELETE", 0) == 0 ? OCI_STMT_DELETE
                            : head.rfind("CREATE", 0) == 0 ? OCI_STMT_CREATE
                            : head.rfind("DROP", 0) == 0   ? OCI_STMT_DROP
                            : head.rfind("ALTER", 0) == 0  ? OCI_STMT_ALTER
                            : head.rfind("BEGIN", 0) == 0  ? OCI_STMT_BEGIN
                                                           : 0;
                    }
                    put<ub2>(attributep, t, sizep);
                    return OCI_SUCCESS;
                }
                case OCI_ATTR_ROW_COUNT:
                    put<ub4>(attributep, st->row_count, sizep);
                    return OCI_SUCCESS;
                case OCI_ATTR_ROWS_FETCHED:
                    put<ub4>(attributep, st->rows_fetched, sizep);
                    return OCI_SUCCESS;
                case OCI_ATTR_NUM_DML_ERRORS:
                    put<ub4>(attributep, st->dml_errors, sizep);
                    return OCI_SUCCESS;
                case OCI_ATTR_PARAM_COUNT:
                    put<ub4>(attributep, static_cast<ub4>(st->result.columns.size()), sizep);
                    return OCI_SUCCESS;
                case OCI_ATTR_PREFETCH_ROWS:
                    put<ub4>(attributep, st->prefetch, sizep);
                    return OCI_SUCCESS;
                case OCI_ATTR_STMT_IS_RETURNING: {
                    bool ret = st->parsed && std::holds_alternative<Insert>(st->parsed->body) &&
                               std::get<Insert>(st->parsed->body).returning_bind >= 0;
                    put<ub1>(attributep, ret ? 1 : 0, sizep);
                    return OCI_SUCCESS;
                }
                case OCI_ATTR_ROWID: {
                    auto* rid = checked<OCIRowid>(attributep, OCI_DTYPE_ROWID);
                    if (rid == nullptr) {
                        return OCI_INVALID_HANDLE;
                    }
                    rid->text = st->last_rowid;
                    return OCI_SUCCESS;
                }
                default:
                    break;
            }
            break;
        }
        case OCI_HTYPE_BIND:
            if (attrtype == OCI_ATTR_ROWS_RETURNED) {
                put<ub4>(attributep, static_cast<OCIBind*>(base)->rows_returned, sizep);
                return OCI_SUCCESS;
            }
            if (attrtype == OCI_ATTR_CHARSET_FORM) {
                put<ub1>(attributep, static_cast<OCIBind*>(base)->charset_form, sizep);
                return OCI_SUCCESS;
            }
            break;
        case OCI_DTYPE_PARAM:
            return get_param_attr(static_cast<OCIParam*>(base), attributep, sizep, attrtype, errhp);
        default:
            break;
    }
    return fail(errhp, ora(24315));
}

OCISIM_EXPORT void OCIClientVersion(int* feature_release, int* release_update,
                                    int* release_update_revision, int* increment, int* ext) {
    // The stand-in answers as a 19.3 client.
    if (feature_release != nullptr)
        *feature_release = 19;
    if (release_update != nullptr)
        *release_update = 3;
    if (release_update_revision != nullptr)
        *release_update_revision = 0;
    if (increment != nullptr)
        *increment = 0;
    if (ext != nullptr)
        *ext = 0;
}

OCISIM_EXPORT void OCIThreadProcessInit() {}
