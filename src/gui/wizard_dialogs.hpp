#pragma once
// The wizard's dialogs: the query editor, the type-mapping editor of one table, the continue and
// internal-error dialogs of the error handler, the connecting animation, the help window, the
// full report and the profile file dialogs. Widgets carry the control ids as object names.

#include <QDialog>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>

#include "app/table_mapping_editor.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;
class wizard_shell;

// "Add Query": a table name and the SELECT that fills it.
class set_query_dlg : public QDialog {
    Q_OBJECT
  public:
    set_query_dlg(wizard_shell& shell, const QString& name, const QString& query);
    QString name() const;
    QString query() const;

  private:
    void on_ok();
    void on_test();

    wizard_shell& shell_;
    QLineEdit* name_;
    QPlainTextEdit* query_;
};

// "Edit Table": the destination name of one table and, per column, whether it is converted, its
// name, type, size and default.
class types_map_dlg : public QDialog {
    Q_OBJECT
  public:
    types_map_dlg(wizard_shell& shell, t_table_mapping mapping);
    const t_table_mapping& mapping() const { return mapping_; }

  private:
    void on_ok();
    void on_row_changed(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void show_ctrl();
    void fill_row(int row);
    void keep_row(int row);

    wizard_shell& shell_;
    t_table_mapping mapping_;
    int row_ = -1;
    QTreeWidget* fields_;
    QLineEdit* table_name_;
    QLineEdit* field_name_;
    QComboBox* type_;
    QLineEdit* default_;
    QLabel* length_label_;
    QLineEdit* length_;
    QLabel* precision_label_;
    QLineEdit* precision_;
    QLabel* scale_label_;
    QLineEdit* scale_;
};

// A recoverable error: "Continue" or "Abort", and "Do not show this dialog box again".
class dlg_error_continue : public QDialog {
    Q_OBJECT
  public:
    static constexpr int abort_id = 1;
    static constexpr int continue_id = 2;
    dlg_error_continue(const QString& caption, const QString& text, QWidget* parent);
    bool dont_show() const;

  private:
    QCheckBox* dont_show_;
};

// An internal error: "OK", "Copy to clipboard" and "Send bug".
class dlg_error_ex : public QDialog {
    Q_OBJECT
  public:
    static constexpr int ok_id = 1;
    static constexpr int copy_id = 1108;
    static constexpr int send_id = 1112;
    dlg_error_ex(const QString& caption, const QString& text, QWidget* parent);

  private:
    QString text_;
};

// "Connecting to Oracle server." with the eight frames turning every 500 ms, while `work` runs on
// a worker thread; the dialog closes itself when the work is done. Answers the work's answer.
class dlg_animation : public QDialog {
    Q_OBJECT
  public:
    explicit dlg_animation(QWidget* parent);
    static bool run(QWidget* parent, const std::function<bool()>& work);
    // Escape and the window's close button do nothing: the work cannot be left behind.
    void reject() override {}

  private:
    QLabel* icon_;
    QTimer timer_;
    int frame_ = 0;
};

// The help set: one page per topic, in a window of its own.
class help_window : public QDialog {
    Q_OBJECT
  public:
    // Opens the topic's page, or shows "Help file does not exist. Reinstall the program." when
    // the help set is missing.
    static void show_topic(wizard_shell& shell, int topic);
    QTextBrowser* browser() const { return browser_; }

  private:
    explicit help_window(QWidget* parent);
    QTextBrowser* browser_;
};

// The whole run summary, as brixel-cli prints it.
class report_dlg : public QDialog {
    Q_OBJECT
  public:
    report_dlg(const QString& text, QWidget* parent);
};

// The profile file dialogs ("Select Profile File"): the chosen file, or empty when cancelled.
QString open_profile_file(QWidget* parent, const QString& start);
QString save_profile_file(QWidget* parent, const QString& start);
