#pragma once
// The Oracle Call Interface as this program uses it: the scalar and handle types, the constants,
// one function-pointer type per OCI call, and the table of those pointers, filled once from the
// client library loaded at run time. No Oracle header is needed to build; only src/ora includes
// this file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Scalar types of the OCI C interface.
using sword = int;
using ub1 = uint8_t;
using sb1 = int8_t;
using ub2 = uint16_t;
using sb2 = int16_t;
using ub4 = uint32_t;
using sb4 = int32_t;
using ub8 = uint64_t;
using OraText = unsigned char;

// Opaque handles and descriptors; only pointers to them are ever used.
struct OCIEnv;
struct OCIError;
struct OCISvcCtx;
struct OCIStmt;
struct OCIBind;
struct OCIDefine;
struct OCIServer;
struct OCISession;
struct OCISnapshot;
struct OCIParam;
struct OCILobLocator;
struct OCIDateTime;

// Status codes.
inline constexpr sword OCI_SUCCESS = 0;
inline constexpr sword OCI_SUCCESS_WITH_INFO = 1;
inline constexpr sword OCI_NEED_DATA = 99;
inline constexpr sword OCI_NO_DATA = 100;
inline constexpr sword OCI_ERROR = -1;
inline constexpr sword OCI_INVALID_HANDLE = -2;
inline constexpr sword OCI_STILL_EXECUTING = -3123;
inline constexpr sword OCI_CONTINUE = -24200;

// Handle types.
inline constexpr ub4 OCI_HTYPE_ENV = 1;
inline constexpr ub4 OCI_HTYPE_ERROR = 2;
inline constexpr ub4 OCI_HTYPE_SVCCTX = 3;
inline constexpr ub4 OCI_HTYPE_STMT = 4;
inline constexpr ub4 OCI_HTYPE_BIND = 5;
inline constexpr ub4 OCI_HTYPE_DEFINE = 6;
inline constexpr ub4 OCI_HTYPE_DESCRIBE = 7;
inline constexpr ub4 OCI_HTYPE_SERVER = 8;
inline constexpr ub4 OCI_HTYPE_SESSION = 9;
inline constexpr ub4 OCI_HTYPE_TRANS = 10;

// Descriptor types.
inline constexpr ub4 OCI_DTYPE_LOB = 50;
inline constexpr ub4 OCI_DTYPE_PARAM = 53;
inline constexpr ub4 OCI_DTYPE_ROWID = 54;
inline constexpr ub4 OCI_DTYPE_TIMESTAMP = 68;

// Modes and call options.
inline constexpr ub4 OCI_DEFAULT = 0;
inline constexpr ub4 OCI_THREADED = 1;
inline constexpr ub4 OCI_NCHAR_LITERAL_REPLACE_ON = 0x00400000;
inline constexpr ub2 OCI_UTF16ID = 1000;
inline constexpr ub4 OCI_NTV_SYNTAX = 1;
inline constexpr ub4 OCI_CRED_RDBMS = 1;
inline constexpr ub4 OCI_CRED_EXT = 2;
inline constexpr ub4 OCI_DESCRIBE_ONLY = 0x10;
// Parse (and report errors) without executing: the mode of the query test.
inline constexpr ub4 OCI_PARSE_ONLY = 0x100;
inline constexpr ub4 OCI_COMMIT_ON_SUCCESS = 0x20;
inline constexpr ub4 OCI_DATA_AT_EXEC = 2;
inline constexpr ub2 OCI_FETCH_NEXT = 2;
inline constexpr ub1 OCI_ONE_PIECE = 0;
inline constexpr ub1 SQLCS_IMPLICIT = 1;
inline constexpr ub1 SQLCS_NCHAR = 2;

// Attributes (their meaning depends on the handle type they are used with).
inline constexpr ub4 OCI_ATTR_DATA_SIZE = 1;
inline constexpr ub4 OCI_ATTR_DATA_TYPE = 2;
inline constexpr ub4 OCI_ATTR_NAME = 4;
inline constexpr ub4 OCI_ATTR_PRECISION = 5;
inline constexpr ub4 OCI_ATTR_SCALE = 6;
inline constexpr ub4 OCI_ATTR_SERVER = 6;
inline constexpr ub4 OCI_ATTR_SESSION = 7;
inline constexpr ub4 OCI_ATTR_IS_NULL = 7;
inline constexpr ub4 OCI_ATTR_ROW_COUNT = 9;
inline constexpr ub4 OCI_ATTR_PARAM_COUNT = 18;
inline constexpr ub4 OCI_ATTR_ROWID = 19;
inline constexpr ub4 OCI_ATTR_USERNAME = 22;
inline constexpr ub4 OCI_ATTR_PASSWORD = 23;
inline constexpr ub4 OCI_ATTR_STMT_TYPE = 24;
inline constexpr ub4 OCI_ATTR_CHARSET_ID = 31;
inline constexpr ub4 OCI_ATTR_CHARSET_FORM = 32;
inline constexpr ub4 OCI_ATTR_ROWS_RETURNED = 42;
inline constexpr ub4 OCI_ATTR_ROWS_FETCHED = 197;

// External datatype codes.
inline constexpr ub2 SQLT_CHR = 1;
inline constexpr ub2 SQLT_NUM = 2;
inline constexpr ub2 SQLT_INT = 3;
inline constexpr ub2 SQLT_FLT = 4;
inline constexpr ub2 SQLT_STR = 5;
inline constexpr ub2 SQLT_VNU = 6;
inline constexpr ub2 SQLT_PDN = 7;
inline constexpr ub2 SQLT_LNG = 8;
inline constexpr ub2 SQLT_VCS = 9;
inline constexpr ub2 SQLT_RID = 11;
inline constexpr ub2 SQLT_DAT = 12;
inline constexpr ub2 SQLT_BIN = 23;
inline constexpr ub2 SQLT_LBI = 24;
inline constexpr ub2 SQLT_LVC = 94;
inline constexpr ub2 SQLT_LVB = 95;
inline constexpr ub2 SQLT_AFC = 96;
inline constexpr ub2 SQLT_RDD = 104;
inline constexpr ub2 SQLT_LAB = 105;
inline constexpr ub2 SQLT_CLOB = 112;
inline constexpr ub2 SQLT_BLOB = 113;
inline constexpr ub2 SQLT_BFILEE = 114;
inline constexpr ub2 SQLT_DATE = 184;
inline constexpr ub2 SQLT_TIMESTAMP = 187;
inline constexpr ub2 SQLT_TIMESTAMP_TZ = 188;
inline constexpr ub2 SQLT_INTERVAL_YM = 189;
inline constexpr ub2 SQLT_INTERVAL_DS = 190;
inline constexpr ub2 SQLT_TIMESTAMP_LTZ = 232;

// Callbacks of a dynamic bind.
using OCICallbackInBind = sb4 (*)(void* ictxp, OCIBind* bindp, ub4 iter, ub4 index, void** bufpp,
                                  ub4* alenp, ub1* piecep, void** indp);
using OCICallbackOutBind = sb4 (*)(void* octxp, OCIBind* bindp, ub4 iter, ub4 index, void** bufpp,
                                   ub4** alenp, ub1* piecep, void** indp, ub2** rcodep);
using OCICallbackLobRead = sb4 (*)(void* ctxp, const void* bufp, ub4 len, ub1 piece);
using OCICallbackLobWrite = sb4 (*)(void* ctxp, void* bufp, ub4* lenp, ub1* piece);

// One pointer type per OCI function this program calls.
using OCIEnvNlsCreate_fn = sword (*)(OCIEnv** envp, ub4 mode, void* ctxp,
                                     void* (*malocfp)(void*, size_t),
                                     void* (*ralocfp)(void*, void*, size_t),
                                     void (*mfreefp)(void*, void*), size_t xtramemsz,
                                     void** usrmempp, ub2 charset, ub2 ncharset);
using OCIHandleAlloc_fn = sword (*)(const void* parenth, void** hndlpp, ub4 type, size_t xtramemsz,
                                    void** usrmempp);
using OCIHandleFree_fn = sword (*)(void* hndlp, ub4 type);
using OCIDescriptorAlloc_fn = sword (*)(const void* parenth, void** descpp, ub4 type,
                                        size_t xtramemsz, void** usrmempp);
using OCIDescriptorFree_fn = sword (*)(void* descp, ub4 type);
using OCIErrorGet_fn = sword (*)(void* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep,
                                 OraText* bufp, ub4 bufsiz, ub4 type);
using OCIAttrSet_fn = sword (*)(void* trgthndlp, ub4 trghndltyp, void* attributep, ub4 size,
                                ub4 attrtype, OCIError* errhp);
using OCIAttrGet_fn = sword (*)(const void* trgthndlp, ub4 trghndltyp, void* attributep, ub4* sizep,
                                ub4 attrtype, OCIError* errhp);
using OCIServerAttach_fn = sword (*)(OCIServer* srvhp, OCIError* errhp, const OraText* dblink,
                                     sb4 dblink_len, ub4 mode);
using OCIServerDetach_fn = sword (*)(OCIServer* srvhp, OCIError* errhp, ub4 mode);
using OCISessionBegin_fn = sword (*)(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp,
                                     ub4 credt, ub4 mode);
using OCISessionEnd_fn = sword (*)(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 mode);
using OCITransCommit_fn = sword (*)(OCISvcCtx* svchp, OCIError* errhp, ub4 flags);
using OCITransRollback_fn = sword (*)(OCISvcCtx* svchp, OCIError* errhp, ub4 flags);
using OCIStmtPrepare_fn = sword (*)(OCIStmt* stmtp, OCIError* errhp, const OraText* stmt,
                                    ub4 stmt_len, ub4 language, ub4 mode);
using OCIStmtExecute_fn = sword (*)(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters,
                                    ub4 rowoff, const OCISnapshot* snap_in, OCISnapshot* snap_out,
                                    ub4 mode);
using OCIStmtFetch_fn = sword (*)(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation,
                                  ub4 mode);
using OCIParamGet_fn = sword (*)(const void* hndlp, ub4 htype, OCIError* errhp, void** parmdpp,
                                 ub4 pos);
using OCIDefineByPos_fn = sword (*)(OCIStmt* stmtp, OCIDefine** defnpp, OCIError* errhp,
                                    ub4 position, void* valuep, sb4 value_sz, ub2 dty, void* indp,
                                    ub2* rlenp, ub2* rcodep, ub4 mode);
using OCIBindByName_fn = sword (*)(OCIStmt* stmtp, OCIBind** bindpp, OCIError* errhp,
                                   const OraText* placeholder, sb4 placeh_len, void* valuep,
                                   sb4 value_sz, ub2 dty, void* indp, ub2* alenp, ub2* rcodep,
                                   ub4 maxarr_len, ub4* curelep, ub4 mode);
using OCIBindByPos_fn = sword (*)(OCIStmt* stmtp, OCIBind** bindpp, OCIError* errhp, ub4 position,
                                  void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* alenp,
                                  ub2* rcodep, ub4 maxarr_len, ub4* curelep, ub4 mode);
using OCIBindDynamic_fn = sword (*)(OCIBind* bindp, OCIError* errhp, void* ictxp,
                                    OCICallbackInBind icbfp, void* octxp, OCICallbackOutBind ocbfp);
using OCILobWrite_fn = sword (*)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp,
                                 ub4 offset, void* bufp, ub4 buflen, ub1 piece, void* ctxp,
                                 OCICallbackLobWrite cbfp, ub2 csid, ub1 csfrm);
using OCILobRead_fn = sword (*)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp,
                                ub4 offset, void* bufp, ub4 bufl, void* ctxp,
                                OCICallbackLobRead cbfp, ub2 csid, ub1 csfrm);
using OCILobCharSetForm_fn = sword (*)(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp,
                                       ub1* csfrm);
using OCIDateTimeGetDate_fn = sword (*)(void* hndl, OCIError* err, const OCIDateTime* date, sb2* yr,
                                        ub1* mnth, ub1* dy);
using OCIDateTimeGetTime_fn = sword (*)(void* hndl, OCIError* err, OCIDateTime* datetime, ub1* hr,
                                        ub1* mm, ub1* ss, ub4* fsec);
using OCIDateTimeConstruct_fn = sword (*)(void* hndl, OCIError* err, OCIDateTime* datetime, sb2 yr,
                                          ub1 mnth, ub1 dy, ub1 hr, ub1 mm, ub1 ss, ub4 fsec,
                                          OraText* timezone, size_t timezone_length);

// The functions of the loaded client library, resolved by name once.
struct ora_oci_functions {
    OCIEnvNlsCreate_fn env_nls_create = nullptr;
    OCIHandleAlloc_fn handle_alloc = nullptr;
    OCIHandleFree_fn handle_free = nullptr;
    OCIDescriptorAlloc_fn descriptor_alloc = nullptr;
    OCIDescriptorFree_fn descriptor_free = nullptr;
    OCIErrorGet_fn error_get = nullptr;
    OCIAttrSet_fn attr_set = nullptr;
    OCIAttrGet_fn attr_get = nullptr;
    OCIServerAttach_fn server_attach = nullptr;
    OCIServerDetach_fn server_detach = nullptr;
    OCISessionBegin_fn session_begin = nullptr;
    OCISessionEnd_fn session_end = nullptr;
    OCITransCommit_fn trans_commit = nullptr;
    OCITransRollback_fn trans_rollback = nullptr;
    OCIStmtPrepare_fn stmt_prepare = nullptr;
    OCIStmtExecute_fn stmt_execute = nullptr;
    OCIStmtFetch_fn stmt_fetch = nullptr;
    OCIParamGet_fn param_get = nullptr;
    OCIDefineByPos_fn define_by_pos = nullptr;
    OCIBindByName_fn bind_by_name = nullptr;
    OCIBindByPos_fn bind_by_pos = nullptr;
    OCIBindDynamic_fn bind_dynamic = nullptr;
    OCILobWrite_fn lob_write = nullptr;
    OCILobRead_fn lob_read = nullptr;
    OCILobCharSetForm_fn lob_char_set_form = nullptr;
    OCIDateTimeGetDate_fn date_time_get_date = nullptr;
    OCIDateTimeGetTime_fn date_time_get_time = nullptr;
    OCIDateTimeConstruct_fn date_time_construct = nullptr;
};

// The names tried for the client library, in order: $BRIXEL_OCI_LIBRARY when set and not
// empty, then libclntsh.so, then the versioned names from libclntsh.so.23.1 down to .11.1.
std::vector<std::string> ora_oci_library_names();

// Loads the client library and resolves every function, once per process; later calls return
// at once. When no name gives a library with all the functions, the loader's messages and the
// names tried go to the log and the missing-client exception (level 1) is raised; a later call
// tries again.
void ora_oci_load();

// Whether the function table is filled.
bool ora_oci_loaded() noexcept;

// The function table; an internal error before a successful load.
const ora_oci_functions& ora_oci();

// The message shown when no client library can be loaded.
extern const char* const ora_missing_client_message;
