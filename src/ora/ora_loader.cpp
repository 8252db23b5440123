#include "ora/ora_loader.hpp"

#include "ora/ora_array_loader.hpp"
#include "ora/ora_engine.hpp"
#include "ora/ora_exception.hpp"
#include "ora/ora_oci.hpp"
#include "ora/ora_table.hpp"

namespace {

// One INSERT with literals per record, committed with it.
class ora_row_loader : public ora_loader {
  public:
    explicit ora_row_loader(ora_table& table) : table_(table) {}

    void add(udb_record& record, uint32_t number) override {
        settled_through_ = number;
        committing(number, rows_sent_ + 1);
        try {
            table_.append_record(record);
        } catch (const tk_exception& e) {
            // A refused record leaves nothing behind; after a lost session nothing is known.
            if (ora_fault_of(e) == ora_fault::none) {
                committed(number, rows_sent_);
            }
            throw;
        }
        committed(number, ++rows_sent_);
    }
    void flush() override {}
    uint32_t abandon() override { return 0; }

  private:
    ora_table& table_;
};

}  // namespace

void ora_loader::roll_back() {
    ora_engine& engine = ora_engine::instance();
    // The status is not checked: the table is given up whatever it says.
    ora_oci().trans_rollback(engine.svc(), engine.err(), OCI_DEFAULT);
}

std::unique_ptr<ora_loader> make_ora_loader(ora_table& table, const ora_load_settings& settings) {
    if (settings.method == ora_load_method::array) {
        return std::make_unique<ora_array_loader>(table, settings);
    }
    return std::make_unique<ora_row_loader>(table);
}
