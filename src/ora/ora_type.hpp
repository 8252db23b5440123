#pragma once
// One result column of a SELECT: what the describe reported about it, the buffer or descriptor
// that receives its value on each fetch, and the conversion of that value into a common value.
// The kind is chosen by the column's OCI type code (ora_query_results::gen_co_by_type).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "udb/ole_types.hpp"
#include "udb/ole_variant.hpp"
#include "udb/t_ftd.hpp"

struct OCIParam;
struct OCIStmt;
struct OCIDefine;
struct OCILobLocator;
struct OCIDateTime;

class ora_type {
  public:
    // Reads the type code, name and nullability of the described column.
    explicit ora_type(OCIParam* param);
    ora_type(const ora_type&) = delete;
    ora_type& operator=(const ora_type&) = delete;

    virtual ~ora_type();
    virtual VARTYPE get_vartype() const;
    // The column as a type descriptor: size, name, vartype, NOT NULL; no default.
    virtual std::unique_ptr<t_ftd> get_ftd() const;
    // The value of the row fetched last (not called for a NULL).
    virtual ole_variant to_variant() = 0;
    // Defines the output of the column at its 1-based position.
    virtual void define(OCIStmt* stmt, uint32_t position) = 0;

    bool is_null() const noexcept { return indicator == -1; }
    OCIDefine* define_handle() const noexcept { return define_; }

    std::u16string name;
    bool b_nullable = true;
    uint32_t data_size = 0;
    uint16_t type_code = 0;
    int16_t indicator = 0;

  protected:
    // Raises when the fetch cut the value to fit the buffer: a cut value is never handed on.
    void check_truncation() const;

    OCIDefine* define_ = nullptr;
    uint16_t returned_length_ = 0;  // bytes received, for the kinds that take no terminator
    uint16_t return_code_ = 0;      // 1406 when the value was cut
};

// NUMBER, FLOAT and the other numbers: received as text, parsed into the refined vartype.
class ora_number : public ora_type {
  public:
    explicit ora_number(OCIParam* param);
    VARTYPE get_vartype() const override { return vartype_; }
    std::unique_ptr<t_ftd> get_ftd() const override;
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, uint32_t position) override;

    int precision = 0;
    int scale = 0;
    // The value handed on as the decimal text the server sent, whatever the column's kind: for
    // readers that compare numbers digit for digit.
    bool b_text = false;

  private:
    VARTYPE vartype_ = VT_R8;
    char16_t buffer_[255] = {};  // 510 bytes
};

// VARCHAR2, NVARCHAR2, CHAR, NCHAR: UTF-16 text in a buffer of data size x 2 + 2 bytes.
class ora_string : public ora_type {
  public:
    explicit ora_string(OCIParam* param);
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, uint32_t position) override;

  private:
    std::vector<char16_t> buffer_;
};

// Values read as their text: LONG and LONG RAW, ROWIDs, intervals.
class ora_str_repr : public ora_type {
  public:
    ora_str_repr(OCIParam* param, uint32_t buffer_bytes);
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, uint32_t position) override;

  private:
    std::vector<char16_t> buffer_;
};

// DATE and the timestamps, through a timestamp descriptor.
class ora_date : public ora_type {
  public:
    explicit ora_date(OCIParam* param);
    ~ora_date() override;
    std::unique_ptr<t_ftd> get_ftd() const override;
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, uint32_t position) override;

  private:
    OCIDateTime* descriptor_ = nullptr;
};

// RAW: the bytes received.
class ora_binary : public ora_type {
  public:
    explicit ora_binary(OCIParam* param);
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, uint32_t position) override;

  private:
    std::vector<unsigned char> buffer_;
};

// CLOB, NCLOB, BLOB: a locator, read whole after the fetch.
class ora_lob : public ora_type {
  public:
    explicit ora_lob(OCIParam* param);
    ~ora_lob() override;
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, uint32_t position) override;

  private:
    void read_lob(ole_variant& out);

    OCILobLocator* locator_ = nullptr;
};

// A type this program cannot read: nothing is defined.
class ora_dummy : public ora_type {
  public:
    explicit ora_dummy(OCIParam* param) : ora_type(param) {}
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, uint32_t position) override;
};
