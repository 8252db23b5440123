// LOB reads and writes through locators, and the datetime accessors.
#include <cstring>

#include "oci_handles.h"
#include "text_codec.h"

using namespace ocisim;

namespace {

// How LOB amounts and buffers are counted for a call: UTF-16 code units (characters) when the
// buffer holds UTF-16, bytes otherwise.
struct LobEncoding {
    bool clob = true;
    bool utf16 = false;
};

LobEncoding encoding_for(const OCILobLocator* loc, const OCIEnv* env, ub2 csid) {
    LobEncoding e;
    e.clob = loc->is_clob;
    // Character set id 0 means the environment's character set.
    e.utf16 = csid == OCI_UTF16ID || (csid == 0 && env->utf16);
    return e;
}

// Converts the buffer the application passed to the UTF-8 the server stores.
std::string client_clob_text(const LobEncoding& e, const void* buf, size_t bytes) {
    if (e.utf16) {
        return utf16_bytes_to_utf8(buf, bytes);
    }
    return std::string(static_cast<const char*>(buf), bytes);
}

// The buffer's character set form must be the LOB's: SQLCS_NCHAR for an NCLOB, SQLCS_IMPLICIT
// for a CLOB. Other values (0 among them) are taken as "the LOB's own form".
bool form_mismatch(const OCILobLocator* locp, ub1 csfrm) {
    if (!locp->is_clob || (csfrm != SQLCS_IMPLICIT && csfrm != SQLCS_NCHAR)) {
        return false;
    }
    return (csfrm == SQLCS_NCHAR) != locp->national;
}

// The checks every LOB read and write makes before touching data: valid handles, a session, an
// initialised locator of the buffer's character set form and a 1-based offset. Answers the
// session, or null with `status` set to what the call returns.
Session* lob_call_session(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, const ub4* amtp,
                          ub4 offset, ub1 csfrm, sword* status) {
    if (checked<OCILobLocator>(locp, OCI_DTYPE_LOB) == nullptr || amtp == nullptr) {
        *status = OCI_INVALID_HANDLE;
        return nullptr;
    }
    Session* s = session_of(svchp, errhp, status);
    if (s == nullptr) {
        return nullptr;
    }
    if (!locp->initialised) {
        *status = fail(errhp, ora(22275));
    } else if (form_mismatch(locp, csfrm)) {
        *status = fail(errhp, ora(24806));
    } else if (offset == 0) {
        *status = fail(errhp, ora(24801));
    } else {
        return s;
    }
    return nullptr;
}

// The LOB's current content: a temporary LOB's own, or the row's.
std::string lob_content(Session* s, const OCILobLocator* locp, bool* is_clob) {
    if (locp->temporary) {
        *is_clob = locp->is_clob;
        return locp->temp_data;
    }
    return s->lob_read(locp->ref, is_clob);
}

void store_lob(Session* s, OCILobLocator* locp, std::string content) {
    if (locp->temporary) {
        locp->temp_data = std::move(content);
    } else {
        s->lob_write(locp->ref, content);
    }
}

}  // namespace

OCISIM_EXPORT sword OCILobCreateTemporary(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp,
                                          ub2 /*csid*/, ub1 csfrm, ub1 lobtype, int /*cache*/,
                                          ub2 /*duration*/) {
    if (checked<OCILobLocator>(locp, OCI_DTYPE_LOB) == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    sword status = OCI_SUCCESS;
    Session* s = session_of(svchp, errhp, &status);
    if (s == nullptr) {
        return status;
    }
    if (lobtype != OCI_TEMP_BLOB && lobtype != OCI_TEMP_CLOB) {
        return fail(errhp, ora(24801));
    }
    try {
        s->round_trip();
    } catch (const OraError& e) {
        return fail(errhp, e);
    }
    locp->initialised = true;
    locp->temporary = true;
    locp->ref = LobRef{};
    locp->is_clob = lobtype == OCI_TEMP_CLOB;
    locp->national = locp->is_clob && csfrm == SQLCS_NCHAR;
    locp->temp_data.clear();
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILobFreeTemporary(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp) {
    if (checked<OCILobLocator>(locp, OCI_DTYPE_LOB) == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    sword status = OCI_SUCCESS;
    if (session_of(svchp, errhp, &status) == nullptr) {
        return status;
    }
    if (!locp->temporary) {
        return fail(errhp, ora(22275));
    }
    locp->temporary = false;
    locp->initialised = false;
    std::string().swap(locp->temp_data);
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILobIsTemporary(OCIEnv* envhp, OCIError* errhp, OCILobLocator* locp,
                                      int* is_temporary) {
    if (checked<OCIEnv>(envhp, OCI_HTYPE_ENV) == nullptr ||
        checked<OCILobLocator>(locp, OCI_DTYPE_LOB) == nullptr || is_temporary == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    *is_temporary = locp->temporary ? 1 : 0;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILobWrite(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp,
                                ub4 offset, void* bufp, ub4 buflen, ub1 piece, void* /*ctxp*/,
                                OCICallbackLobWrite /*cbfp*/, ub2 csid, ub1 csfrm) {
    sword status = OCI_SUCCESS;
    Session* s = lob_call_session(svchp, errhp, locp, amtp, offset, csfrm, &status);
    if (s == nullptr) {
        return status;
    }
    if (piece != OCI_ONE_PIECE) {
        // Streaming writes with pieces are not modelled.
        return fail(errhp, ora(24801));
    }
    try {
        s->round_trip();
        bool is_clob = true;
        std::string current = lob_content(s, locp, &is_clob);
        std::string updated;
        if (is_clob) {
            LobEncoding e = encoding_for(locp, svchp->env, csid);
            // The amount counts characters for UTF-16 data and bytes otherwise.
            size_t bytes = e.utf16 ? std::min<size_t>(size_t{*amtp} * 2, buflen)
                                   : std::min<size_t>(*amtp, buflen);
            std::string text = client_clob_text(e, bufp, bytes);
            if (s->settings().single_byte() && !locp->national) {
                text = through_charset(text, s->settings().charset);
            }
            size_t units = utf16_length(current);
            if (offset - 1 > units) {
                current.append(offset - 1 - units, ' ');
            }
            size_t start = utf8_offset_of_utf16_unit(current, offset - 1);
            size_t end = utf8_offset_of_utf16_unit(current, offset - 1 + utf16_length(text));
            updated = current.substr(0, start) + text + current.substr(end);
            *amtp = static_cast<ub4>(e.utf16 ? utf16_length(text) : text.size());
        } else {
            size_t n = std::min<size_t>(*amtp, buflen);
            if (offset - 1 > current.size()) {
                current.resize(offset - 1, '\0');
            }
            updated = current;
            if (updated.size() < offset - 1 + n) {
                updated.resize(offset - 1 + n);
            }
            std::memcpy(updated.data() + offset - 1, bufp, n);
            *amtp = static_cast<ub4>(n);
        }
        store_lob(s, locp, std::move(updated));
        return OCI_SUCCESS;
    } catch (const OraError& e) {
        return fail(errhp, e);
    }
}

OCISIM_EXPORT sword OCILobRead(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp,
                               ub4 offset, void* bufp, ub4 bufl, void* /*ctxp*/,
                               OCICallbackLobRead /*cbfp*/, ub2 csid, ub1 csfrm) {
    sword status = OCI_SUCCESS;
    Session* s = lob_call_session(svchp, errhp, locp, amtp, offset, csfrm, &status);
    if (s == nullptr) {
        return status;
    }
    try {
        s->round_trip();
        bool is_clob = true;
        std::string content = lob_content(s, locp, &is_clob);
        if (!is_clob) {
            if (offset - 1 >= content.size()) {
                *amtp = 0;
                return OCI_NO_DATA;
            }
            size_t want = *amtp == 0 ? content.size() : *amtp;
            size_t n = std::min({want, static_cast<size_t>(bufl), content.size() - (offset - 1)});
            std::memcpy(bufp, content.data() + offset - 1, n);
            *amtp = static_cast<ub4>(n);
            return OCI_SUCCESS;
        }
        LobEncoding e = encoding_for(locp, svchp->env, csid);
        size_t total_units = utf16_length(content);
        if (offset - 1 >= total_units) {
            *amtp = 0;
            return OCI_NO_DATA;
        }
        size_t start = utf8_offset_of_utf16_unit(content, offset - 1);
        std::string tail = content.substr(start);
        if (e.utf16) {
            std::u16string units = utf8_to_utf16(tail);
            size_t want = *amtp == 0 ? units.size() : *amtp;
            size_t n = std::min({want, static_cast<size_t>(bufl / 2), units.size()});
            std::memcpy(bufp, units.data(), n * 2);
            *amtp = static_cast<ub4>(n);
        } else {
            size_t want = *amtp == 0 ? tail.size() : *amtp;
            size_t n = std::min({want, static_cast<size_t>(bufl), tail.size()});
            // Never split a UTF-8 sequence.
            while (n > 0 && n < tail.size() &&
                   (static_cast<unsigned char>(tail[n]) & 0xC0) == 0x80) {
                --n;
            }
            std::memcpy(bufp, tail.data(), n);
            *amtp = static_cast<ub4>(n);
        }
        return OCI_SUCCESS;
    } catch (const OraError& e) {
        return fail(errhp, e);
    }
}

OCISIM_EXPORT sword OCILobWrite2(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp,
                                 ub8* byte_amtp, ub8* char_amtp, ub8 offset, void* bufp, ub8 buflen,
                                 ub1 piece, void* ctxp, OCICallbackLobWrite cbfp, ub2 csid,
                                 ub1 csfrm) {
    if (byte_amtp == nullptr || char_amtp == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    bool chars = locp != nullptr && locp->magic == kHandleMagic && locp->is_clob && *char_amtp != 0;
    ub4 amt = static_cast<ub4>(chars ? *char_amtp : *byte_amtp);
    sword rc = OCILobWrite(svchp, errhp, locp, &amt, static_cast<ub4>(offset), bufp,
                           static_cast<ub4>(buflen), piece, ctxp, cbfp, csid, csfrm);
    (chars ? *char_amtp : *byte_amtp) = amt;
    return rc;
}

OCISIM_EXPORT sword OCILobRead2(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp,
                                ub8* byte_amtp, ub8* char_amtp, ub8 offset, void* bufp, ub8 bufl,
                                ub1 /*piece*/, void* ctxp, OCICallbackLobRead cbfp, ub2 csid,
                                ub1 csfrm) {
    if (byte_amtp == nullptr || char_amtp == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    bool chars = locp != nullptr && locp->magic == kHandleMagic && locp->is_clob && *char_amtp != 0;
    ub4 amt = static_cast<ub4>(chars ? *char_amtp : *byte_amtp);
    sword rc = OCILobRead(svchp, errhp, locp, &amt, static_cast<ub4>(offset), bufp,
                          static_cast<ub4>(bufl), ctxp, cbfp, csid, csfrm);
    (chars ? *char_amtp : *byte_amtp) = amt;
    return rc;
}

OCISIM_EXPORT sword OCILobGetLength(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp,
                                    ub4* lenp) {
    if (checked<OCILobLocator>(locp, OCI_DTYPE_LOB) == nullptr || lenp == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    sword status = OCI_SUCCESS;
    Session* s = session_of(svchp, errhp, &status);
    if (s == nullptr) {
        return status;
    }
    if (!locp->initialised) {
        return fail(errhp, ora(22275));
    }
    try {
        s->round_trip();
        bool is_clob = true;
        std::string content = lob_content(s, locp, &is_clob);
        *lenp = static_cast<ub4>(is_clob ? utf16_length(content) : content.size());
        return OCI_SUCCESS;
    } catch (const OraError& e) {
        return fail(errhp, e);
    }
}

OCISIM_EXPORT sword OCILobCharSetForm(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp,
                                      ub1* csfrm) {
    if (checked<OCIEnv>(envhp, OCI_HTYPE_ENV) == nullptr ||
        checked<OCILobLocator>(locp, OCI_DTYPE_LOB) == nullptr || csfrm == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    *csfrm = !locp->is_clob ? 0 : (locp->national ? SQLCS_NCHAR : SQLCS_IMPLICIT);
    return OCI_SUCCESS;
}

static OCIDateTime* datetime_of(const OCIDateTime* d) {
    auto* base = static_cast<HandleBase*>(const_cast<OCIDateTime*>(d));
    if (base == nullptr || base->magic != kHandleMagic) {
        return nullptr;
    }
    return dynamic_cast<OCIDateTime*>(base);
}

OCISIM_EXPORT sword OCIDateTimeGetDate(void* /*hndl*/, OCIError* /*err*/,
                                       const OCIDateTime* datetime, sb2* yr, ub1* mnth, ub1* dy) {
    OCIDateTime* d = datetime_of(datetime);
    if (d == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    if (yr != nullptr)
        *yr = static_cast<sb2>(d->value.year);
    if (mnth != nullptr)
        *mnth = static_cast<ub1>(d->value.month);
    if (dy != nullptr)
        *dy = static_cast<ub1>(d->value.day);
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIDateTimeGetTime(void* /*hndl*/, OCIError* /*err*/, OCIDateTime* datetime,
                                       ub1* hr, ub1* mm, ub1* ss, ub4* fsec) {
    OCIDateTime* d = datetime_of(datetime);
    if (d == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    if (hr != nullptr)
        *hr = static_cast<ub1>(d->value.hour);
    if (mm != nullptr)
        *mm = static_cast<ub1>(d->value.minute);
    if (ss != nullptr)
        *ss = static_cast<ub1>(d->value.second);
    if (fsec != nullptr)
        *fsec = static_cast<ub4>(d->value.nanos);
    return OCI_SUCCESS;
}

// Fills a timestamp descriptor; fsec is in nanoseconds. The time zone is the session's: the
// stand-in keeps no zones.
OCISIM_EXPORT sword OCIDateTimeConstruct(void* /*hndl*/, OCIError* err, OCIDateTime* datetime,
                                         sb2 yr, ub1 mnth, ub1 dy, ub1 hr, ub1 mm, ub1 ss, ub4 fsec,
                                         OraText* /*timezone*/, size_t /*timezone_length*/) {
    OCIDateTime* d = datetime_of(datetime);
    if (d == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    if (yr < -4712 || yr > 9999 || yr == 0 || mnth < 1 || mnth > 12) {
        return fail(err, ora(1843));
    }
    if (dy < 1 || dy > days_in_month(yr, mnth)) {
        return fail(err, ora(1847));
    }
    if (hr > 23 || mm > 59 || ss > 59 || fsec > 999999999) {
        return fail(err, ora(1850));
    }
    d->value = DateTime{yr, mnth, dy, hr, mm, ss, static_cast<int>(fsec)};
    return OCI_SUCCESS;
}
