#pragma once
// The destination schema as a common database: the user's tables and views from the catalogue,
// tables opened by name, statements sent as they are, tables dropped, and the names the run had
// to change, kept so that later statements find the new names.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ora/ora_validator.hpp"
#include "udb/udb_database.hpp"
#include "udb/udb_values.hpp"

class ora_database : public udb_database {
  public:
    // Flags: 0x80 leaves the views unread.
    static constexpr uint32_t skip_views = 0x80;

    explicit ora_database(std::u16string data_source, uint32_t flags = 0);
    ~ora_database() override;

    // Creates the table when it does not exist (columns, keys, and a sequence with a trigger for
    // an auto-increment column), then opens it for loading.
    std::unique_ptr<udb_recordset> create_table(const std::u16string& table_name,
                                                const udb_schema& source_schema,
                                                const udb_indexes& source_indexes) override;
    // Removes the table from the schema: DROP TABLE ... CASCADE CONSTRAINTS, then from the list.
    bool delete_tab(const std::u16string& table_name) override;
    // The rows of a SELECT, named `table_name`.
    std::unique_ptr<udb_recordset> get_table(const std::u16string& table_name,
                                             const std::u16string& query_text,
                                             uint32_t open_mode) override;
    // An existing table (an internal error when it is not in the table list).
    std::unique_ptr<udb_recordset> get_table(const std::u16string& table_name,
                                             uint32_t open_mode) override;
    void query(const std::u16string& statement) override;
    // Parses the statement without running it: false when the server refuses it.
    bool test_query(const std::u16string& statement) override;
    // The table list, read again from the catalogue.
    std::vector<std::u16string>& get_tables() override;

    // The Oracle names given to a source table and to a column of it.
    std::u16string get_tn_mapped_name_ex(const std::u16string& table);
    std::u16string get_fn_mapped_name_ex(const std::u16string& table, const std::u16string& field);

    // The server release (packed as the engine gives it), asked once.
    uint32_t server_version();

    // Name and text of each view of the user, read at construction.
    const std::vector<std::pair<std::u16string, std::u16string>>& views() const noexcept {
        return views_;
    }
    std::vector<std::u16string> view_names() const;

    bool b_uppercase = false;
    // How the tables' loaders write values.
    udb_values values = udb_values::classic;
    // Index and constraint names of the whole run.
    ora_in_validator index_validator;
    // Tables created from now on take their index and constraint names from `names` (the
    // run's database, when this one is the session of a further thread of the same run), which
    // must outlive this database; the caller keeps two creations from running at once.
    void share_index_names(ora_in_validator& names) noexcept { shared_index_names_ = &names; }

  private:
    void init_tables();
    void init_views();

    std::vector<std::pair<std::u16string, std::u16string>> views_;
    uint32_t version_ = 0;
    bool b_version_read_ = false;
    ora_in_validator* shared_index_names_ = nullptr;
};
