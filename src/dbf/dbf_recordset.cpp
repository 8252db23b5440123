#include "dbf/dbf_recordset.hpp"

#include <cstring>

#include "dbf/dbf_codepage.hpp"
#include "dbf/dbf_exception.hpp"
#include "tk/error_handler.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

dbf_recordset::dbf_recordset(const std::u16string& file_name, uint32_t open_mode,
                             uint8_t user_language_driver_id, udb_values values)
    : udb_recordset(file_name, true), values_(values) {
    TK_TRACEW(u"dbf_recordset::ctor(%s, cp=%d)", file_name.c_str(),
              static_cast<int>(user_language_driver_id));
    const std::string wanted = tk_w2a(file_name);
    path_ = dbf_find_file(wanted).value_or(wanted);
    file_ = std::make_unique<dbf_file>(path_);
    if (open_mode != 1 && open_mode != 8) {
        return;
    }
    check_header();
    init_schema();
    check_record_layout();
    for (const auto& fd : fds_) {
        fd7_post_process(fd);
    }
    records_cnt = header_.records_count;

    memo_kind_ = dbf_memo_kind(header_, true);
    if (values_ == udb_values::exact && memo_kind_ == dbf_memo_none) {
        // Writers leave the table's memo flag clear while the table has memo fields and its
        // memo file lies beside it: the fields decide.
        const bool b_level7 = dbf_is_level7(header_.version);
        bool b_memo_field = false;
        for (const auto& fd : fds_) {
            b_memo_field = b_memo_field || dbf_is_memo_type(fd, b_level7);
        }
        if (b_memo_field) {
            if (dbf_is_vfp(header_.version)) {
                memo_kind_ = (header_.table_flags & 0x04) != 0 ? dbf_memo_dct : dbf_memo_fpt_vfp;
            } else if (b_level7) {
                memo_kind_ = dbf_memo_dbt_iv;
            } else if (header_.version == 0x03) {
                memo_kind_ = dbf_memo_dbt_old;
            }
        }
    }
    try {
        init_memo_file();
    } catch (const dbf_no_memo_exception& e) {
        // The table is still read; its memo fields come out empty.
        if (error_handler::exists()) {
            error_handler::instance().set_context(file_name);
            error_handler::instance().handle(e, false);
        } else {
            TK_LOG(3, "%s", e.message.c_str());
        }
    }

    TK_TRACE("DBF file has codepage: %d", static_cast<int>(header_.language_driver_id));
    if (user_language_driver_id != 0) {
        TK_TRACE("Setting user-defined codepage: %d", static_cast<int>(user_language_driver_id));
        header_.language_driver_id = user_language_driver_id;
    }
    if (values_ == udb_values::exact) {
        std::string driver_name;
        if (dbf_is_level7(header_.version) && file_->get_size() >= 64) {
            char raw_name[32];
            file_->read_at(32, raw_name, sizeof raw_name);
            driver_name.assign(raw_name, strnlen(raw_name, sizeof raw_name));
        }
        dbf_codepage_choice choice = dbf_resolve_codepage(user_language_driver_id, path_,
                                                          driver_name, header_.language_driver_id);
        TK_TRACE("Code page %d: %s", choice.codepage, choice.why.c_str());
        codepage_ = choice.codepage;
        codepage_reason_ = std::move(choice.why);
    } else {
        codepage_ = dbf_effective_codepage(dbf_codepage_of(header_.language_driver_id));
    }
    init_indexes();
    buffer_.assign(header_.record_length, '\0');
}

dbf_recordset::~dbf_recordset() = default;

void dbf_recordset::check_header() {
    if (file_->get_size() < dbf_header::disk_size) {
        TK_TRACE("File is too small");
        throw dbf_exception(dbf_msg_bad_format);
    }
    unsigned char raw[dbf_header::disk_size];
    file_->read_at(0, raw, sizeof raw);
    header_ = dbf_header::parse(raw);
    if (header_.record_length < 2 || static_cast<int32_t>(header_.records_count) < 0) {
        TK_TRACE("Invalid DBF header");
        throw dbf_exception(dbf_msg_bad_format);
    }
    // A file cut short (a header counting more records than follow, or a last record cut off)
    // keeps its complete records: those are read, and the shortfall is told by
    // records_announced(). Nothing past the end of the file is ever read.
    records_announced_ = header_.records_count;
    const uint64_t size = file_->get_size();
    if (size < header_.header_length) {
        TK_TRACE("The file ends inside its header");
        throw dbf_exception(dbf_msg_bad_format);
    }
    const uint64_t needed = header_.header_length +
                            static_cast<uint64_t>(header_.record_length) * header_.records_count;
    if (size < needed) {
        const uint64_t present = (size - header_.header_length) / header_.record_length;
        TK_LOG(3, "The file holds %llu complete records of the %u its header announces",
               static_cast<unsigned long long>(present),
               static_cast<unsigned>(header_.records_count));
        header_.records_count = static_cast<uint32_t>(present);
        // Only records that look like records are kept from a short file: each starts with
        // its deleted flag, a blank or a star. A file whose bytes are something else (packed
        // or enciphered) is no table whose records can be salvaged.
        for (uint32_t i = 0; i < header_.records_count; ++i) {
            const unsigned char flag = file_->get_byte(
                header_.header_length + static_cast<uint64_t>(i) * header_.record_length);
            if (flag != ' ' && flag != '*') {
                TK_TRACE("Record %u of a short file has no deleted flag", i + 1);
                throw dbf_exception(dbf_msg_bad_format);
            }
        }
    }
}

void dbf_recordset::init_schema() {
    TK_TRACE("rec_size=%d", static_cast<int>(header_.record_length));
    dbf_field_descriptor fd{};
    const bool level7 = dbf_is_level7(header_.version);
    const int step = static_cast<int>(level7 ? dbf_field_descriptor::level7_disk_size
                                             : dbf_field_descriptor::standard_disk_size);
    const int start = level7 ? 68 : 32;
    int count = (static_cast<int>(header_.header_length) - 32) / step;
    if (count < 0) {
        count = 0;
    }
    if (level7) {
        TK_TRACE("Processing dBASE Level 7 format");
    } else {
        TK_TRACE("Default processing");
    }
    TK_TRACE("DATA OFFSET=%d, sizeof(dbf_header)=%d, sizeof(dbf_field_descriptor)=%d",
             static_cast<int>(header_.header_length), 32, step);
    TK_TRACE("Table has %d fields", count);
    fds_.reserve(static_cast<size_t>(count));
    unsigned char raw[dbf_field_descriptor::level7_disk_size];
    for (int i = 0; i < count; ++i) {
        const uint64_t at = static_cast<uint64_t>(start) + static_cast<uint64_t>(i) * step;
        if (level7) {
            TK_TRACE("Reading FD7 at %d", static_cast<int>(at));
        }
        if (file_->get_byte(at) == 0x0D) {
            break;
        }
        file_->read_at(at, raw, static_cast<size_t>(step));
        if (level7) {
            fd.assign_level7(raw);
        } else {
            fd.assign_standard(raw);
        }
        fds_.push_back(fd);
    }
}

void dbf_recordset::fd7_post_process(const dbf_field_descriptor& fd) {
    if (values_ == udb_values::exact) {
        if (dbf_is_vfp(header_.version) && fd.type == '0') {
            return;  // Visual FoxPro's null flags: read with the record, no column
        }
        uint32_t reserved = 0;
        const VARTYPE vt = dbf_get_vartype_exact(fd, header_.version, reserved);
        std::u16string field_name;
        dbf_decode_text(fd.name_view(), 0, field_name);
        schema.add_owned(std::make_unique<t_ftd>(
            dbf_get_size_exact(fd, dbf_is_level7(header_.version)), field_name, vt, false, false,
            ole_variant(), reserved, std::u16string()));
        return;
    }
    const uint32_t width = dbf_get_size_2(fd);
    const VARTYPE vt = dbf_get_vartype_2(fd);
    uint32_t reserved = 0;
    if (fd.type == 'T') {
        reserved = 1;
    } else if (fd.type == 'D') {
        reserved = 2;
    }
    if (vt == VT_DECIMAL) {
        const uint32_t precision = fd.length + fd.decimals;
        const uint32_t scale = fd.decimals;
        TK_TRACE("Got VT_DECIMAL(%d,%d)", static_cast<int>(precision), static_cast<int>(scale));
        reserved = precision * 256 + scale;
    }
    TK_TRACE("Got field: %s, type=%c, size=%d", fd.name, static_cast<char>(fd.type),
             static_cast<int>(width));
    std::u16string field_name;
    dbf_decode_text(fd.name_view(), 0, field_name);
    schema.add_owned(std::make_unique<t_ftd>(width, field_name, vt, false, false, ole_variant(),
                                             reserved, std::u16string()));
}

// Fields are cut from the record by their widths alone. A descriptor list whose fields reach past
// the end of the record, or a fixed-size binary field too narrow for its value, cannot be read
// without taking bytes that belong to something else: such a file is not a readable table.
// One such file is common enough to read anyway: character fields whose decimal count was set by
// a writer that did not mean it as the high byte of the length (spreadsheet exports). When the
// fields fill the record exactly by their length bytes alone, that is how they are read.
void dbf_recordset::check_record_layout() {
    uint64_t extent = 1;
    uint64_t narrow_extent = 1;
    for (const auto& fd : fds_) {
        extent += dbf_get_advance(fd);
        narrow_extent += dbf_binary_width(fd.type) != 0 || dbf_get_advance(fd) == fd.length
                             ? dbf_get_advance(fd)
                             : fd.length;
        const uint32_t width = dbf_get_size_2(fd);
        const uint32_t needed = dbf_binary_width(fd.type);
        if (width != 0 && width < needed) {
            TK_TRACE("Field %s is too short for its type", fd.name);
            throw dbf_exception(dbf_msg_bad_format);
        }
        // A field that is not kept in the memo file but occupies no byte of the record has no
        // value to read.
        const VARTYPE vt = dbf_get_vartype_2(fd);
        if (width == 0 && vt != VT_BSTR && vt != VT_BLOB) {
            TK_TRACE("Field %s has no length", fd.name);
            throw dbf_exception(dbf_msg_bad_format);
        }
    }
    if (extent <= header_.record_length) {
        return;
    }
    if (narrow_extent == header_.record_length) {
        TK_TRACE(
            "Fields fit the record by their lengths alone; decimal counts of text fields "
            "ignored");
        for (auto& fd : fds_) {
            if (dbf_get_advance(fd) != fd.length && dbf_binary_width(fd.type) == 0) {
                fd.decimals = 0;
            }
        }
        return;
    }
    TK_TRACE("Fields do not fit in the record (%lld > %d)", static_cast<long long>(extent),
             static_cast<int>(header_.record_length));
    throw dbf_exception(dbf_msg_bad_format);
}

void dbf_recordset::init_memo_file() {
    TK_TRACE("dbf_recordset::init_memo_file");
    const char* ext = dbf_memo_extension(memo_kind_);
    if (ext == nullptr) {
        return;
    }
    const auto memo_path = dbf_find_file(dbf_replace_extension(path_, ext));
    if (!memo_path) {
        throw dbf_no_memo_exception();
    }
    memo_ = dbf_open_memo_file(memo_kind_, *memo_path);
    memo_->b_whole = values_ == udb_values::exact;
}

void dbf_recordset::init_indexes() {
    TK_TRACEW(u"dbf_recordset::init_indexes(%s)", name.c_str());
    // Index files are looked for and never read: a DBF table brings no index or key.
    if (const auto idx = dbf_find_file(dbf_replace_extension(path_, "idx"))) {
        TK_TRACE("dbf_recordset::process_idx(%s)", idx->c_str());
        return;
    }
    TK_TRACE("Failed to find .idx, try to locate .cdx");
    if (const auto cdx = dbf_find_file(dbf_replace_extension(path_, "cdx"))) {
        TK_TRACE("dbf_recordset::process_cdx(%s)", cdx->c_str());
        return;
    }
    TK_TRACE("Failed to find .cdx, aborting");
}

void dbf_recordset::append_record(udb_record& /*record*/) {
    TK_TRACE("dbf_recordset::append_record");
    TK_FAIL("dbf_recs.cpp");
}

int dbf_recordset::get_codepage() const {
    return codepage_;
}

udb_record* dbf_recordset::get_item() {
    TK_TRACE("dbf_recordset::get_item");
    // Reading past the last record is a caller's mistake, not data.
    TK_ASSERT(current_ < header_.records_count, "dbf_recs.cpp");
    try {
        const uint64_t offset =
            header_.header_length + static_cast<uint64_t>(current_) * header_.record_length;
        TK_TRACE("Reading at %lld", static_cast<long long>(offset));
        file_->read_at(offset, buffer_.data(), buffer_.size());
        TK_TRACE("dbf_recordset::get_codepage");
        if (!record_) {
            record_ =
                std::make_unique<dbf_record>(fds_, buffer_.data(), buffer_.size(), memo_.get(),
                                             codepage_, values_, header_.version);
        } else {
            record_->refill(buffer_.data());
        }
    } catch (const dbf_exception&) {
        throw;
    } catch (const tk_exception& e) {
        dbf_exception converted(e.message, e.level);
        converted.code = e.code;
        throw converted;
    }
    return record_.get();
}

bool dbf_recordset::is_eof() {
    return current_ >= header_.records_count;
}

void dbf_recordset::next() {
    ++current_;
}

void dbf_recordset::prev() {
    if (current_ != 0) {
        --current_;
    }
}

void dbf_recordset::first() {
    current_ = 0;
}
