#include "udb/udb_custom_conversion.hpp"

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "udb/ole_variant.hpp"
#include "udb/t_ftd.hpp"

udb_custom_conversion::~udb_custom_conversion() {
    TK_LOG(2, "udb_custom_conversion::dtor");
}

void udb_custom_conversion::add_rule(std::unique_ptr<udb_conversion_rule> rule) {
    TK_ASSERT(rule != nullptr, "udb_rule.cpp");
    rules_.push_back(std::move(rule));
}

bool udb_custom_conversion::is_acceptable1(const t_ftd& column) {
    TK_TRACE("udb_custom_conversion::is_acceptable1");
    if (!exists()) {
        return false;
    }
    for (const auto& rule : instance().rules_) {
        if (rule->is_acceptable1(column)) {
            return true;
        }
    }
    return false;
}

bool udb_custom_conversion::is_acceptable2(const ole_variant& value) {
    TK_TRACE("udb_custom_conversion::is_acceptable2");
    if (!exists()) {
        return false;
    }
    for (const auto& rule : instance().rules_) {
        if (rule->is_acceptable2(value)) {
            return true;
        }
    }
    return false;
}

std::u16string udb_custom_conversion::handle1(const t_ftd& column) {
    TK_TRACE("udb_custom_conversion::handle1");
    if (!exists()) {
        return {};
    }
    for (const auto& rule : instance().rules_) {
        if (rule->is_acceptable1(column)) {
            return rule->handle1(column);
        }
    }
    return {};
}

std::u16string udb_custom_conversion::handle2(const ole_variant& value) {
    TK_TRACE("udb_custom_conversion::handle2");
    if (exists()) {
        for (const auto& rule : instance().rules_) {
            if (rule->is_acceptable2(value)) {
                return rule->handle2(value);
            }
        }
    }
    TK_FAIL("udb_rule.cpp");
}
