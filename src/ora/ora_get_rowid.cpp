#include "ora/ora_get_rowid.hpp"

#include "ora/ora_oci.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"

ora_get_rowid::ora_get_rowid() = default;

ora_get_rowid::~ora_get_rowid() {
    TK_TRACE("ora_get_rowid::dtor");
}

int32_t ora_get_rowid::cbf_no_data(void* context, OCIBind* /*bind*/, uint32_t /*iteration*/,
                                   uint32_t /*index*/, void** buffer, uint32_t* length,
                                   uint8_t* piece, void** indicator) {
    TK_TRACE("ora_get_rowid::cbf_no_data");
    auto* self = static_cast<ora_get_rowid*>(context);
    self->in_indicator_ = -1;
    *buffer = nullptr;
    *length = 0;
    *indicator = &self->in_indicator_;
    *piece = OCI_ONE_PIECE;
    return OCI_CONTINUE;
}

int32_t ora_get_rowid::cbf_get_data(void* context, OCIBind* /*bind*/, uint32_t iteration,
                                    uint32_t /*index*/, void** buffer, uint32_t** length,
                                    uint8_t* piece, void** indicator, uint16_t** return_code) {
    TK_TRACE("ora_get_rowid::cbf_get_data (iter=%d)", static_cast<int>(iteration));
    auto* self = static_cast<ora_get_rowid*>(context);
    // OCI reads the length as the room it may fill and writes back what it returned.
    self->returned_length_ = buffer_bytes;
    *buffer = self->buffer_;
    *length = &self->returned_length_;
    *piece = OCI_ONE_PIECE;
    self->out_indicator_ = -1;
    *indicator = &self->out_indicator_;
    *return_code = nullptr;
    return OCI_CONTINUE;
}

std::u16string ora_get_rowid::do_insert(std::u16string& statement, bool b_commit) {
    TK_TRACE("ora_get_rowid::do_insert");
    statement += u") RETURNING ROWID INTO :1";
    TK_LOGW(3, u"Run SQL query: %s\n", statement.c_str());
    ora_engine& engine = ora_engine::instance();
    const ora_oci_functions& oci = ora_oci();
    stmt_.prepare(statement);
    TK_TRACE("Step #1");
    TK_TRACE("Step #1.5");
    static const char16_t placeholder[] = u":1";
    engine.check_err(oci.bind_by_name(
        stmt_.handle(), &bind_, engine.err(), reinterpret_cast<const OraText*>(placeholder), 4,
        buffer_, buffer_bytes, SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, OCI_DATA_AT_EXEC));
    TK_TRACE("Step #2");
    engine.check_err(
        oci.bind_dynamic(bind_, engine.err(), this, &cbf_no_data, this, &cbf_get_data));
    TK_TRACE("Step #3");
    returned_length_ = 0;
    stmt_.execute(1, b_commit ? OCI_COMMIT_ON_SUCCESS : OCI_DEFAULT);
    TK_ASSERT(returned_length_ < buffer_bytes && out_indicator_ == 0, "ora_rowid.cpp");
    std::u16string rowid(buffer_, returned_length_ / 2);
    // A string bind may count its terminator.
    while (!rowid.empty() && rowid.back() == u'\0') {
        rowid.pop_back();
    }
    TK_LOGW(2, u"GOT ROWID(1): %s, len=%d", rowid.c_str(), static_cast<int>(returned_length_));
    return rowid;
}
