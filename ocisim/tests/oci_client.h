// Test-side view of the OCI client: the types and constant values of the real client
// (written here independently of the library), the entry points resolved with dlopen, and a
// small connection helper working in a UTF-16 environment as the application does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using sword = int;
using ub1 = unsigned char;
using sb1 = signed char;
using ub2 = uint16_t;
using sb2 = int16_t;
using ub4 = uint32_t;
using sb4 = int32_t;
using ub8 = uint64_t;

namespace oci {

constexpr sword SUCCESS = 0, SUCCESS_WITH_INFO = 1, NO_DATA = 100, ERROR = -1, INVALID_HANDLE = -2,
                CONTINUE = -24200;
constexpr ub4 HTYPE_ENV = 1, HTYPE_ERROR = 2, HTYPE_SVCCTX = 3, HTYPE_STMT = 4, HTYPE_BIND = 5,
              HTYPE_DEFINE = 6, HTYPE_SERVER = 8, HTYPE_SESSION = 9;
constexpr ub4 DTYPE_LOB = 50, DTYPE_PARAM = 53, DTYPE_ROWID = 54, DTYPE_TIMESTAMP = 68;
constexpr ub4 DEFAULT = 0, NTV_SYNTAX = 1, CRED_RDBMS = 1, DESCRIBE_ONLY = 0x10,
              COMMIT_ON_SUCCESS = 0x20, BATCH_ERRORS = 0x80, PARSE_ONLY = 0x100, DATA_AT_EXEC = 2,
              NCHAR_LITERAL_REPLACE_ON = 0x00400000, NCHAR_LITERAL_REPLACE_OFF = 0x00800000;
constexpr ub2 UTF16ID = 1000, FETCH_NEXT = 2;
constexpr ub1 ONE_PIECE = 0, SQLCS_IMPLICIT = 1, SQLCS_NCHAR = 2, TEMP_BLOB = 1, TEMP_CLOB = 2;
constexpr ub4 ATTR_DATA_SIZE = 1, ATTR_DATA_TYPE = 2, ATTR_NAME = 4, ATTR_PRECISION = 5,
              ATTR_SCALE = 6, ATTR_SERVER = 6, ATTR_SESSION = 7, ATTR_IS_NULL = 7,
              ATTR_ROW_COUNT = 9, ATTR_NUM_DML_ERRORS = 73, ATTR_DML_ROW_OFFSET = 74,
              ATTR_PARAM_COUNT = 18, ATTR_USERNAME = 22, ATTR_PASSWORD = 23, ATTR_STMT_TYPE = 24,
              ATTR_CHARSET_ID = 31, ATTR_CHARSET_FORM = 32, ATTR_ROWS_RETURNED = 42,
              ATTR_ROWS_FETCHED = 197, ATTR_CHAR_SIZE = 286;
constexpr ub2 SQLT_CHR = 1, SQLT_INT = 3, SQLT_FLT = 4, SQLT_STR = 5, SQLT_BIN = 23, SQLT_AFC = 96,
              SQLT_CLOB = 112, SQLT_BLOB = 113, SQLT_TIMESTAMP = 187, SQLT_DAT = 12, SQLT_LNG = 8,
              SQLT_NUM = 2, SQLT_RDD = 104, SQLT_LBI = 24, SQLT_LVC = 94, SQLT_LVB = 95;

using InBind = sb4 (*)(void*, void*, ub4, ub4, void**, ub4*, ub1*, void**);
using OutBind = sb4 (*)(void*, void*, ub4, ub4, void**, ub4**, ub1*, void**, ub2**);

// Entry points of the library, resolved once.
struct Api {
    void* lib = nullptr;
    sword (*EnvNlsCreate)(void**, ub4, void*, void*, void*, void*, size_t, void**, ub2, ub2);
    sword (*HandleAlloc)(const void*, void**, ub4, size_t, void**);
    sword (*HandleFree)(void*, ub4);
    sword (*DescriptorAlloc)(const void*, void**, ub4, size_t, void**);
    sword (*DescriptorFree)(void*, ub4);
    sword (*ServerAttach)(void*, void*, const void*, sb4, ub4);
    sword (*ServerDetach)(void*, void*, ub4);
    sword (*AttrSet)(void*, ub4, void*, ub4, ub4, void*);
    sword (*AttrGet)(const void*, ub4, void*, ub4*, ub4, void*);
    sword (*SessionBegin)(void*, void*, void*, ub4, ub4);
    sword (*SessionEnd)(void*, void*, void*, ub4);
    sword (*StmtPrepare)(void*, void*, const void*, ub4, ub4, ub4);
    sword (*StmtExecute)(void*, void*, void*, ub4, ub4, const void*, void*, ub4);
    sword (*StmtFetch)(void*, void*, ub4, ub2, ub4);
    sword (*ParamGet)(const void*, ub4, void*, void**, ub4);
    sword (*DefineByPos)(void*, void**, void*, ub4, void*, sb4, ub2, void*, ub2*, ub2*, ub4);
    sword (*BindByName)(void*, void**, void*, const void*, sb4, void*, sb4, ub2, void*, ub2*, ub2*,
                        ub4, ub4*, ub4);
    sword (*BindByPos)(void*, void**, void*, ub4, void*, sb4, ub2, void*, ub2*, ub2*, ub4, ub4*,
                       ub4);
    sword (*BindArrayOfStruct)(void*, void*, ub4, ub4, ub4, ub4);
    sword (*BindDynamic)(void*, void*, void*, InBind, void*, OutBind);
    sword (*LobWrite)(void*, void*, void*, ub4*, ub4, void*, ub4, ub1, void*, void*, ub2, ub1);
    sword (*LobRead)(void*, void*, void*, ub4*, ub4, void*, ub4, void*, void*, ub2, ub1);
    sword (*LobCharSetForm)(void*, void*, const void*, ub1*);
    sword (*LobCreateTemporary)(void*, void*, void*, ub2, ub1, ub1, int, ub2);
    sword (*LobFreeTemporary)(void*, void*, void*);
    sword (*DateTimeGetDate)(void*, void*, const void*, sb2*, ub1*, ub1*);
    sword (*DateTimeGetTime)(void*, void*, void*, ub1*, ub1*, ub1*, ub4*);
    sword (*DateTimeConstruct)(void*, void*, void*, sb2, ub1, ub1, ub1, ub1, ub1, ub4, ub1*,
                               size_t);
    sword (*ErrorGet)(void*, ub4, void*, sb4*, void*, ub4, ub4);
    sword (*TransCommit)(void*, void*, ub4);
    sword (*TransRollback)(void*, void*, ub4);
    void (*ClientVersion)(int*, int*, int*, int*, int*);
    void (*ThreadProcessInit)();

    static Api& get();
};

}  // namespace oci

std::u16string u16(const std::string& utf8);
std::string u8(const char16_t* data, size_t units);
std::string u8(const std::u16string& s);

// A scratch OCISIM_HOME with one service ORCL and user SCOTT/tiger; removed afterwards.
class ScratchHome {
  public:
    explicit ScratchHome(const std::string& release = "19c", const std::string& charset = "");
    ~ScratchHome();
    // Runs ocisim-admin with these arguments; returns its exit status.
    int admin(const std::string& args) const;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// One UTF-16 environment with one session, driven the way the application drives OCI.
class Conn {
  public:
    explicit Conn(ub4 env_mode = oci::DEFAULT);
    ~Conn();
    Conn(const Conn&) = delete;
    Conn& operator=(const Conn&) = delete;

    sword connect(const std::string& dblink = "//localhost:1521/ORCL",
                  const std::string& user = "scott", const std::string& password = "tiger");
    void disconnect();
    // Prepares and executes with one iteration (mode as given).
    sword exec(const std::string& sql, ub4 mode = oci::DEFAULT);
    // Runs a query and returns every row as text ("<null>" for NULL).
    std::vector<std::vector<std::string>> rows(const std::string& sql);
    std::string one(const std::string& sql);
    sword commit();
    sword rollback();

    // The first error record: number and text (text without the trailing line feed).
    int code() const;
    std::string text() const;
    std::string raw_text() const;

    void* env = nullptr;
    void* err = nullptr;
    void* srv = nullptr;
    void* svc = nullptr;
    void* ses = nullptr;
    void* stmt = nullptr;  // reused by exec/rows; tests may prepare on it too
    sword prepare(const std::string& sql);
    sword execute(ub4 iters, ub4 mode = oci::DEFAULT);
};
