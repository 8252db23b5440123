// libFuzzer target of the DBF reader: every input is a table, its memo file and a user
// code-page byte (fuzz/dbf_fuzz_input.hpp), opened and read to the end as the conversion does.
// Crashes, sanitizer reports, hangs and exceptions outside the tk_exception family are faults.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/dbf_fuzz_reader.hpp"
#include "tk/tk_log.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tk_log::get().disable();
    const dbf_fuzz_case c =
        dbf_fuzz_unpack(std::string_view(reinterpret_cast<const char*>(data), size));
    dbf_fuzz_read(dbf_fuzz_folder(), c);
    return 0;
}
