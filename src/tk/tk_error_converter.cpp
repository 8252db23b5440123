#include "tk/tk_error_converter.hpp"

#include <iterator>

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"

tk_error_converter::tk_error_converter(size_t count, const t_error_message* pairs) {
    TK_LOG(2, "tk_error_converter::ctor (map size=%d)", static_cast<int>(count));
    load_map(count, pairs);
}

void tk_error_converter::load_map(size_t count, const t_error_message* pairs) {
    TK_LOG(2, "tk_error_converter::load_map (map size=%d)", static_cast<int>(count));
    TK_ASSERT(pairs != nullptr, "tk_errco.cpp");
    for (size_t i = 0; i < count; ++i) {
        messages_.emplace(pairs[i].code, pairs[i].text);
    }
}

std::string tk_error_converter::convert(uint32_t code) const {
    TK_LOG(2, "tk_error_converter::convert(%d)", static_cast<int>(code));
    const auto it = messages_.find(code);
    if (it == messages_.end()) {
        TK_TRACE("Error message not found!");
        return {};
    }
    TK_TRACE("Error message has been found: %s", it->second.c_str());
    return it->second;
}

namespace {
constexpr t_error_message ora_messages[] = {
    {ora_error_code_base + 1,
     "Duplicate field values being used for an unique index were found.\nSee 'Troubleshooting' "
     "article of the product documentation\nfor solution."},
    {ora_error_code_base + 1017, "Invalid user name or password."},
    {ora_error_code_base + 1658,
     "Not enough free contiguous space in the tablespace to create the object.\nUse ALTER "
     "TABLESPACE ADD DATAFILE to add additional space to the tablespace."},
    {ora_error_code_base + 1950, "User does not have the necessary privileges to create tables."},
    {ora_error_code_base + 2298,
     "There are orphaned records that prevent from creating foreign key. For more\ninformation "
     "see Troubleshooting article of the product documentation."},
    {ora_error_code_base + 12154,
     "Oracle data source does not exist. Check to verify the correct name was given."},
    {ora_error_code_base + 12500,
     "ORA-12500: the listener could not start a server process. For more information\nsee "
     "Troubleshooting article of the product documentation."},
    {ora_error_code_base + 12505,
     "ORA-12505: the program could not resolve service name. For more information\nsee "
     "Troubleshooting article of the product documentation."},
    {ora_error_code_base + 12514,
     "Cannot resolve Oracle service name. Check to verify the correct name was given.\n"},
    {ora_error_code_base + 12541,
     "ORA-12541: no listener. For more information see Troubleshooting\narticle of the product "
     "documentation."},
    {ora_error_code_base + 12545,
     "ORA-12545: connect failed because target host or object does not exist.\nFor more "
     "information see Troubleshooting article of the product documentation."},
    {ora_error_code_base + 28000,
     "Wrong password was entered the maximum number of times or\nthe DBA has locked the "
     "account."},
};
}  // namespace

const t_error_message* ora_error_messages(size_t& count) noexcept {
    count = std::size(ora_messages);
    return ora_messages;
}
