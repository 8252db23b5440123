#include "decimal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

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
    // Values that become a whole number below 10^15 when multiplied by 10^k (k < 15, one
    // rounding) are taken from that number: the product is off by less than half a unit of the
    // 15th digit, so the result is the one the 15-digit text gives, without printing it.
    static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6, 1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14};
    for (int k = 0; k < 15; ++k) {
        double scaled = v * kPow10[k];
        if (!(std::fabs(scaled) < 1e15)) {
            break;
        }
        if (scaled == std::trunc(scaled)) {
            Decimal d = from_int(static_cast<int64_t>(scaled));
            if (!d.digits_.empty()) {
                d.exponent_ -= k;
            }
            return d;
        }
    }
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
        size_t first = i;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            // Saturates: any exponent this large overflows or underflows a NUMBER anyway.
            exp = std::min(exp * 10 + (text[i] - '0'), 1000000);
        }
        if (i == first) {
            return std::nullopt;
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

int Decimal::leading_exponent() const {
    return digits_.empty() ? 0 : static_cast<int>(digits_.size()) - 1 + exponent_;
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
    if (!is_integer() || integer_digits() > 19) {
        return std::nullopt;
    }
    // Accumulated as a magnitude; 19 digits stay below 10^19 < 2^64.
    uint64_t v = 0;
    for (char c : digits_) {
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    for (int i = 0; i < exponent_; ++i) {
        v *= 10;
    }
    uint64_t limit = negative_ ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    if (v > limit) {
        return std::nullopt;
    }
    return negative_ ? static_cast<int64_t>(uint64_t{0} - v) : static_cast<int64_t>(v);
}

double Decimal::to_double() const {
    // Up to 15 digits and a power of ten up to 22 are both exact doubles, so one multiplication
    // or division rounds correctly; anything else goes through the decimal text.
    if (digits_.size() <= 15 && exponent_ >= -22 && exponent_ <= 22) {
        static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        int64_t m = 0;
        for (char c : digits_) {
            m = m * 10 + (c - '0');
        }
        double x = static_cast<double>(m);
        x = exponent_ >= 0 ? x * kPow10[exponent_] : x / kPow10[-exponent_];
        return negative_ ? -x : x;
    }
    return std::strtod(to_text().c_str(), nullptr);
}

std::string Decimal::to_text() const {
    if (digits_.empty()) {
        return "0";
    }
    std::string out = negative_ ? "-" : "";
    int n = static_cast<int>(digits_.size());
    int point = n + exponent_;  // digits before the decimal point
    // The client's text for a number is the shortest fixed form; when that would take more
    // than 64 characters it switches to the scientific form, e.g. 1.0E+100.
    size_t fixed_length = out.size() + (point <= 0   ? static_cast<size_t>(1 - point + n)
                                        : point >= n ? static_cast<size_t>(point)
                                                     : static_cast<size_t>(n + 1));
    if (fixed_length > 64) {
        out += digits_[0];
        out += '.';
        out += n > 1 ? digits_.substr(1) : std::string("0");
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

namespace {

// Digit strings of the same length, most significant first.
std::string add_digits(const std::string& x, const std::string& y) {
    std::string out(x.size() + 1, '0');
    int carry = 0;
    for (size_t k = x.size(); k-- > 0;) {
        int sum = (x[k] - '0') + (y[k] - '0') + carry;
        out[k + 1] = static_cast<char>('0' + sum % 10);
        carry = sum / 10;
    }
    out[0] = static_cast<char>('0' + carry);
    return out;
}

// x - y for x >= y, both of the same length.
std::string subtract_digits(const std::string& x, const std::string& y) {
    std::string out(x.size(), '0');
    int borrow = 0;
    for (size_t k = x.size(); k-- > 0;) {
        int diff = (x[k] - '0') - (y[k] - '0') - borrow;
        borrow = diff < 0;
        out[k] = static_cast<char>('0' + diff + 10 * borrow);
    }
    return out;
}

}  // namespace

Decimal operator+(const Decimal& a, const Decimal& b) {
    if (a.is_zero()) {
        return b;
    }
    if (b.is_zero()) {
        return a;
    }
    // Both magnitudes as digit strings over the same exponent and length.
    int exp = std::min(a.exponent_, b.exponent_);
    std::string x = a.digits_ + std::string(static_cast<size_t>(a.exponent_ - exp), '0');
    std::string y = b.digits_ + std::string(static_cast<size_t>(b.exponent_ - exp), '0');
    size_t width = std::max(x.size(), y.size());
    x.insert(0, width - x.size(), '0');
    y.insert(0, width - y.size(), '0');
    Decimal r;
    r.exponent_ = exp;
    if (a.negative_ == b.negative_) {
        r.negative_ = a.negative_;
        r.digits_ = add_digits(x, y);
    } else if (x >= y) {
        r.negative_ = a.negative_;
        r.digits_ = subtract_digits(x, y);
    } else {
        r.negative_ = b.negative_;
        r.digits_ = subtract_digits(y, x);
    }
    r.normalize();
    return r;
}

Decimal operator-(const Decimal& a, const Decimal& b) {
    Decimal minus_b = b;
    minus_b.negative_ = !b.negative_ && !b.is_zero();
    return a + minus_b;
}

Decimal operator*(const Decimal& a, const Decimal& b) {
    if (a.is_zero() || b.is_zero()) {
        return Decimal{};
    }
    std::vector<int> acc(a.digits_.size() + b.digits_.size(), 0);
    for (size_t i = a.digits_.size(); i-- > 0;) {
        for (size_t j = b.digits_.size(); j-- > 0;) {
            acc[i + j + 1] += (a.digits_[i] - '0') * (b.digits_[j] - '0');
        }
    }
    for (size_t k = acc.size(); k-- > 1;) {
        acc[k - 1] += acc[k] / 10;
        acc[k] %= 10;
    }
    Decimal r;
    r.negative_ = a.negative_ != b.negative_;
    r.exponent_ = a.exponent_ + b.exponent_;
    for (int d : acc) {
        r.digits_ += static_cast<char>('0' + d);
    }
    r.normalize();
    return r;
}

Decimal Decimal::divide(const Decimal& a, const Decimal& b, int digits) {
    if (a.is_zero() || b.is_zero()) {
        return Decimal{};
    }
    // Long division of the digit strings, one guard digit beyond `digits` for the rounding.
    const std::string& divisor = b.digits_;
    std::string rest;
    std::string quotient;
    size_t next = 0;
    int produced = 0;
    bool started = false;
    int shift = 0;  // zeros appended to the dividend beyond its own digits
    auto less = [](const std::string& x, const std::string& y) {
        return x.size() != y.size() ? x.size() < y.size() : x < y;
    };
    while (produced < digits + 1) {
        if (next < a.digits_.size()) {
            rest += a.digits_[next++];
        } else {
            if (rest.empty()) {
                break;
            }
            rest += '0';
            ++shift;
        }
        rest.erase(0, std::min(rest.find_first_not_of('0'), rest.size()));
        int q = 0;
        while (!less(rest, divisor)) {
            std::string y = std::string(rest.size() - divisor.size(), '0') + divisor;
            rest = subtract_digits(rest, y);
            rest.erase(0, std::min(rest.find_first_not_of('0'), rest.size()));
            ++q;
        }
        quotient += static_cast<char>('0' + q);
        started = started || q != 0;
        produced += started;
    }
    Decimal r;
    r.negative_ = a.negative_ != b.negative_;
    r.digits_ = quotient;
    // quotient = (a.digits * 10^shift) / b.digits, truncated
    r.exponent_ = a.exponent_ - shift - b.exponent_;
    r.normalize();
    return r.rounded_significant(digits);
}

size_t Decimal::to_oracle_bytes(unsigned char* out) const {
    if (digits_.empty()) {
        out[0] = 0x80;
        return 1;
    }
    // Base-100 exponent of the leading pair of decimal digits.
    int lead = leading_exponent();
    int e = lead >= 0 ? lead / 2 : -((1 - lead) / 2);
    std::string d = digits_;
    if (lead == 2 * e) {
        d.insert(d.begin(), '0');  // the leading digit is the low half of its pair
    }
    if (d.size() % 2 == 1) {
        d += '0';
    }
    size_t pairs = std::min<size_t>(d.size() / 2, 20);
    out[0] = static_cast<unsigned char>(negative_ ? 0x3E - e : 0xC1 + e);
    for (size_t k = 0; k < pairs; ++k) {
        int v = (d[2 * k] - '0') * 10 + (d[2 * k + 1] - '0');
        out[1 + k] = static_cast<unsigned char>(negative_ ? 101 - v : v + 1);
    }
    size_t n = 1 + pairs;
    if (negative_ && pairs < 20) {
        out[n++] = 102;
    }
    return n;
}

std::optional<Decimal> Decimal::from_oracle_bytes(const unsigned char* bytes, size_t length) {
    if (length == 0 || length > 21) {
        return std::nullopt;
    }
    if (length == 1 && bytes[0] == 0x80) {
        return Decimal{};
    }
    bool negative = (bytes[0] & 0x80) == 0;
    int e = negative ? 0x3E - bytes[0] : bytes[0] - 0xC1;
    size_t end = length;
    if (negative && end > 1 && bytes[end - 1] == 102) {
        --end;
    }
    if (end < 2) {
        return std::nullopt;  // no digits: the infinities and damaged bytes
    }
    Decimal r;
    r.negative_ = negative;
    for (size_t k = 1; k < end; ++k) {
        int v = negative ? 101 - bytes[k] : bytes[k] - 1;
        if (v < 0 || v > 99) {
            return std::nullopt;
        }
        r.digits_ += static_cast<char>('0' + v / 10);
        r.digits_ += static_cast<char>('0' + v % 10);
    }
    r.exponent_ = 2 * (e - static_cast<int>(end - 2));
    r.normalize();
    if (r.digits_.empty()) {
        return std::nullopt;
    }
    return r;
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
