// make_example_dbf: writes the example DBF folder (examples/dbf) that the demo converts and the
// README shows. Five small tables of a wholesale business, each in another layout and code page:
//
//     customers  dBASE III with a .dbt memo        code page 1252 (Western, accented names)
//     orders     dBASE IV with a dBASE IV .dbt     code page 1252
//     products   FoxPro 2.x with an .fpt memo      code page 1250 (Central European)
//     suppliers  Visual FoxPro with an .fpt memo   code page 1251 (Cyrillic), integer, currency,
//                                                  datetime, double and a nullable column
//     employees  dBASE 7 with a .dbt memo          code page 866 (Cyrillic, DOS)
//
// The output is the same byte for byte on every run (the writer's header date is fixed), so the
// committed folder can be compared with what this program writes now.
//
//     make_example_dbf FOLDER

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/dbf_writer.hpp"
#include "tk/tk_wstring.hpp"

namespace {

// Text of a table in the table's code page. The sources are UTF-8; a character the code page
// lacks would silently become the substitution character, so the text is decoded again and must
// come back unchanged.
class encoder {
  public:
    explicit encoder(int codepage) : codepage_(codepage) {}

    std::string operator()(std::string_view utf8) const {
        const std::u16string wide = tk_from_utf8(utf8);
        std::string bytes = tk_to_ansi(wide, codepage_);
        if (tk_ansi_to_ucs2(bytes, codepage_) != wide) {
            throw std::runtime_error("code page " + std::to_string(codepage_) +
                                     " cannot hold the text: " + std::string(utf8));
        }
        return bytes;
    }
    dbf_cell text(std::string_view utf8) const { return dbf_cell::text((*this)(utf8)); }
    dbf_cell memo(std::string_view utf8) const { return dbf_cell::memo((*this)(utf8)); }

  private:
    int codepage_;
};

// Language driver ids of the code pages used here.
constexpr uint8_t ldid_1252 = 0x03;
constexpr uint8_t ldid_866 = 0x65;
constexpr uint8_t ldid_1250 = 0xC8;
constexpr uint8_t ldid_1251 = 0xC9;

// The account history of the oldest customer: a memo of well over 2000 characters that spans
// many memo blocks, with accented letters and line breaks.
std::string account_history() {
    struct entry {
        const char* date;
        const char* what;
    };
    const entry entries[] = {
        {"2011-03-14",
         "Account opened after the Lyon trade fair. First order: 40 cases of "
         "Crémant du Jura and 12 cases of Château-Chalon, paid on delivery."},
        {"2011-09-02",
         "Amélie asked for a fixed delivery day; Thursday mornings agreed with "
         "the depot in Besançon. Unloading only through the rear courtyard."},
        {"2012-06-18",
         "Complaint: three bottles broken in transit (order 10412). Credit note "
         "issued for 87,60 €; the carrier's insurance reimbursed us in August."},
        {"2013-01-07",
         "Payment terms changed from cash on delivery to 30 days net after two "
         "years without a late payment."},
        {"2014-04-22",
         "The brasserie took over the café next door (« Le Petit Comtois »); both "
         "sites are delivered under this account, invoices addressed to the "
         "brasserie only."},
        {"2015-11-30",
         "Christmas season: weekly deliveries in December, double quantities of "
         "vin jaune and Macvin. Reminder sent about the returnable crates."},
        {"2016-08-09",
         "New cellar master, François Girardot, now places the orders. He prefers "
         "e-mail to telephone and wants the price list every quarter."},
        {"2017-03-15",
         "Visit by our sales team. Interest in Belgian beers and Swiss cheeses; "
         "samples of Gruyère d'alpage and Tête de Moine left for tasting."},
        {"2018-05-04",
         "Credit limit raised to 15 000 € after the annual review. Average order "
         "now about 2 300 € a month, always paid within 21 days."},
        {"2019-02-11",
         "Invoice 2019-0217 disputed (price of the Poulsard was the old one). "
         "Corrected the same week; no further action needed."},
        {"2020-03-17",
         "Brasserie closed during the lockdown. Open orders suspended; the "
         "account kept active at the owner's request."},
        {"2020-06-02",
         "Reopened with a smaller menu. Orders every second week until further "
         "notice; deliveries moved to Tuesday because of the market."},
        {"2021-10-25", "Switched to electronic invoices. Paper copies no longer wanted."},
        {"2022-12-12",
         "Largest order so far: 1 140 bottles for the end-of-year banquets, "
         "delivered in three trips with the small lorry."},
        {"2023-09-19",
         "Amélie Lefèvre hands the business over to her son Étienne; same "
         "address, same terms. Signature card updated."},
        {"2024-01-08",
         "Annual review: terms unchanged, credit limit confirmed. Next review "
         "in January."},
    };
    std::string text = "Account history - Brasserie Lefèvre & Fils\r\n\r\n";
    for (const entry& e : entries) {
        text += e.date;
        text += "  ";
        text += e.what;
        text += "\r\n";
    }
    return text;
}

void write_customers(const std::filesystem::path& folder) {
    const encoder enc(1252);
    dbf_writer w(dbf_ver::dbase3_memo);
    w.codepage(ldid_1252)
        .field("CUST_ID", 'N', 6)
        .field("COMPANY", 'C', 40)
        .field("CONTACT", 'C', 30)
        .field("CITY", 'C', 25)
        .field("COUNTRY", 'C', 20)
        .field("SINCE", 'D', 8)
        .field("ACTIVE", 'L', 1)
        .field("CREDIT", 'N', 11, 2)
        .field("NOTES", 'M', 10);
    auto add = [&](int64_t id, std::string_view company, std::string_view contact,
                   std::string_view city, std::string_view country, dbf_cell since, bool active,
                   double credit, dbf_cell notes, bool deleted = false) {
        w.add_record(
            {dbf_cell::integer(id), enc.text(company), enc.text(contact), enc.text(city),
             enc.text(country), since, dbf_cell::logical(active), dbf_cell::number(credit), notes},
            deleted);
    };
    add(1001, "Brasserie Lefèvre & Fils", "Amélie Lefèvre", "Besançon", "France",
        dbf_cell::date(2011, 3, 14), true, 15000.00, enc.memo(account_history()));
    add(1002, "Müller Getränke GmbH", "Jürgen Müller", "München", "Deutschland",
        dbf_cell::date(2014, 7, 1), true, 8500.50,
        enc.memo("Pays within 14 days. Deliveries before 10:00 only; ring at the Hoftor."));
    add(1003, "Ölund & Ångström AB", "Åsa Öberg", "Göteborg", "Sverige",
        dbf_cell::date(2016, 11, 23), false, 0.00, dbf_cell::blank());
    add(1004, "Café São João Lda.", "João Gonçalves", "Porto", "Portugal",
        dbf_cell::date(2018, 2, 5), true, 4200.00,
        enc.memo("Orders by telephone on Mondays. Prefers invoices in Portuguese."));
    add(1005, "Peña y Hermanos S.L.", "Íñigo Peña", "Logroño", "España",
        dbf_cell::date(2019, 9, 30), true, 12750.75,
        enc.memo("Wine importer; also buys Sauternes and Tokaji for resale."));
    add(1006, "Høgh Ærø ApS", "Søren Høgh", "Ærøskøbing", "Danmark", dbf_cell::date(2012, 5, 18),
        false, 0.00, enc.memo("Company closed in 2020; record kept for the old invoices."), true);
    // A customer still being set up: no city and no start date yet.
    add(1007, "Zoë's Crêperie", "Zoë Dupré", "", "Belgique", dbf_cell::blank(), true, 950.00,
        dbf_cell::blank());
    add(1008, "Þór Trading ehf.", "Þórður Guðmundsson", "Reykjavík", "Ísland",
        dbf_cell::date(2021, 1, 12), true, 3300.00,
        enc.memo("Ships by sea from Rotterdam; paperwork for Icelandic customs needed."));
    w.write(folder, "customers.dbf");
}

void write_orders(const std::filesystem::path& folder) {
    const encoder enc(1252);
    dbf_writer w(dbf_ver::dbase4_memo);
    w.codepage(ldid_1252)
        .field("ORDER_NO", 'N', 8)
        .field("CUST_ID", 'N', 6)
        .field("ORDERED", 'D', 8)
        .field("SHIPPED", 'D', 8)
        .field("AMOUNT", 'N', 12, 2)
        .field("WEIGHT_KG", 'F', 10, 3)
        .field("PAID", 'L', 1)
        .field("REMARK", 'M', 10);
    struct order {
        int64_t number;
        int64_t customer;
        int ordered[3];
        int shipped[3];  // year 0: not shipped yet
        double amount;
        double weight;  // values a single-precision float holds exactly
        bool paid;
        const char* remark;
        bool deleted;
    };
    const order orders[] = {
        {24001, 1001, {2024, 1, 8}, {2024, 1, 11}, 2315.40, 412.5, true, "", false},
        {24002,
         1002,
         {2024, 1, 9},
         {2024, 1, 12},
         1180.00,
         220.25,
         true,
         "Two pallets; Lieferschein signed by Herr Müller.",
         false},
        {24003,
         1005,
         {2024, 1, 15},
         {2024, 1, 19},
         6420.90,
         1050.75,
         false,
         "Part delivery: 3 of 5 cases of Tokaji, rest follows.",
         false},
        {24004,
         1004,
         {2024, 1, 22},
         {0, 0, 0},
         845.30,
         96.125,
         false,
         "Waiting for the customer's new delivery address.",
         false},
        {24005,
         1008,
         {2024, 2, 1},
         {2024, 2, 14},
         3990.00,
         640.0,
         true,
         "Sea freight, container MSKU 702114.",
         false},
        // Cancelled by the customer; the record is kept marked as deleted.
        {24006,
         1003,
         {2024, 2, 5},
         {0, 0, 0},
         510.00,
         48.5,
         false,
         "Cancelled: café closed for renovation.",
         true},
        {24007, 1001, {2024, 2, 12}, {2024, 2, 15}, 1975.60, 350.375, true, "", false},
        {24008, 1007, {2024, 2, 20}, {0, 0, 0}, 0.00, 0.0, false, "", false},
    };
    for (const order& o : orders) {
        w.add_record(
            {dbf_cell::integer(o.number), dbf_cell::integer(o.customer),
             dbf_cell::date(o.ordered[0], o.ordered[1], o.ordered[2]),
             o.shipped[0] == 0 ? dbf_cell::blank()
                               : dbf_cell::date(o.shipped[0], o.shipped[1], o.shipped[2]),
             dbf_cell::number(o.amount), dbf_cell::number(o.weight), dbf_cell::logical(o.paid),
             *o.remark == 0 ? dbf_cell::blank() : enc.memo(o.remark)},
            o.deleted);
    }
    w.write(folder, "orders.dbf");
}

void write_products(const std::filesystem::path& folder) {
    const encoder enc(1250);
    dbf_writer w(dbf_ver::foxpro2_memo);
    w.codepage(ldid_1250)
        .field("SKU", 'C', 10)
        .field("NAME", 'C', 40)
        .field("CATEGORY", 'C', 20)
        .field("PRICE", 'N', 10, 2)
        .field("STOCK", 'N', 6)
        .field("DISCONT", 'L', 1)
        .field("DESCR", 'M', 10);
    auto add = [&](std::string_view sku, std::string_view name, std::string_view category,
                   double price, int64_t stock, bool discontinued, std::string_view description) {
        w.add_record({enc.text(sku), enc.text(name), enc.text(category), dbf_cell::number(price),
                      dbf_cell::integer(stock), dbf_cell::logical(discontinued),
                      description.empty() ? dbf_cell::blank() : enc.memo(description)});
    };
    add("CZ-1001", "Čokoláda hořká 70 %", "Cukrovinky", 3.45, 240, false,
        "Hořká čokoláda z Ostravy, balení po 100 g. Skladovat v suchu při 15–18 °C.");
    add("CZ-1002", "Žatecký ležák 0,5 l", "Pivo", 1.20, 1800, false,
        "Světlý ležák ze Žatce, vratné lahve, přepravka po 20 kusech.");
    add("PL-2001", "Miód lipowy z Łącka", "Miód", 8.90, 65, false,
        "Miód lipowy, słoik 400 g. Dostawca: pasieka w Łącku, województwo małopolskie.");
    add("PL-2002", "Śliwowica łącka 0,5 l", "Napoje", 24.50, 0, true,
        "Wycofana z oferty w 2023 r.; pozostałe zapasy wyprzedane.");
    add("HU-3001", "Tokaji Aszú 5 puttonyos", "Bor", 32.00, 120, false,
        "Édes fehérbor Tokajból, 0,5 l üvegben. Őrizze hűvös, sötét helyen.");
    add("HU-3002", "Győri édes keksz", "Édesség", 1.85, 600, false, "");
    add("SK-4001", "Bryndza ovčia", "Syry", 4.75, 80, false,
        "Slovenská bryndza, chránené zemepisné označenie. Chladiť pri 2–6 °C.");
    add("SI-5001", "Kranjska klobasa", "Mesni izdelki", 6.40, 150, false, "");
    w.write(folder, "products.dbf");
}

void write_suppliers(const std::filesystem::path& folder) {
    const encoder enc(1251);
    dbf_writer w(dbf_ver::vfp);
    w.codepage(ldid_1251)
        .field("SUPP_ID", 'I', 4)
        .field("NAME", 'C', 40)
        .field("CITY", 'C', 25)
        .field("BALANCE", 'Y', 8, 4)
        .field("LAST_DELIV", 'T', 8, 0, dbf_vfp_flag::nullable)
        .field("RATING", 'B', 8, 2)
        .field("ACTIVE", 'L', 1)
        .field("ADDRESS", 'M', 4);
    auto add = [&](int64_t id, std::string_view name, std::string_view city, int64_t balance,
                   dbf_cell last_delivery, double rating, bool active, std::string_view address) {
        w.add_record({dbf_cell::integer(id), enc.text(name), enc.text(city),
                      dbf_cell::currency(balance), last_delivery, dbf_cell::floating(rating),
                      dbf_cell::logical(active), enc.memo(address)});
    };
    // Balances in ten-thousandths of the currency unit.
    add(1, "ООО «Северный хлеб»", "Архангельск", 1250005000,
        dbf_cell::datetime(2024, 2, 14, 9, 30, 0), 4.75, true,
        "163000, г. Архангельск, наб. Северной Двины, д. 12, склад № 3");
    add(2, "ЗАО «Уральские самоцветы»", "Екатеринбург", -32507500,
        dbf_cell::datetime(2023, 11, 2, 16, 45, 30), 3.5, true,
        "620014, г. Екатеринбург, ул. Малышева, д. 51");
    add(3, "ТОВ «Київські солодощі»", "Київ", 0, dbf_cell::datetime(2022, 6, 30, 11, 0, 0), 4.25,
        false, "01001, м. Київ, вул. Хрещатик, 22. Поставки призупинено.");
    // A new supplier: no delivery yet (null).
    add(4, "ИП Кузнецова Е. В.", "Казань", 98765432, dbf_cell::null(), 5.0, true,
        "420111, г. Казань, ул. Баумана, д. 7");
    add(5, "ОАО «Волжский берег»", "Самара", 5000000000,
        dbf_cell::datetime(2024, 1, 31, 23, 59, 59), 4.0, true,
        "443099, г. Самара, ул. Куйбышева, д. 90, офис 14");
    w.write(folder, "suppliers.dbf");
}

void write_employees(const std::filesystem::path& folder) {
    const encoder enc(866);
    dbf_writer w(dbf_ver::dbase7_memo);
    w.codepage(ldid_866)
        .language_driver_name("DB866RU0")
        .field("EMP_NO", 'N', 5)
        .field("LAST_NAME", 'C', 30)
        .field("FIRST_NAME", 'C', 20)
        .field("DEPARTMENT_NAME", 'C', 30)
        .field("HIRED", 'D', 8)
        .field("SALARY", 'N', 10, 2)
        .field("FULL_TIME", 'L', 1)
        .field("BIOGRAPHY", 'M', 10);
    auto add = [&](int64_t number, std::string_view last, std::string_view first,
                   std::string_view department, dbf_cell hired, double salary, bool full_time,
                   std::string_view biography) {
        w.add_record({dbf_cell::integer(number), enc.text(last), enc.text(first),
                      enc.text(department), hired, dbf_cell::number(salary),
                      dbf_cell::logical(full_time),
                      biography.empty() ? dbf_cell::blank() : enc.memo(biography)});
    };
    add(101, "Иванова", "Мария", "Бухгалтерия", dbf_cell::date(2009, 4, 1), 85000.00, true,
        "Главный бухгалтер с 2015 года. Отвечает за расчёты с поставщиками.");
    add(102, "Петров", "Алексей", "Склад", dbf_cell::date(2013, 10, 15), 52000.00, true,
        "Заведующий складом в Самаре.");
    add(103, "Смирнова", "Ольга", "Отдел продаж", dbf_cell::date(2018, 3, 12), 61500.50, true, "");
    add(104, "Ёлкин", "Фёдор", "Доставка", dbf_cell::date(2021, 7, 5), 38000.00, false,
        "Водитель, работает по выходным.");
    w.write(folder, "employees.dbf");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_example_dbf FOLDER\n");
        return 2;
    }
    try {
        const std::filesystem::path folder = argv[1];
        std::filesystem::create_directories(folder);
        write_customers(folder);
        write_orders(folder);
        write_products(folder);
        write_suppliers(folder);
        write_employees(folder);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_example_dbf: %s\n", e.what());
        return 1;
    }
    return 0;
}
