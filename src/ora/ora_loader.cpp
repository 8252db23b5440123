#include "ora/ora_loader.hpp"

#include "ora/ora_array_loader.hpp"
#include "ora/ora_table.hpp"

namespace {

// One INSERT with literals per record, committed with it.
class ora_row_loader : public ora_loader {
  public:
    explicit ora_row_loader(ora_table& table) : table_(table) {}

    void add(udb_record& record, uint32_t number) override {
        settled_through_ = number;
        table_.append_record(record);
    }
    void flush() override {}
    uint32_t abandon() override { return 0; }

  private:
    ora_table& table_;
};

}  // namespace

std::unique_ptr<ora_loader> make_ora_loader(ora_table& table, const ora_load_settings& settings) {
    if (settings.method == ora_load_method::array) {
        return std::make_unique<ora_array_loader>(table, settings);
    }
    return std::make_unique<ora_row_loader>(table);
}
