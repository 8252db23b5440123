#pragma once
// Runs a table's INSERT statements with "RETURNING ROWID INTO :1" on one statement handle kept
// for the table's life, and hands back the new row's ROWID through a dynamic out-bind.

#include <cstdint>
#include <string>

#include "ora/ora_engine.hpp"

struct OCIBind;

class ora_get_rowid {
  public:
    ora_get_rowid();
    ~ora_get_rowid();
    ora_get_rowid(const ora_get_rowid&) = delete;
    ora_get_rowid& operator=(const ora_get_rowid&) = delete;

    // Closes the INSERT text in `statement` (which is changed) with the RETURNING clause, runs
    // it (committing on success when b_commit is set), and returns the ROWID.
    std::u16string do_insert(std::u16string& statement, bool b_commit = true);

    static constexpr uint32_t buffer_bytes = 512;

  private:
    static int32_t cbf_no_data(void* context, OCIBind* bind, uint32_t iteration, uint32_t index,
                               void** buffer, uint32_t* length, uint8_t* piece, void** indicator);
    static int32_t cbf_get_data(void* context, OCIBind* bind, uint32_t iteration, uint32_t index,
                                void** buffer, uint32_t** length, uint8_t* piece, void** indicator,
                                uint16_t** return_code);

    uint32_t returned_length_ = buffer_bytes;
    // The client library reads and writes the bind's indicators through these: -1 for the
    // in-bind, which carries no value; the out-bind's is set with the ROWID.
    int16_t in_indicator_ = -1;
    int16_t out_indicator_ = -1;
    ora_stmt stmt_;
    OCIBind* bind_ = nullptr;
    char16_t buffer_[buffer_bytes / 2] = {};
};
