#include "oci_client.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace oci {

Api& Api::get() {
    static Api api = [] {
        Api a;
        a.lib = dlopen(OCISIM_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (a.lib == nullptr) {
            throw std::runtime_error(dlerror());
        }
        auto sym = [&](auto& fn, const char* name) {
            void* p = dlsym(a.lib, name);
            if (p == nullptr) {
                throw std::runtime_error(std::string("missing symbol ") + name);
            }
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(p);
        };
        sym(a.EnvNlsCreate, "OCIEnvNlsCreate");
        sym(a.HandleAlloc, "OCIHandleAlloc");
        sym(a.HandleFree, "OCIHandleFree");
        sym(a.DescriptorAlloc, "OCIDescriptorAlloc");
        sym(a.DescriptorFree, "OCIDescriptorFree");
        sym(a.ServerAttach, "OCIServerAttach");
        sym(a.ServerDetach, "OCIServerDetach");
        sym(a.AttrSet, "OCIAttrSet");
        sym(a.AttrGet, "OCIAttrGet");
        sym(a.SessionBegin, "OCISessionBegin");
        sym(a.SessionEnd, "OCISessionEnd");
        sym(a.StmtPrepare, "OCIStmtPrepare");
        sym(a.StmtExecute, "OCIStmtExecute");
        sym(a.StmtFetch, "OCIStmtFetch");
        sym(a.ParamGet, "OCIParamGet");
        sym(a.DefineByPos, "OCIDefineByPos");
        sym(a.BindByName, "OCIBindByName");
        sym(a.BindByPos, "OCIBindByPos");
        sym(a.BindArrayOfStruct, "OCIBindArrayOfStruct");
        sym(a.BindDynamic, "OCIBindDynamic");
        sym(a.LobWrite, "OCILobWrite");
        sym(a.LobRead, "OCILobRead");
        sym(a.LobCharSetForm, "OCILobCharSetForm");
        sym(a.LobCreateTemporary, "OCILobCreateTemporary");
        sym(a.LobFreeTemporary, "OCILobFreeTemporary");
        sym(a.DateTimeGetDate, "OCIDateTimeGetDate");
        sym(a.DateTimeGetTime, "OCIDateTimeGetTime");
        sym(a.DateTimeConstruct, "OCIDateTimeConstruct");
        sym(a.ErrorGet, "OCIErrorGet");
        sym(a.TransCommit, "OCITransCommit");
        sym(a.TransRollback, "OCITransRollback");
        sym(a.ClientVersion, "OCIClientVersion");
        sym(a.ThreadProcessInit, "OCIThreadProcessInit");
        return a;
    }();
    return api;
}

}  // namespace oci

std::u16string u16(const std::string& s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp = c;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra > 0) {
            cp = c & (0x3F >> extra);
        }
        for (int k = 1; k <= extra; ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + static_cast<size_t>(k)]) & 0x3F);
        }
        i += static_cast<size_t>(extra) + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string u8(const char16_t* data, size_t units) {
    std::string out;
    for (size_t i = 0; i < units; ++i) {
        char32_t cp = data[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (data[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string u8(const std::u16string& s) {
    return u8(s.data(), s.size());
}

ScratchHome::ScratchHome(const std::string& release, const std::string& charset) {
    char tmpl[] = "/tmp/ocisim-test-XXXXXX";
    path_ = mkdtemp(tmpl);
    setenv("OCISIM_HOME", path_.c_str(), 1);
    std::string opts = " --release " + release;
    if (!charset.empty()) {
        opts += " --charset " + charset;
    }
    if (admin("create-service ORCL" + opts) != 0 || admin("create-user ORCL scott tiger") != 0) {
        throw std::runtime_error("ocisim-admin failed");
    }
}

ScratchHome::~ScratchHome() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    unsetenv("OCISIM_HOME");
}

int ScratchHome::admin(const std::string& args) const {
    std::string cmd = "OCISIM_HOME='" + path_ + "' '" OCISIM_ADMIN "' " + args + " >/dev/null";
    return std::system(cmd.c_str());
}

Conn::Conn(ub4 env_mode) {
    auto& a = oci::Api::get();
    a.EnvNlsCreate(&env, env_mode, nullptr, nullptr, nullptr, nullptr, 0, nullptr, oci::UTF16ID,
                   oci::UTF16ID);
    void* usr = nullptr;
    a.HandleAlloc(env, &err, oci::HTYPE_ERROR, 52, &usr);
    a.HandleAlloc(env, &srv, oci::HTYPE_SERVER, 52, &usr);
    a.HandleAlloc(env, &ses, oci::HTYPE_SESSION, 0, nullptr);
    a.HandleAlloc(env, &svc, oci::HTYPE_SVCCTX, 0, nullptr);
    a.HandleAlloc(env, &stmt, oci::HTYPE_STMT, 0, nullptr);
}

Conn::~Conn() {
    auto& a = oci::Api::get();
    disconnect();
    a.HandleFree(stmt, oci::HTYPE_STMT);
    a.HandleFree(srv, oci::HTYPE_SERVER);
    a.HandleFree(svc, oci::HTYPE_SVCCTX);
    a.HandleFree(err, oci::HTYPE_ERROR);
    a.HandleFree(ses, oci::HTYPE_SESSION);
    a.HandleFree(env, oci::HTYPE_ENV);
}

sword Conn::connect(const std::string& dblink, const std::string& user,
                    const std::string& password) {
    auto& a = oci::Api::get();
    std::u16string link = u16(dblink);
    sword rc = a.ServerAttach(srv, err, link.data(), static_cast<sb4>(link.size() * 2), 0);
    if (rc != oci::SUCCESS) {
        return rc;
    }
    a.AttrSet(svc, oci::HTYPE_SVCCTX, srv, 0, oci::ATTR_SERVER, err);
    std::u16string u = u16(user);
    std::u16string p = u16(password);
    a.AttrSet(ses, oci::HTYPE_SESSION, u.data(), static_cast<ub4>(u.size() * 2), oci::ATTR_USERNAME,
              err);
    a.AttrSet(ses, oci::HTYPE_SESSION, p.data(), static_cast<ub4>(p.size() * 2), oci::ATTR_PASSWORD,
              err);
    rc = a.SessionBegin(svc, err, ses, oci::CRED_RDBMS, oci::DEFAULT);
    if (rc == oci::SUCCESS) {
        a.AttrSet(svc, oci::HTYPE_SVCCTX, ses, 0, oci::ATTR_SESSION, err);
    }
    return rc;
}

void Conn::disconnect() {
    auto& a = oci::Api::get();
    a.SessionEnd(svc, err, ses, oci::DEFAULT);
    a.ServerDetach(srv, err, oci::DEFAULT);
}

sword Conn::prepare(const std::string& sql) {
    std::u16string text = u16(sql);
    return oci::Api::get().StmtPrepare(stmt, err, text.data(), static_cast<ub4>(text.size() * 2),
                                       oci::NTV_SYNTAX, oci::DEFAULT);
}

sword Conn::execute(ub4 iters, ub4 mode) {
    return oci::Api::get().StmtExecute(svc, stmt, err, iters, 0, nullptr, nullptr, mode);
}

sword Conn::exec(const std::string& sql, ub4 mode) {
    sword rc = prepare(sql);
    return rc != oci::SUCCESS ? rc : execute(1, mode);
}

std::vector<std::vector<std::string>> Conn::rows(const std::string& sql) {
    auto& a = oci::Api::get();
    std::vector<std::vector<std::string>> out;
    if (prepare(sql) != oci::SUCCESS || execute(0) != oci::SUCCESS) {
        throw std::runtime_error("query failed: " + text());
    }
    ub4 count = 0;
    a.AttrGet(stmt, oci::HTYPE_STMT, &count, nullptr, oci::ATTR_PARAM_COUNT, err);
    constexpr sb4 kSize = 8192;
    std::vector<std::vector<char16_t>> bufs(count, std::vector<char16_t>(kSize / 2));
    std::vector<sb2> inds(count);
    std::vector<ub2> lens(count);
    for (ub4 i = 0; i < count; ++i) {
        void* def = nullptr;
        a.DefineByPos(stmt, &def, err, i + 1, bufs[i].data(), kSize, oci::SQLT_STR, &inds[i],
                      &lens[i], nullptr, oci::DEFAULT);
        // National columns are fetched in the national form, as a careful client does.
        void* param = nullptr;
        ub1 form = 0;
        a.ParamGet(stmt, oci::HTYPE_STMT, err, &param, i + 1);
        a.AttrGet(param, oci::DTYPE_PARAM, &form, nullptr, oci::ATTR_CHARSET_FORM, err);
        a.DescriptorFree(param, oci::DTYPE_PARAM);
        if (form == oci::SQLCS_NCHAR) {
            a.AttrSet(def, oci::HTYPE_DEFINE, &form, 0, oci::ATTR_CHARSET_FORM, err);
        }
    }
    while (true) {
        sword rc = a.StmtFetch(stmt, err, 1, oci::FETCH_NEXT, oci::DEFAULT);
        if (rc == oci::NO_DATA) {
            break;
        }
        if (rc != oci::SUCCESS) {
            throw std::runtime_error("fetch failed: " + text());
        }
        std::vector<std::string> row;
        for (ub4 i = 0; i < count; ++i) {
            row.push_back(inds[i] == -1 ? "<null>" : u8(bufs[i].data(), lens[i] / 2));
        }
        out.push_back(std::move(row));
    }
    return out;
}

std::string Conn::one(const std::string& sql) {
    auto r = rows(sql);
    return r.empty() || r[0].empty() ? "<no rows>" : r[0][0];
}

sword Conn::commit() {
    return oci::Api::get().TransCommit(svc, err, 0);
}
sword Conn::rollback() {
    return oci::Api::get().TransRollback(svc, err, 0);
}

int Conn::code() const {
    sb4 code = 0;
    char16_t buf[600] = {};
    oci::Api::get().ErrorGet(err, 1, nullptr, &code, buf, sizeof buf, oci::HTYPE_ERROR);
    return code;
}

std::string Conn::raw_text() const {
    sb4 code = 0;
    char16_t buf[600] = {};
    oci::Api::get().ErrorGet(err, 1, nullptr, &code, buf, sizeof buf, oci::HTYPE_ERROR);
    return u8(std::u16string(buf));
}

std::string Conn::text() const {
    std::string t = raw_text();
    if (!t.empty() && t.back() == '\n') {
        t.pop_back();
    }
    return t;
}
