#include "gui/wizard_dialogs.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTextBrowser>
#include <QThread>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <thread>

#include "app/brixel_converter.hpp"
#include "app/brixel_startup.hpp"
#include "app/wizard_rules.hpp"
#include "gui/gui_art.hpp"
#include "gui/wizard_shell.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_send_bug.hpp"
#include "tk/tk_wstring.hpp"

namespace {

constexpr int dialog_help_topic = 1024;

QString qs(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
std::u16string ws(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<size_t>(text.size()));
}

void show_check(wizard_shell& shell, const wizard_check& check) {
    if (check.kind == wizard_message_kind::error) {
        shell.show_error(check.text);
    } else if (check.kind == wizard_message_kind::message) {
        shell.show_message(check.text);
    }
}

QLabel* error_icon(QWidget* parent) {
    auto* icon = new QLabel(parent);
    icon->setPixmap(parent->style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    return icon;
}

QString profile_filter() {
    const std::string filter = "Profile Files (.brixel)|*.brixel|All Files (*.*)|*.*|";
    QStringList filters;
    for (const std::string& entry : file_dialog_filters(filter)) {
        filters << QString::fromStdString(entry);
    }
    return filters.join(";;");
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Query dialog

set_query_dlg::set_query_dlg(wizard_shell& shell, const QString& name, const QString& query)
    : QDialog(&shell), shell_(shell) {
    TK_LOG(1, "set_query_dlg::on_init");
    setObjectName("set_query_dlg");
    setWindowTitle("Add Query");
    name_ = new QLineEdit(name, this);
    name_->setObjectName("1019");
    name_->setMaxLength(2047);
    query_ = new QPlainTextEdit(query, this);
    query_->setObjectName("1020");
    query_->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* name_label = new QLabel("&Store as Table:", this);
    name_label->setBuddy(name_);
    auto* query_label = new QLabel("&Query:", this);
    query_label->setBuddy(query_);

    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    auto* test = buttons->addButton("&Test Query", QDialogButtonBox::ActionRole);
    test->setObjectName("129");
    connect(buttons, &QDialogButtonBox::accepted, this, &set_query_dlg::on_ok);
    connect(buttons, &QDialogButtonBox::rejected, this, [this] {
        TK_LOG(1, "set_query_dlg::on_cancel");
        reject();
    });
    connect(buttons, &QDialogButtonBox::helpRequested, this,
            [this] { shell_.display_help(dialog_help_topic); });
    connect(test, &QPushButton::clicked, this, &set_query_dlg::on_test);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name_label);
    layout->addWidget(name_);
    layout->addWidget(query_label);
    layout->addWidget(query_, 1);
    layout->addWidget(buttons);
    resize(520, 360);
}

QString set_query_dlg::name() const {
    return name_->text();
}

QString set_query_dlg::query() const {
    return query_->toPlainText();
}

void set_query_dlg::on_ok() {
    TK_LOG(1, "set_query_dlg::on_ok");
    const wizard_check check = check_query_dialog(ws(name()), ws(query()));
    if (!check.ok()) {
        show_check(shell_, check);
        return;
    }
    accept();
}

void set_query_dlg::on_test() {
    const std::u16string query = ws(this->query());
    const bool b_correct = passes_select_test(query) && shell_.converter().test_query(query);
    wizard_message_kind kind = wizard_message_kind::none;
    const std::string text = test_query_message(query, b_correct, tk_default_support_mail, kind);
    show_check(shell_, {kind, text.c_str()});
}

// ---------------------------------------------------------------------------------------------
// Type-mapping dialog

types_map_dlg::types_map_dlg(wizard_shell& shell, t_table_mapping mapping)
    : QDialog(&shell), shell_(shell), mapping_(std::move(mapping)) {
    TK_LOG(1, "types_map_dlg::on_init");
    setObjectName("types_map_dlg");
    setWindowTitle("Edit Table");

    fields_ = new QTreeWidget(this);
    fields_->setObjectName("fields");
    fields_->setRootIsDecorated(false);
    fields_->setSelectionBehavior(QAbstractItemView::SelectRows);
    fields_->setHeaderLabels({"", "Field Name", "Field Type", "Default value"});
    fields_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    for (const t_mapping_row& row : mapping_.rows) {
        auto* item = new QTreeWidgetItem(fields_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, row.b_converted ? Qt::Checked : Qt::Unchecked);
        item->setText(1, qs(row.name));
        item->setText(2, qs(row.type_text(shell_.converter())));
        item->setText(3, qs(row.default_value));
        item->setToolTip(1, QString::fromStdString(row.marker));
    }

    table_name_ = new QLineEdit(qs(mapping_.new_name), this);
    table_name_->setObjectName("1003");
    field_name_ = new QLineEdit(this);
    field_name_->setObjectName("1004");
    type_ = new QComboBox(this);
    type_->setObjectName("1302");
    type_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    default_ = new QLineEdit(this);
    default_->setObjectName("1005");
    auto* numbers = new QIntValidator(0, 4000, this);
    length_ = new QLineEdit(this);
    length_->setObjectName("1006");
    length_->setValidator(numbers);
    precision_ = new QLineEdit(this);
    precision_->setObjectName("1007");
    precision_->setValidator(numbers);
    scale_ = new QLineEdit(this);
    scale_->setObjectName("1008");
    scale_->setValidator(new QIntValidator(-84, 127, this));

    auto* table_box = new QGroupBox("Table info", this);
    auto* table_form = new QFormLayout(table_box);
    table_form->addRow("&Name:", table_name_);

    auto* field_box = new QGroupBox("Field info", this);
    auto* field_form = new QGridLayout(field_box);
    const auto add = [&](int line, const char* text, QWidget* edit) {
        auto* label = new QLabel(text, field_box);
        label->setBuddy(edit);
        field_form->addWidget(label, line, 0);
        field_form->addWidget(edit, line, 1);
        return label;
    };
    add(0, "N&ame:", field_name_);
    add(1, "&Type:", type_);
    add(2, "&Default:", default_);
    length_label_ = add(3, "&Length:", length_);
    precision_label_ = add(4, "&Prec.:", precision_);
    scale_label_ = add(5, "&Scale:", scale_);
    field_form->setRowStretch(6, 1);

    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &types_map_dlg::on_ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this,
            [this] { shell_.display_help(dialog_help_topic); });

    auto* right = new QVBoxLayout;
    right->addWidget(table_box);
    right->addWidget(field_box, 1);
    auto* top = new QHBoxLayout;
    top->addWidget(fields_, 3);
    top->addLayout(right, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(buttons);

    connect(fields_, &QTreeWidget::currentItemChanged, this, &types_map_dlg::on_row_changed);
    connect(type_, &QComboBox::currentTextChanged, this, &types_map_dlg::show_ctrl);
    if (fields_->topLevelItemCount() > 0) {
        fields_->setCurrentItem(fields_->topLevelItem(0));
    }
    resize(720, 420);
}

void types_map_dlg::keep_row(int row) {
    if (row < 0 || row >= static_cast<int>(mapping_.rows.size())) {
        return;
    }
    t_mapping_row& r = mapping_.rows[static_cast<size_t>(row)];
    r.name = ws(field_name_->text());
    r.base_type = ws(type_->currentText());
    r.default_value = ws(default_->text());
    r.length = length_->text().toInt();
    r.precision = precision_->text().toInt();
    r.scale = scale_->text().toInt();
    QTreeWidgetItem* item = fields_->topLevelItem(row);
    r.b_converted = item->checkState(0) == Qt::Checked;
    item->setText(1, qs(r.name));
    item->setText(2, qs(r.type_text(shell_.converter())));
    item->setText(3, qs(r.default_value));
}

void types_map_dlg::fill_row(int row) {
    row_ = row;
    if (row < 0) {
        return;
    }
    TK_LOG(1, "Row #%d is selected", row);
    const t_mapping_row& r = mapping_.rows[static_cast<size_t>(row)];
    field_name_->setText(qs(r.name));
    default_->setText(qs(r.default_value));
    length_->setText(QString::number(r.length));
    precision_->setText(QString::number(r.precision));
    scale_->setText(QString::number(r.scale));
    const QSignalBlocker block(type_);
    type_->clear();
    TK_LOG(1, "types_map_dlg::set_available_conversions(%d)", row);
    for (const std::u16string& type : r.available_types) {
        TK_LOGW(1, u"Adding->%s", type.c_str());
        type_->addItem(qs(type));
    }
    type_->setCurrentText(qs(r.base_type));
    type_->setMaxVisibleItems(std::max(1, type_->count()));
    show_ctrl();
}

void types_map_dlg::on_row_changed(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    keep_row(previous != nullptr ? fields_->indexOfTopLevelItem(previous) : -1);
    fill_row(current != nullptr ? fields_->indexOfTopLevelItem(current) : -1);
}

void types_map_dlg::show_ctrl() {
    const type_inputs inputs =
        inputs_for_type(shell_.converter().get_type_params(ws(type_->currentText())));
    const auto set = [](QWidget* widget, int id, bool b_show) {
        if (widget->isVisibleTo(widget->parentWidget()) != b_show) {
            TK_LOG(1, "types_map_dlg::show_ctrl(%d=%d)", id, b_show ? 1 : 0);
        }
        widget->setVisible(b_show);
    };
    set(length_label_, 1006, inputs.b_length);
    set(length_, 1006, inputs.b_length);
    set(precision_label_, 1007, inputs.b_precision_scale);
    set(precision_, 1007, inputs.b_precision_scale);
    set(scale_label_, 1008, inputs.b_precision_scale);
    set(scale_, 1008, inputs.b_precision_scale);
}

void types_map_dlg::on_ok() {
    keep_row(row_);
    for (int i = 0; i < fields_->topLevelItemCount(); ++i) {
        mapping_.rows[static_cast<size_t>(i)].b_converted =
            fields_->topLevelItem(i)->checkState(0) == Qt::Checked;
    }
    mapping_.new_name = ws(table_name_->text());
    if (const char* problem = check_table_mapping(mapping_)) {
        shell_.show_message(problem);
        return;
    }
    accept();
}

// ---------------------------------------------------------------------------------------------
// Error dialogs

dlg_error_continue::dlg_error_continue(const QString& caption, const QString& text, QWidget* parent)
    : QDialog(parent) {
    TK_LOG(1, "dlg_error_continue::ctor");
    TK_LOG(1, "dlg_error_continue::on_init");
    setObjectName("dlg_error_continue");
    setWindowTitle(caption);
    auto* message = new QLabel(text, this);
    message->setObjectName("1320");
    message->setWordWrap(true);
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    message->setMinimumWidth(360);
    dont_show_ = new QCheckBox("&Do not show this dialog box again", this);
    dont_show_->setObjectName("1222");
    auto* go_on = new QPushButton("Continue", this);
    go_on->setObjectName("continue");
    go_on->setDefault(true);
    auto* stop = new QPushButton("Abort", this);
    stop->setObjectName("abort");
    connect(go_on, &QPushButton::clicked, this, [this] { done(continue_id); });
    connect(stop, &QPushButton::clicked, this, [this] { done(abort_id); });

    auto* top = new QHBoxLayout;
    top->addWidget(error_icon(this));
    top->addWidget(message, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(dont_show_);
    buttons->addStretch();
    buttons->addWidget(go_on);
    buttons->addWidget(stop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

bool dlg_error_continue::dont_show() const {
    return dont_show_->isChecked();
}

dlg_error_ex::dlg_error_ex(const QString& caption, const QString& text, QWidget* parent)
    : QDialog(parent), text_(text) {
    TK_LOG(1, "dlg_error_ex::on_init");
    setObjectName("dlg_error_ex");
    setWindowTitle(caption);
    auto* message = new QLabel(text, this);
    message->setObjectName("1320");
    message->setWordWrap(true);
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    message->setMinimumWidth(360);
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("1");
    ok->setDefault(true);
    auto* copy = new QPushButton("Copy to clipboard", this);
    copy->setObjectName("1108");
    auto* send = new QPushButton("Send bug", this);
    send->setObjectName("1112");
    connect(ok, &QPushButton::clicked, this, [this] { done(ok_id); });
    connect(copy, &QPushButton::clicked, this, [this] {
        QGuiApplication::clipboard()->setText(text_);
        done(copy_id);
    });
    connect(send, &QPushButton::clicked, this, [this] {
        tk_send_bug("Bug report on Brixel: " + text_.left(60).toStdString(), tk_log::get().path());
        done(send_id);
    });
    auto* top = new QHBoxLayout;
    top->addWidget(error_icon(this));
    top->addWidget(message, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(copy);
    buttons->addWidget(send);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

// ---------------------------------------------------------------------------------------------
// Connecting animation

dlg_animation::dlg_animation(QWidget* parent) : QDialog(parent) {
    setObjectName("dlg_animation");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* text = new QLabel("Connecting to Oracle server.\nPlease wait...", this);
    icon_ = new QLabel(this);
    icon_->setObjectName("1301");
    icon_->setPixmap(gui_art::animation_frame(0));
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(icon_);
    layout->addWidget(text, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    timer_.setInterval(500);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % gui_art::animation_frames;
        icon_->setPixmap(gui_art::animation_frame(frame_));
    });
    timer_.start();
}

bool dlg_animation::run(QWidget* parent, const std::function<bool()>& work) {
    dlg_animation dialog(parent);
    bool b_done = false;
    bool b_answer = false;
    std::thread worker([&] {
        b_answer = work();
        // The dialog is closed on its own thread, once the work is over.
        QMetaObject::invokeMethod(&dialog, [&] {
            b_done = true;
            dialog.timer_.stop();
            dialog.accept();
        });
    });
    // A worker that ends before the dialog runs has queued its close already.
    // Only that close ends it (reject() is ignored), so the worker has returned by then.
    dialog.exec();
    worker.join();
    return b_done && b_answer;
}

// ---------------------------------------------------------------------------------------------
// Help, report, file dialogs

help_window::help_window(QWidget* parent) : QDialog(parent) {
    setObjectName("help_window");
    setWindowTitle("Brixel Help");
    browser_ = new QTextBrowser(this);
    browser_->setObjectName("help_browser");
    browser_->setOpenExternalLinks(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_);
    layout->addWidget(buttons);
    resize(640, 520);
}

void help_window::show_topic(wizard_shell& shell, int topic) {
    const std::string page = find_help_page(topic);
    if (page.empty()) {
        shell.show_error("Help file does not exist. Reinstall the program.");
        return;
    }
    auto* window = shell.findChild<help_window*>("help_window", Qt::FindDirectChildrenOnly);
    if (window == nullptr) {
        window = new help_window(&shell);
        window->setWindowModality(Qt::NonModal);
    }
    window->browser_->setSource(QUrl::fromLocalFile(QString::fromStdString(page)));
    window->show();
    window->raise();
}

report_dlg::report_dlg(const QString& text, QWidget* parent) : QDialog(parent) {
    setObjectName("report_dlg");
    setWindowTitle("Conversion report");
    auto* view = new QPlainTextEdit(text, this);
    view->setObjectName("report");
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view);
    layout->addWidget(buttons);
    resize(760, 420);
}

namespace {

QString profile_dialog(QWidget* parent, const QString& start, bool b_save) {
    QFileDialog dialog(parent, "Select Profile File", QFileInfo(start).absolutePath(),
                       profile_filter());
    dialog.setObjectName(b_save ? "save_profile_dialog" : "open_profile_dialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (b_save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix("brixel");
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (!start.isEmpty()) {
        dialog.selectFile(start);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().first();
}

}  // namespace

QString open_profile_file(QWidget* parent, const QString& start) {
    return profile_dialog(parent, start, false);
}

QString save_profile_file(QWidget* parent, const QString& start) {
    return profile_dialog(parent, start, true);
}
