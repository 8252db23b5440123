#include "gui/wizard_pages.hpp"

#include <algorithm>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>

#include "app/brixel_converter.hpp"
#include "app/brixel_startup.hpp"
#include "app/interrupted_run.hpp"
#include "app/run_journal.hpp"
#include "app/run_summary.hpp"
#include "app/table_mapping_editor.hpp"
#include "app/verify_command.hpp"
#include "app/wizard_rules.hpp"
#include "dbf/dbf_codepage.hpp"
#include "gui/gui_art.hpp"
#include "gui/wizard_dialogs.hpp"
#include "gui/wizard_shell.hpp"
#include "tk/error_handler.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_thread.hpp"
#include "tk/tk_wstring.hpp"

namespace {

// The address the welcome page's link opens.
const char* const product_page = "https://www.quillonworks.com/brixel";

QString qs(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
std::u16string ws(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<size_t>(text.size()));
}

QLabel* wrapped(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

QLabel* big_title(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPointSize(13);
    font.setBold(true);
    label->setFont(font);
    label->setObjectName("title");
    return label;
}

QLineEdit* edit(const char* name, QWidget* parent) {
    auto* line = new QLineEdit(parent);
    line->setObjectName(name);
    line->setMaxLength(260);
    return line;
}

// Errors of what a page asks the converter are reported like those of start-up: nothing is left
// to stop, so the handler only tells the user.
template <class Work>
bool guarded(Work work) {
    try {
        work();
        return true;
    } catch (const tk_final_exception&) {
    } catch (const tk_exception& e) {
        error_handler::instance().handle(e, true);
    } catch (const std::exception& e) {
        error_handler::instance().handle(tk_exception(e.what(), 1), true);
    }
    return false;
}

// Runs the converter, which it does not own, on the worker thread.
class run_thread : public tk_thread {
  public:
    explicit run_thread(tk_thread_functor& converter) : converter_(converter) {}
    tk_thread_functor* create_functor() override {
        b_owns_functor = false;
        return &converter_;
    }

  private:
    tk_thread_functor& converter_;
};

}  // namespace

wizard_page::wizard_page(wizard_shell& shell, int help_topic)
    : shell_(shell), help_topic_(help_topic) {}

brixel_converter& wizard_page::converter() const {
    return shell_.converter();
}

// ---------------------------------------------------------------------------------------------

welcome_page::welcome_page(wizard_shell& shell) : wizard_page(shell, 1018) {
    setObjectName("welcome_page");
    setPixmap(QWizard::WatermarkPixmap, gui_art::watermark());
    auto* load = new QPushButton("&Load Settings...", this);
    load->setObjectName("load_settings");
    connect(load, &QPushButton::clicked, this, &welcome_page::on_load);
    auto* link = new QLabel(QString("<a href=\"%1\">Quillonworks</a>").arg(product_page), this);
    link->setObjectName("product_link");
    link->setOpenExternalLinks(true);

    resume_ = new QCheckBox("&Finish the interrupted conversion", this);
    resume_->setObjectName("resume");
    resume_->setToolTip(
        "Tables it converted are skipped and the table it was cutting short "
        "goes on after its last committed record: no record is loaded twice.");
    interrupted_ = wrapped("", this);
    interrupted_->setObjectName("interrupted");
    resume_->hide();
    interrupted_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(big_title("Welcome to Brixel\nConversion Wizard\n", this));
    layout->addWidget(
        wrapped("This wizard helps you migrate FoxPro/DBase files\nto Oracle server. "
                "Click 'Next' to continue.",
                this));
    layout->addStretch();
    layout->addWidget(interrupted_);
    layout->addWidget(resume_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(load);
    bottom->addStretch();
    bottom->addWidget(link);
    layout->addLayout(bottom);
}

void welcome_page::initializePage() {
    journal_ =
        converter().journal ? std::string() : find_interrupted_journal(journal_state_folder());
    if (journal_.empty()) {
        resume_->hide();
        interrupted_->hide();
        return;
    }
    try {
        interrupted_->setText(
            QString::fromStdString(describe_interrupted_run(run_journal_state::read(journal_))));
    } catch (const run_journal_error&) {
        journal_.clear();
        return;
    }
    resume_->setChecked(true);
    resume_->show();
    interrupted_->show();
}

bool welcome_page::validatePage() {
    if (journal_.empty() || !resume_->isChecked()) {
        return true;
    }
    return guarded([&] { prepare_resume(converter(), journal_); });
}

void welcome_page::on_load() {
    const QString file = open_profile_file(&shell(), QDir::homePath() + "/");
    if (file.isEmpty()) {
        return;
    }
    TK_LOG(1, "welcome_page_t::on_load(%s)", file.toStdString().c_str());
    guarded([&] {
        if (!converter().load_profile(ws(file))) {
            shell().show_error("The profile " + file +
                               " was not applied completely: a setting comes before its section.");
        }
    });
}

// ---------------------------------------------------------------------------------------------

oracle_settings_page::oracle_settings_page(wizard_shell& shell) : wizard_page(shell, 1001) {
    setObjectName("oracle_settings_page");
    setTitle("Step 1 of 5");
    setSubTitle("Connect to Oracle server");
    host_ = edit("host", this);
    dest_ = edit("dest", this);
    port_ = edit("port", this);
    user_ = edit("user", this);
    password_ = edit("password", this);
    password_->setEchoMode(QLineEdit::Password);

    auto* form = new QGridLayout;
    const auto add = [&](int line, const char* text, QLineEdit* field) {
        auto* label = new QLabel(text, this);
        label->setBuddy(field);
        form->addWidget(label, line, 0);
        form->addWidget(field, line, 1);
    };
    add(0, "&Server (IP or network name):", host_);
    add(1, "&Database name:", dest_);
    add(2, "Po&rt:", port_);
    add(3, "&Username:", user_);
    add(4, "&Password:", password_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        wrapped("If the program has been installed on Oracle server machine, you can "
                "leave 'Server' editbox empty. It is necessary to specify the port "
                "only if it differs from default value 1521.",
                this));
    layout->addSpacing(8);
    layout->addLayout(form);
    layout->addStretch();
}

void oracle_settings_page::initializePage() {
    const brixel_converter& c = converter();
    host_->setText(qs(c.host));
    dest_->setText(qs(c.dest));
    port_->setText(qs(c.port));
    user_->setText(qs(c.user));
    password_->setText(qs(c.password));
}

void oracle_settings_page::store_settings() {
    converter().store_oracle_settings(ws(host_->text()), ws(user_->text()), ws(password_->text()),
                                      ws(port_->text()));
    converter().dest = ws(dest_->text());
}

bool oracle_settings_page::validatePage() {
    store_settings();
    if (converter().dest.empty()) {
        shell().show_message("You should enter Oracle database name");
        return false;
    }
    brixel_startup& startup = shell().startup();
    return dlg_animation::run(&shell(), [&] { return startup.connect(); });
}

void oracle_settings_page::cleanupPage() {
    store_settings();
}

// ---------------------------------------------------------------------------------------------

sel_file_page::sel_file_page(wizard_shell& shell) : wizard_page(shell, 1020) {
    setObjectName("sel_file_page");
    setTitle("Step 2 of 5");
    setSubTitle("Conversion settings");
    src_ = edit("src", this);
    auto* browse = new QPushButton("Browse...", this);
    browse->setObjectName("browse");
    connect(browse, &QPushButton::clicked, this, &sel_file_page::on_browse_src);
    auto* src_label = new QLabel("D&BF database folder:", this);
    src_label->setBuddy(src_);

    auto* group = new QGroupBox("How to process existing tables:", this);
    mode_ = new QButtonGroup(this);
    auto* modes = new QHBoxLayout(group);
    const char* names[] = {"&Overwrite", "M&erge", "&Skip"};
    const char* ids[] = {"overwrite", "merge", "skip"};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(names[i], group);
        radio->setObjectName(ids[i]);
        mode_->addButton(radio, i);
        modes->addWidget(radio);
    }
    modes->addStretch();
    const auto check = [&](const char* text, const char* name) {
        auto* box = new QCheckBox(text, this);
        box->setObjectName(name);
        return box;
    };
    bool_dbf_ = check("Convert logical &values 'as is'", "bool_dbf");
    tab_def_ = check("&Convert table definitions only", "tab_def");
    skip_del_ = check("D&on't convert deleted records", "skip_del");
    uppercase_ = check("&Make names uppercase", "uppercase");
    exact_values_ = check("E&xact values", "exact_values");
    exact_values_->setToolTip(
        "Every value arrives as it was: numbers keep every digit, unknown values become NULL, "
        "and nothing is changed without a message.\nClear it for the classic conversion of "
        "earlier versions.");

    // The load method and its sizes, on one row: the page has no room for more.
    load_ = new QComboBox(this);
    load_->setObjectName("load_method");
    load_->addItem("In batches", "array");
    load_->addItem("One by one", "row");
    load_->setToolTip(
        "In batches: many records per round trip to the server, committed every "
        "so many records.\nOne by one: one statement and one commit per record, as "
        "earlier versions did.");
    batch_rows_ = new QSpinBox(this);
    batch_rows_->setObjectName("batch_rows");
    batch_rows_->setRange(1, 1000000);
    batch_rows_->setToolTip("Records sent to the server in one round trip.");
    commit_rows_ = new QSpinBox(this);
    commit_rows_->setObjectName("commit_rows");
    commit_rows_->setRange(0, 100000000);
    commit_rows_->setSpecialValueText("table end");
    commit_rows_->setToolTip("Records per commit; 0 commits once, at the end of each table.");
    auto* loading = new QHBoxLayout;
    const auto labelled = [&](const char* text, QWidget* field) {
        auto* label = new QLabel(text, this);
        label->setBuddy(field);
        loading->addWidget(label);
        loading->addWidget(field);
    };
    labelled("&Load records:", load_);
    loading->addSpacing(12);
    labelled("&Batch:", batch_rows_);
    loading->addSpacing(12);
    labelled("Comm&it every:", commit_rows_);
    loading->addStretch();
    const auto follow_method = [this] {
        const bool b_array = load_->currentData().toString() == "array";
        batch_rows_->setEnabled(b_array);
        commit_rows_->setEnabled(b_array);
    };
    connect(load_, &QComboBox::currentIndexChanged, this, follow_method);

    auto* folder = new QHBoxLayout;
    folder->addWidget(src_, 1);
    folder->addWidget(browse);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        wrapped("Enter source and destination database names. Click 'Browse' to "
                "find the source database through directory tree.",
                this));
    layout->addWidget(src_label);
    layout->addLayout(folder);
    layout->addWidget(group);
    layout->addWidget(bool_dbf_);
    layout->addWidget(tab_def_);
    layout->addWidget(skip_del_);
    layout->addWidget(uppercase_);
    layout->addWidget(exact_values_);
    layout->addLayout(loading);
    layout->addStretch();
}

void sel_file_page::initializePage() {
    const brixel_converter& c = converter();
    bool_dbf_->setChecked(c.bool_dbf);
    tab_def_->setChecked(c.tab_def);
    skip_del_->setChecked(c.skip_del);
    uppercase_->setChecked(c.uppercase);
    exact_values_->setChecked(c.values == udb_values::exact);
    load_->setCurrentIndex(
        load_->findData(c.load.method == ora_load_method::array ? "array" : "row"));
    batch_rows_->setValue(static_cast<int>(c.load.batch_rows));
    commit_rows_->setValue(static_cast<int>(c.load.commit_rows));
    // A policy this program does not know selects none: the user has to choose one.
    mode_->setExclusive(false);
    for (QAbstractButton* button : mode_->buttons()) {
        button->setChecked(mode_->id(button) == c.mode);
    }
    mode_->setExclusive(true);
    if (!c.src.empty()) {
        src_->setText(qs(c.src));
    }
}

void sel_file_page::store() {
    brixel_converter& c = converter();
    c.src = ws(src_->text());
    c.bool_dbf = bool_dbf_->isChecked();
    c.tab_def = tab_def_->isChecked();
    c.skip_del = skip_del_->isChecked();
    c.uppercase = uppercase_->isChecked();
    c.values = exact_values_->isChecked() ? udb_values::exact : udb_values::classic;
    c.load.method =
        load_->currentData().toString() == "array" ? ora_load_method::array : ora_load_method::row;
    c.load.batch_rows = static_cast<uint32_t>(batch_rows_->value());
    c.load.commit_rows = static_cast<uint32_t>(commit_rows_->value());
    if (mode_->checkedId() >= 0) {
        c.mode = mode_->checkedId();
    }
}

bool sel_file_page::validatePage() {
    store();
    const wizard_check check = check_source_folder(converter().src);
    if (check.kind == wizard_message_kind::message) {
        shell().show_message(check.text);
        return false;
    }
    if (check.kind == wizard_message_kind::error) {
        shell().show_error(check.text);
        return false;
    }
    if (mode_->checkedId() < 0) {
        shell().show_message("Choose how to process existing tables.");
        return false;
    }
    return true;
}

void sel_file_page::cleanupPage() {
    store();
}

void sel_file_page::on_browse_src() {
    const QString folder = QFileDialog::getExistingDirectory(
        &shell(), "Select folder with DBF file(s)", src_->text(), QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty()) {
        TK_LOG(1, "Got path: %s", folder.toStdString().c_str());
        src_->setText(folder);
    }
}

// ---------------------------------------------------------------------------------------------

encoding_page::encoding_page(wizard_shell& shell) : wizard_page(shell, 1023) {
    setObjectName("encoding_page");
    setTitle("Step 3 of 5");
    setSubTitle("Specify FoxPor/DBase encoding");
    encoding_ = new QComboBox(this);
    encoding_->setObjectName("encoding");
    auto* label = new QLabel("Use &Encoding:", this);
    label->setBuddy(encoding_);
    auto* line = new QHBoxLayout;
    line->addWidget(label);
    line->addWidget(encoding_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        wrapped("Specify DBase codepage to decode all text fields in FoxPro/DBase "
                "file(s).\nKeep it default to use codepage stored in the file(s).",
                this));
    layout->addSpacing(8);
    layout->addLayout(line);
    layout->addStretch();
}

void encoding_page::initializePage() {
    if (encoding_->count() == 0) {
        for (const auto& [id, name] : codepage_names()) {
            encoding_->addItem(qs(name), static_cast<int>(id));
        }
    }
    encoding_->setCurrentIndex(static_cast<int>(codepage_row(converter().code_page)));
}

void encoding_page::store() {
    converter().code_page = encoding_->currentData().toInt();
}

bool encoding_page::validatePage() {
    store();
    return true;
}

void encoding_page::cleanupPage() {
    store();
}

// ---------------------------------------------------------------------------------------------

brixel_sel_tables_page::brixel_sel_tables_page(wizard_shell& shell) : wizard_page(shell, 1015) {
    setObjectName("brixel_sel_tables_page");
    setTitle("Step 4 of 5");
    setSubTitle("Select tables to convert");
    // The run starts on the next page; from there there is no way back.
    setCommitPage(true);
    available_ = new QListWidget(this);
    available_->setObjectName("available");
    selected_ = new QListWidget(this);
    selected_->setObjectName("selected");
    const auto button = [&](const char* text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        return b;
    };
    auto* add = button("A&dd >", "add");
    auto* add_all = button("Add a&ll >", "add_all");
    auto* remove = button("< &Remove", "remove");
    auto* remove_all = button("< Re&move all", "remove_all");
    auto* add_query = button("&Add Query", "add_query");
    connect(add, &QPushButton::clicked, this, [this] { move(available_, selected_, false); });
    connect(add_all, &QPushButton::clicked, this, [this] { move(available_, selected_, true); });
    connect(remove, &QPushButton::clicked, this, [this] { move(selected_, available_, false); });
    connect(remove_all, &QPushButton::clicked, this, [this] { move(selected_, available_, true); });
    connect(add_query, &QPushButton::clicked, this, &brixel_sel_tables_page::on_add_query);
    connect(available_, &QListWidget::itemDoubleClicked, this,
            [this] { move(available_, selected_, false); });
    connect(selected_, &QListWidget::itemDoubleClicked, this,
            &brixel_sel_tables_page::on_edit_query);

    auto* available_label = new QLabel("&Available tables:", this);
    available_label->setBuddy(available_);
    auto* selected_label = new QLabel("&Selected tables:", this);
    selected_label->setBuddy(selected_);
    auto* middle = new QVBoxLayout;
    middle->addStretch();
    for (QPushButton* b : {add, add_all, remove, remove_all}) {
        middle->addWidget(b);
    }
    middle->addSpacing(12);
    middle->addWidget(add_query);
    middle->addStretch();
    auto* lists = new QGridLayout;
    lists->addWidget(available_label, 0, 0);
    lists->addWidget(selected_label, 0, 2);
    lists->addWidget(available_, 1, 0);
    lists->addLayout(middle, 1, 1);
    lists->addWidget(selected_, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        wrapped("Select DBF tables to convert into Oracle format. Double click on an "
                "item in 'Selected tables' list to edit it.",
                this));
    layout->addLayout(lists, 1);
}

bool brixel_sel_tables_page::is_query(const QString& name) const {
    const auto found = converter().sel_queries.find(ws(name));
    return found != converter().sel_queries.end() && !found->second.empty();
}

void brixel_sel_tables_page::initializePage() {
    TK_LOG(1, "brixel_sel_tables_page::page_init");
    available_->clear();
    selected_->clear();
    std::vector<std::u16string> tables;
    guarded([&] { converter().get_all_tables(tables); });
    for (const std::u16string& table : tables) {
        available_->addItem(qs(table));
    }
    available_->sortItems();
    if (available_->count() > 0) {
        available_->setCurrentRow(0);
    }
    // The last selection comes back: its tables in their order, then its queries.
    const auto restore = [&](const std::u16string& name) {
        TK_LOGW(1, u"Processing '%s'", name.c_str());
        const QList<QListWidgetItem*> found =
            available_->findItems(qs(name), Qt::MatchFixedString | Qt::MatchCaseSensitive);
        if (!found.isEmpty()) {
            selected_->addItem(available_->takeItem(available_->row(found.first())));
        } else if (is_query(qs(name)) &&
                   selected_->findItems(qs(name), Qt::MatchFixedString | Qt::MatchCaseSensitive)
                       .isEmpty()) {
            selected_->addItem(qs(name));
        }
    };
    for (const std::u16string& name : converter().selected_tables) {
        restore(name);
    }
    for (const auto& [name, query] : converter().sel_queries) {
        restore(name);
    }
    TK_LOG(1, "brixel_sel_tables_page::page_init - at the END");
}

void brixel_sel_tables_page::move(QListWidget* from, QListWidget* to, bool b_all) {
    if (b_all) {
        while (from->count() > 0) {
            to->addItem(from->takeItem(0));
        }
    } else if (QListWidgetItem* item = from->currentItem()) {
        to->addItem(from->takeItem(from->row(item)));
    }
    if (to == available_) {
        available_->sortItems();
    }
}

void brixel_sel_tables_page::on_add_query() {
    QString name;
    QString query;
    for (;;) {
        set_query_dlg dialog(shell(), name, query);
        if (dialog.exec() != QDialog::Accepted) {
            return;
        }
        name = dialog.name();
        query = dialog.query();
        if (!available_->findItems(name, Qt::MatchFixedString).isEmpty() ||
            !selected_->findItems(name, Qt::MatchFixedString).isEmpty()) {
            shell().show_message("Duplicate table name. Try again.");
            continue;
        }
        TK_LOGW(1, u"Adding pair: '%s','%s'", ws(name).c_str(), ws(query).c_str());
        selected_->addItem(name);
        converter().sel_queries[ws(name)] = ws(query);
        return;
    }
}

void brixel_sel_tables_page::on_edit_query() {
    QListWidgetItem* item = selected_->currentItem();
    if (item == nullptr) {
        TK_LOG(1, "Nothing is selected!");
        return;
    }
    const QString name = item->text();
    if (!is_query(name)) {
        TK_LOG(1, "It's not a query, show type mapping");
        edit_table(name);
        return;
    }
    set_query_dlg dialog(shell(), name, qs(converter().sel_queries[ws(name)]));
    if (dialog.exec() == QDialog::Accepted) {
        converter().sel_queries.erase(ws(name));
        converter().sel_queries[ws(dialog.name())] = ws(dialog.query());
        item->setText(dialog.name());
    }
}

void brixel_sel_tables_page::edit_table(const QString& name) {
    TK_LOG(1, "Ready for types mapping");
    t_table_mapping mapping;
    if (!guarded([&] { mapping = load_table_mapping(converter(), ws(name)); })) {
        return;
    }
    types_map_dlg dialog(shell(), std::move(mapping));
    if (dialog.exec() == QDialog::Accepted) {
        guarded([&] { store_table_mapping(converter(), dialog.mapping()); });
    }
}

bool brixel_sel_tables_page::validatePage() {
    if (tables_need_confirmation(static_cast<size_t>(available_->count()),
                                 static_cast<size_t>(selected_->count())) &&
        !shell().question("There are no tables selected. Continue anyway?")) {
        return false;
    }
    store();
    return true;
}

void brixel_sel_tables_page::cleanupPage() {
    store();
}

void brixel_sel_tables_page::store() {
    std::vector<std::u16string> selection;
    for (int i = 0; i < selected_->count(); ++i) {
        selection.push_back(ws(selected_->item(i)->text()));
    }
    converter().selected_tables = std::move(selection);
}

// ---------------------------------------------------------------------------------------------

progress_page::progress_page(wizard_shell& shell)
    : wizard_page(shell, wizard_shell::default_help_topic) {
    setObjectName("progress_page");
    setTitle("Step 5 of 5");
    setSubTitle("Database conversion is in progress");
    const auto label = [&](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(name);
        return l;
    };
    status_ = label("status");
    position_ = label("position");
    records_ = label("records");
    rate_ = label("rate");
    elapsed_ = label("elapsed");
    remaining_ = label("remaining");
    bar_ = new QProgressBar(this);
    bar_->setObjectName("progress");
    bar_->setRange(0, 100);
    stop_ = new QPushButton("S&top", this);
    stop_->setObjectName("stop");
    connect(stop_, &QPushButton::clicked, this, &progress_page::on_stop);
    timer_.setInterval(200);
    connect(&timer_, &QTimer::timeout, this, &progress_page::on_timer);

    auto* details = new QGridLayout;
    details->addWidget(position_, 0, 0);
    details->addWidget(records_, 0, 1);
    details->addWidget(rate_, 1, 0);
    details->addWidget(elapsed_, 1, 1);
    details->addWidget(remaining_, 2, 0, 1, 2);
    auto* stop_line = new QHBoxLayout;
    stop_line->addStretch();
    stop_line->addWidget(stop_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        wrapped("Database conversion is in progress. Please wait until wizard "
                "completes migrating your DBF file(s) to Oracle database.",
                this));
    layout->addSpacing(8);
    layout->addWidget(status_);
    layout->addWidget(bar_);
    layout->addLayout(details);
    layout->addStretch();
    layout->addLayout(stop_line);
}

progress_page::~progress_page() {
    if (worker_) {
        // Only reached when the window goes while a run works (the process is ending).
        worker_->terminate();
    }
}

void progress_page::initializePage() {
    bar_->setValue(0);
    b_finished_ = false;
    estimate_.emplace(progress_estimate::clock::now());
    shell().set_run_active(true);
    stop_->setEnabled(true);
    // Every run keeps a journal, so that an interrupted one can be finished later.
    guarded([&] { start_run_journal(converter()); });
    worker_ = std::make_unique<run_thread>(converter());
    worker_->start();
    timer_.start();
}

bool progress_page::isComplete() const {
    return b_finished_;
}

void progress_page::on_timer() {
    if (!estimate_) {
        estimate_.emplace(progress_estimate::clock::now());
    }
    const progress_snapshot snapshot = progress_snapshot::read(converter());
    const progress_view view = estimate_->update(snapshot, progress_estimate::clock::now());
    bar_->setValue(static_cast<int>(std::min<uint32_t>(view.percent, 100)));
    status_->setText(QString::fromStdString(view.status));
    position_->setText(QString::fromStdString(view.position));
    records_->setText(QString::fromStdString(view.records));
    rate_->setText(QString::fromStdString(view.rate));
    elapsed_->setText(QString::fromStdString(view.elapsed));
    remaining_->setText(QString::fromStdString(view.remaining));
    if (!snapshot.finished || !worker_) {
        return;
    }
    timer_.stop();
    worker_->join();
    worker_.reset();
    b_finished_ = true;
    shell().set_run_active(false);
    stop_->setEnabled(false);
    emit completeChanged();
    if (shell().close_after_run()) {
        shell().close_now();
    } else {
        shell().next();
    }
}

void progress_page::on_stop() {
    if (shell().ask_stop()) {
        stop_->setEnabled(false);
        status_->setText("Stopping after the record being loaded...");
    }
}

// ---------------------------------------------------------------------------------------------

gui_finish_page::gui_finish_page(wizard_shell& shell) : wizard_page(shell, -1) {
    setObjectName("gui_finish_page");
    setPixmap(QWizard::WatermarkPixmap, gui_art::watermark());
    message_ = wrapped("", this);
    message_->setObjectName("message");
    interrupted_ = wrapped("", this);
    interrupted_->setObjectName("interrupted");
    interrupted_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    interrupted_->hide();
    errors_ = new QPlainTextEdit(this);
    errors_->setObjectName("errors");
    errors_->setReadOnly(true);
    errors_->hide();
    auto* store = new QPushButton("&Save Settings...", this);
    store->setObjectName("save_settings");
    connect(store, &QPushButton::clicked, this, &gui_finish_page::on_store);
    auto* report = new QPushButton("Show full &report", this);
    report->setObjectName("show_report");
    connect(report, &QPushButton::clicked, this, &gui_finish_page::on_report);
    verify_ = new QPushButton("&Verify...", this);
    verify_->setObjectName("verify");
    verify_->setToolTip(
        "Reads every converted table back and compares it with its DBF table, "
        "value by value.");
    connect(verify_, &QPushButton::clicked, this, &gui_finish_page::on_verify);
    connect(&shell, &QDialog::finished, this, &gui_finish_page::end_verify);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(store);
    buttons->addWidget(report);
    buttons->addWidget(verify_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(big_title("Conversion is Completed", this));
    layout->addWidget(message_);
    layout->addWidget(interrupted_);
    layout->addWidget(errors_, 1);
    layout->addStretch();
    layout->addLayout(buttons);
}

gui_finish_page::~gui_finish_page() {
    end_verify();
}

void gui_finish_page::end_verify() {
    if (verifier_ != nullptr) {
        // The wizard closes while a comparison reads the converter's tables: the converter goes
        // with the window, so the comparison ends first and its report is not shown.
        verifier_->disconnect(this);
        verifier_->wait();
        delete verifier_;
        verifier_ = nullptr;
    }
}

void gui_finish_page::initializePage() {
    if (QAbstractButton* help = wizard()->button(QWizard::HelpButton)) {
        help->setEnabled(false);
    }
    const std::vector<std::string> all = shell().all_errors();
    const bool b_stopped = shell().startup().stop_requested();
    const bool b_errors = run_exit_code(converter().reports(), all.size()) != 0;
    message_->setText(final_page_message(b_errors, b_stopped));
    std::string interrupted;
    guarded([&] { interrupted = interrupted_run_text(converter(), converter().reports()); });
    interrupted_->setText(QString::fromStdString(interrupted));
    interrupted_->setVisible(!interrupted.empty());
    if (!b_errors) {
        TK_LOG(1, "Display success-message");
        errors_->hide();
        return;
    }
    TK_LOG(1, "Display errors");
    const std::vector<std::string>& listed = shell().error_list();
    if (!listed.empty() || !all.empty()) {
        errors_->setPlainText(
            QString::fromStdString(final_page_errors(listed, std::max(all.size(), listed.size()))));
        errors_->show();
    }
}

void gui_finish_page::on_store() {
    const QString file = save_profile_file(&shell(), QDir::homePath() + "/");
    if (file.isEmpty()) {
        return;
    }
    TK_LOG(1, "gui_finish_page_t::on_store(%s)", file.toStdString().c_str());
    guarded([&] {
        if (!converter().store_profile(ws(file))) {
            shell().show_error("The profile could not be saved to " + file + ".");
        }
    });
}

void gui_finish_page::on_report() {
    report_dlg dialog(
        QString::fromStdString(format_summary(converter().reports(), shell().all_errors())),
        &shell());
    dialog.exec();
}

void gui_finish_page::on_verify() {
    if (verifier_ != nullptr) {
        return;
    }
    TK_LOG(1, "gui_finish_page_t::on_verify()");
    verify_->setEnabled(false);
    verify_->setText("Verifying...");
    verify_report_.clear();
    brixel_converter& c = converter();
    verifier_ = QThread::create([this, &c] {
        try {
            verify_report_ = format_verify_report(verify_tables(c));
        } catch (const tk_exception& e) {
            verify_report_ = "verify: not done: " + e.message + "\n";
        } catch (const std::exception& e) {
            verify_report_ = std::string("verify: not done: ") + e.what() + "\n";
        }
    });
    connect(verifier_, &QThread::finished, this, &gui_finish_page::on_verified);
    verifier_->start();
}

void gui_finish_page::on_verified() {
    if (verifier_ == nullptr) {
        return;  // the wizard has closed meanwhile
    }
    verifier_->deleteLater();
    verifier_ = nullptr;
    verify_->setText("&Verify...");
    verify_->setEnabled(true);
    report_dlg dialog(QString::fromStdString(verify_report_), &shell(), "Verify report");
    dialog.exec();
}
