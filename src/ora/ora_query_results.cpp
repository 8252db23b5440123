#include "ora/ora_query_results.hpp"

#include <memory>

#include "ora/ora_oci.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"

namespace {
constexpr const char* source_tag = "ora_qres.cpp";
// Room for the longest interval text in UTF-16 with its terminator.
constexpr uint32_t interval_text_bytes = 64;
}  // namespace

ora_query_results::ora_query_results(std::u16string result_name, std::u16string query_text,
                                     uint32_t open_mode)
    : udb_recordset(std::move(result_name), std::move(query_text), true), open_mode_(open_mode) {}

ora_query_results::~ora_query_results() {
    TK_TRACE("ora_query_results::dtor");
    record_.reset();
    columns_.clear();  // buffers and descriptors go before the statement handle
    stmt_.reset();
}

std::unique_ptr<ora_type> ora_query_results::gen_co_by_type(uint16_t type_code, OCIParam* param) {
    TK_TRACE("ora_query_results::gen_co_by_type(%d)", type_code);
    switch (type_code) {
        case SQLT_CHR:
        case SQLT_STR:
        case SQLT_AFC:
            return std::make_unique<ora_string>(param);
        case SQLT_NUM:
        case SQLT_INT:
        case SQLT_FLT:
        case SQLT_VNU:
        case SQLT_PDN:
        // BINARY_FLOAT and BINARY_DOUBLE: also received as text, so their values are kept.
        case 21:
        case 22:
        case 100:
        case 101:
            return std::make_unique<ora_number>(param);
        case SQLT_LNG:
        case SQLT_LBI:
            return std::make_unique<ora_str_repr>(param, 1000000);
        case SQLT_RID:
        case SQLT_RDD:
        case SQLT_LAB:
            return std::make_unique<ora_str_repr>(param, 255);
        case 182:
        case SQLT_INTERVAL_YM:
        case SQLT_INTERVAL_DS:
            // As text; the longest, "+999999999 23:59:59.999999999", is 29 characters.
            return std::make_unique<ora_str_repr>(param, interval_text_bytes);
        case SQLT_DAT:
        case SQLT_TIMESTAMP:
        case SQLT_TIMESTAMP_TZ:
        case 231:
        case SQLT_TIMESTAMP_LTZ:
            return std::make_unique<ora_date>(param);
        case SQLT_BIN:
            return std::make_unique<ora_binary>(param);
        case SQLT_CLOB:
        case SQLT_BLOB:
            return std::make_unique<ora_lob>(param);
        default:
            return std::make_unique<ora_dummy>(param);
    }
}

void ora_query_results::initialize(uint32_t column_count, const std::u16string& select) {
    TK_TRACEW(u"ora_query_results::initialize(%d, %s)", static_cast<int>(column_count),
              select.c_str());
    ora_engine& engine = ora_engine::instance();
    const ora_oci_functions& oci = ora_oci();
    record_.reset();
    columns_.clear();
    stmt_.reset();
    b_fetched_ = false;
    b_end_ = false;
    std::vector<bool> national;
    {
        // Executed without iterations, the statement is only described.
        ora_stmt describe;
        describe.prepare(select);
        describe.execute(0);
        if (column_count == 0) {
            ub4 count = 0;
            ub4 size = 0;
            engine.check_err(oci.attr_get(describe.handle(), OCI_HTYPE_STMT, &count, &size,
                                          OCI_ATTR_PARAM_COUNT, engine.err()));
            column_count = count;
        }
        columns_.reserve(column_count);
        national.assign(column_count, false);
        for (uint32_t i = 1; i <= column_count; ++i) {
            TK_TRACE("Processing column #%d", static_cast<int>(i));
            void* param = nullptr;
            engine.check_err(
                oci.param_get(describe.handle(), OCI_HTYPE_STMT, engine.err(), &param, i));
            // The descriptor is the caller's to free, also when reading it raises.
            const std::unique_ptr<void, void (*)(void*)> param_owner(
                param, [](void* p) { ora_oci().descriptor_free(p, OCI_DTYPE_PARAM); });
            ub2 type_code = 0;
            ub4 size = 0;
            engine.check_err(oci.attr_get(param, OCI_DTYPE_PARAM, &type_code, &size,
                                          OCI_ATTR_DATA_TYPE, engine.err()));
            if (type_code == SQLT_CHR || type_code == SQLT_AFC || type_code == SQLT_CLOB) {
                ub1 form = 0;
                engine.check_err(oci.attr_get(param, OCI_DTYPE_PARAM, &form, &size,
                                              OCI_ATTR_CHARSET_FORM, engine.err()));
                national[i - 1] = form == SQLCS_NCHAR;
            }
            columns_.push_back(gen_co_by_type(type_code, static_cast<OCIParam*>(param)));
        }
    }
    auto stmt = std::make_unique<ora_stmt>();
    stmt->prepare(select);
    for (uint32_t i = 0; i < columns_.size(); ++i) {
        columns_[i]->define(stmt->handle(), i + 1);
        // National columns are fetched in the national form, so their text never passes
        // through the database character set.
        OCIDefine* define = columns_[i]->define_handle();
        if (national[i] && define != nullptr) {
            ub1 form = SQLCS_NCHAR;
            engine.check_err(oci.attr_set(define, OCI_HTYPE_DEFINE, &form, 0, OCI_ATTR_CHARSET_FORM,
                                          engine.err()));
        }
    }
    stmt->execute(0);
    stmt_ = std::move(stmt);
}

void ora_query_results::append_record(udb_record& /*record*/) {
    TK_FAIL(source_tag);
}

bool ora_query_results::fetch() {
    if (b_end_) {
        return false;
    }
    ora_engine& engine = ora_engine::instance();
    const sword status =
        ora_oci().stmt_fetch(stmt_->handle(), engine.err(), 1, OCI_FETCH_NEXT, OCI_DEFAULT);
    engine.check_err(status);
    if (status == OCI_NO_DATA) {
        b_end_ = true;
        return false;
    }
    return true;
}

bool ora_query_results::is_eof() {
    TK_TRACE("ora_query_results::is_eof");
    TK_ASSERT(stmt_ != nullptr, source_tag);
    if (!b_fetched_) {
        // A row fetched by an earlier call and not yet taken is not skipped.
        b_fetched_ = fetch();
    }
    return !b_fetched_;
}

udb_record* ora_query_results::get_item() {
    TK_TRACE("ora_query_results::get_item");
    TK_ASSERT(stmt_ != nullptr, source_tag);
    if (!b_fetched_) {
        TK_TRACE("fetch wasn't called yet");
        if (!fetch()) {
            TK_TRACE("status == OCI_NO_DATA!");
            return nullptr;
        }
    }
    b_fetched_ = false;
    record_.reset();
    record_ = std::make_unique<ora_record>(columns_);
    return record_.get();
}
