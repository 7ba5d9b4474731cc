// TCommandEditForm and TMaintenanceEditForm: the small editors of one command
// and one maintenance window of the settings dialog. They offer the lines of
// the job's contours and the names and states of the plug-in's host
// configuration; on "Принять" they check the entries and write them into the
// rule, and refuse an entry that may not stand with a message box.
#pragma once

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

#include "rule_entries.h"

namespace Ui {
class TCommandEditForm;
class TMaintenanceEditForm;
}  // namespace Ui

class TCommandEditForm : public QDialog {
  public:
    // Fills the fields from `command` (not owned; changed only by an accepted
    // "Принять"); `lines` are the relay and apparatus names it may name.
    TCommandEditForm(QWidget* owner, TW_Command* command, std::vector<std::string> lines);
    ~TCommandEditForm() override;

    Ui::TCommandEditForm* Form() const { return ui_.get(); }

    // "Принять": the entries checked and written into the command.
    void acceptCommandClick();
    // A variable chosen from the list refills the states.
    void fillCommandStates();

  private:
    std::unique_ptr<Ui::TCommandEditForm> ui_;
    TW_Command* command_;
    std::vector<std::string> lines_;
};

class TMaintenanceEditForm : public QDialog {
  public:
    // As TCommandEditForm, for a window; "*" is offered beside the lines.
    TMaintenanceEditForm(QWidget* owner, TW_MaintenanceWindow* window,
                         std::vector<std::string> lines);
    ~TMaintenanceEditForm() override;

    Ui::TMaintenanceEditForm* Form() const { return ui_.get(); }

    // "Принять": the entries checked and written into the window.
    void acceptWindowClick();

  private:
    std::unique_ptr<Ui::TMaintenanceEditForm> ui_;
    TW_MaintenanceWindow* window_;
    std::vector<std::string> lines_;
};
