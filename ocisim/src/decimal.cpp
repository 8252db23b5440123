#include "decimal.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace ocisim {

void Decimal::normalize() {
    size_t lead = digits_.find_first_not_of('0');
    if (lead == std::string::npos) {
        digits_.clear();
        exponent_ = 0;
        negative_ = false;
        return;
    }
    digits_.erase(0, lead);
    size_t last = digits_.find_last_not_of('0');
    exponent_ += static_cast<int>(digits_.size() - 1 - last);
    digits_.resize(last + 1);
}

Decimal Decimal::from_int(int64_t v) {
    Decimal d;
    d.negative_ = v < 0;
    uint64_t mag = v < 0 ? uint64_t(0) - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    d.digits_ = std::to_string(mag);
    d.normalize();
    return d;
}

Decimal Decimal::from_double(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return parse(buf).value_or(Decimal{});
}

std::optional<Decimal> Decimal::parse(std::string_view text) {
    size_t b = text.find_first_not_of(" \t\r\n");
    size_t e = text.find_last_not_of(" \t\r\n");
    if (b == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(b, e - b + 1);
    Decimal d;
    size_t i = 0;
    if (text[i] == '+' || text[i] == '-') {
        d.negative_ = text[i] == '-';
        ++i;
    }
    bool any_digit = false;
    int frac_digits = 0;
    bool in_fraction = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            d.digits_ += c;
            any_digit = true;
            frac_digits += in_fraction;
        } else if (c == '.' && !in_fraction) {
            in_fraction = true;
        } else {
            break;
        }
    }
    if (!any_digit) {
        return std::nullopt;
    }
    int exp = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool exp_neg = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            exp_neg = text[i] == '-';
            ++i;
        }
        if (i >= text.size()) {
            return std::nullopt;
        }
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            exp = exp * 10 + (text[i] - '0');
            if (exp > 10000) {
                return std::nullopt;
            }
        }
        if (exp_neg) {
            exp = -exp;
        }
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    d.exponent_ = exp - frac_digits;
    d.normalize();
    return d;
}

int Decimal::integer_digits() const {
    int n = static_cast<int>(digits_.size()) + exponent_;
    return n > 0 ? n : 0;
}

Decimal Decimal::rounded(int scale) const {
    if (digits_.empty() || exponent_ >= -scale) {
        return *this;
    }
    // Drop the digits below 10^-scale.
    int drop = -scale - exponent_;
    Decimal r;
    r.negative_ = negative_;
    if (drop > static_cast<int>(digits_.size())) {
        return Decimal{};
    }
    std::string kept = digits_.substr(0, digits_.size() - static_cast<size_t>(drop));
    bool round_up = digits_[digits_.size() - static_cast<size_t>(drop)] >= '5';
    if (round_up) {
        int k = static_cast<int>(kept.size()) - 1;
        while (k >= 0 && kept[static_cast<size_t>(k)] == '9') {
            kept[static_cast<size_t>(k)] = '0';
            --k;
        }
        if (k < 0) {
            kept.insert(kept.begin(), '1');
        } else {
            ++kept[static_cast<size_t>(k)];
        }
    }
    r.digits_ = kept;
    r.exponent_ = -scale;
    r.normalize();
    return r;
}

Decimal Decimal::rounded_significant(int digits) const {
    if (static_cast<int>(digits_.size()) <= digits) {
        return *this;
    }
    int scale = digits - (static_cast<int>(digits_.size()) + exponent_);
    return rounded(scale);
}

std::optional<int64_t> Decimal::to_int64() const {
    if (!is_integer() || integer_digits() > 18) {
        return std::nullopt;
    }
    int64_t v = 0;
    for (char c : digits_) {
        v = v * 10 + (c - '0');
    }
    for (int i = 0; i < exponent_; ++i) {
        v *= 10;
    }
    return negative_ ? -v : v;
}

double Decimal::to_double() const {
    return std::strtod(to_text().c_str(), nullptr);
}

std::string Decimal::to_text() const {
    if (digits_.empty()) {
        return "0";
    }
    std::string out = negative_ ? "-" : "";
    int n = static_cast<int>(digits_.size());
    int point = n + exponent_;  // digits before the decimal point
    if (point > 40 || point < -129) {
        // Scientific form for magnitudes the fixed form cannot show in 40 characters.
        out += digits_[0];
        if (n > 1) {
            out += '.';
            out += digits_.substr(1);
        }
        char exp[16];
        std::snprintf(exp, sizeof exp, "E%+03d", point - 1);
        return out + exp;
    }
    if (point <= 0) {
        out += '.';
        out.append(static_cast<size_t>(-point), '0');
        out += digits_;
    } else if (point >= n) {
        out += digits_;
        out.append(static_cast<size_t>(point - n), '0');
    } else {
        out += digits_.substr(0, static_cast<size_t>(point));
        out += '.';
        out += digits_.substr(static_cast<size_t>(point));
    }
    return out;
}

int compare(const Decimal& a, const Decimal& b) {
    int sa = a.digits_.empty() ? 0 : (a.negative_ ? -1 : 1);
    int sb = b.digits_.empty() ? 0 : (b.negative_ ? -1 : 1);
    if (sa != sb) {
        return sa < sb ? -1 : 1;
    }
    if (sa == 0) {
        return 0;
    }
    int ma = static_cast<int>(a.digits_.size()) + a.exponent_;
    int mb = static_cast<int>(b.digits_.size()) + b.exponent_;
    int mag = 0;
    if (ma != mb) {
        mag = ma < mb ? -1 : 1;
    } else {
        int c = a.digits_.compare(b.digits_);
        mag = c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    return sa > 0 ? mag : -mag;
}

}  // namespace ocisim
