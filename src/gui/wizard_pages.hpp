#pragma once
// The seven pages. Each loads the converter's settings into its widgets when it is entered
// (initializePage) and stores them back on Next (validatePage, which refuses by answering false)
// and on Back (cleanupPage); a page holds nothing of its own beyond its widgets.

#include <QTimer>
#include <QWizardPage>
#include <memory>
#include <optional>

#include "app/progress_estimate.hpp"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QThread;
class brixel_converter;
class tk_thread;
class wizard_shell;

class wizard_page : public QWizardPage {
    Q_OBJECT
  public:
    // help_topic: the page's help topic; -1 for none.
    wizard_page(wizard_shell& shell, int help_topic);
    int help_topic() const { return help_topic_; }

  protected:
    wizard_shell& shell() const { return shell_; }
    brixel_converter& converter() const;

  private:
    wizard_shell& shell_;
    int help_topic_;
};

class welcome_page : public wizard_page {
    Q_OBJECT
  public:
    explicit welcome_page(wizard_shell& shell);

  private:
    void on_load();
};

class oracle_settings_page : public wizard_page {
    Q_OBJECT
  public:
    explicit oracle_settings_page(wizard_shell& shell);
    void initializePage() override;
    bool validatePage() override;
    void cleanupPage() override;

  private:
    void store_settings();

    QLineEdit* host_;
    QLineEdit* dest_;
    QLineEdit* port_;
    QLineEdit* user_;
    QLineEdit* password_;
};

class sel_file_page : public wizard_page {
    Q_OBJECT
  public:
    explicit sel_file_page(wizard_shell& shell);
    void initializePage() override;
    bool validatePage() override;
    void cleanupPage() override;

  private:
    void store();
    void on_browse_src();

    QLineEdit* src_;
    QButtonGroup* mode_;
    QCheckBox* bool_dbf_;
    QCheckBox* tab_def_;
    QCheckBox* skip_del_;
    QCheckBox* uppercase_;
    QCheckBox* exact_values_;
    QComboBox* load_;
    QSpinBox* batch_rows_;
    QSpinBox* commit_rows_;
};

class encoding_page : public wizard_page {
    Q_OBJECT
  public:
    explicit encoding_page(wizard_shell& shell);
    void initializePage() override;
    bool validatePage() override;
    void cleanupPage() override;

  private:
    void store();
    QComboBox* encoding_;
};

class brixel_sel_tables_page : public wizard_page {
    Q_OBJECT
  public:
    explicit brixel_sel_tables_page(wizard_shell& shell);
    void initializePage() override;
    bool validatePage() override;
    void cleanupPage() override;

  private:
    void store();
    void move(QListWidget* from, QListWidget* to, bool b_all);
    void on_add_query();
    void on_edit_query();
    void edit_table(const QString& name);
    bool is_query(const QString& name) const;

    QListWidget* available_;
    QListWidget* selected_;
};

class progress_page : public wizard_page {
    Q_OBJECT
  public:
    explicit progress_page(wizard_shell& shell);
    ~progress_page() override;
    void initializePage() override;
    bool isComplete() const override;
    // One tick of the 200 ms timer: the percent, the details and, once the run has finished,
    // the move to the final page.
    void on_timer();

  private:
    void on_stop();

    QLabel* status_;
    QProgressBar* bar_;
    QLabel* position_;
    QLabel* records_;
    QLabel* rate_;
    QLabel* elapsed_;
    QLabel* remaining_;
    QPushButton* stop_;
    QTimer timer_;
    std::unique_ptr<tk_thread> worker_;
    std::optional<progress_estimate> estimate_;
    bool b_finished_ = false;
};

class gui_finish_page : public wizard_page {
    Q_OBJECT
  public:
    explicit gui_finish_page(wizard_shell& shell);
    ~gui_finish_page() override;
    void initializePage() override;

  private:
    void on_store();
    void on_report();
    void on_verify();
    void on_verified();
    void end_verify();

    QLabel* message_;
    QPlainTextEdit* errors_;
    QPushButton* verify_;
    // The comparison runs here, away from the window; its report is shown when it ends.
    QThread* verifier_ = nullptr;
    std::string verify_report_;
};
