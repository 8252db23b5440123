// Exact decimal numbers, as Oracle's NUMBER holds them (up to 38 significant digits).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ocisim {

class Decimal {
  public:
    Decimal() = default;
    static Decimal from_int(int64_t v);
    static Decimal from_double(double v);
    // Oracle's text-to-number conversion: blanks around, sign, digits, point, exponent.
    static std::optional<Decimal> parse(std::string_view text);

    bool is_zero() const { return digits_.empty(); }
    bool negative() const { return negative_; }
    bool is_integer() const { return exponent_ >= 0 || digits_.empty(); }
    // Digits left of the decimal point (0 for |x| < 1).
    int integer_digits() const;
    // The power of ten of the leading digit (2 for 123.4, -3 for 0.0012); 0 for zero.
    int leading_exponent() const;
    int significant_digits() const { return static_cast<int>(digits_.size()); }
    // Rounds half away from zero to `scale` digits after the point (negative: left of it).
    Decimal rounded(int scale) const;
    // Keeps at most `digits` significant digits.
    Decimal rounded_significant(int digits) const;
    std::optional<int64_t> to_int64() const;
    double to_double() const;
    // Oracle's internal NUMBER bytes (the SQLT_NUM form, at most 21 bytes): an exponent byte and
    // base-100 digits, complemented for negative numbers, which end in byte 102 when they have
    // fewer than 20 digits. The value must already be a NUMBER (38 digits, |x| < 1E126).
    size_t to_oracle_bytes(unsigned char* out) const;
    // Empty for bytes that are not a finite NUMBER.
    static std::optional<Decimal> from_oracle_bytes(const unsigned char* bytes, size_t length);
    // The text Oracle's client gives for a NUMBER: no trailing zeros, ".5" for one half.
    std::string to_text() const;

    // Exact sum, difference and product; the quotient is rounded to `digits` significant digits
    // (half away from zero, from the exact digits of the long division).
    friend Decimal operator+(const Decimal& a, const Decimal& b);
    friend Decimal operator-(const Decimal& a, const Decimal& b);
    friend Decimal operator*(const Decimal& a, const Decimal& b);
    static Decimal divide(const Decimal& a, const Decimal& b, int digits);

    friend int compare(const Decimal& a, const Decimal& b);
    friend bool operator==(const Decimal& a, const Decimal& b) { return compare(a, b) == 0; }
    friend bool operator<(const Decimal& a, const Decimal& b) { return compare(a, b) < 0; }

  private:
    void normalize();
    bool negative_ = false;
    std::string digits_;  // no leading or trailing zeros; empty for zero
    int exponent_ = 0;    // value = digits_ * 10^exponent_
};

}  // namespace ocisim
