// TConfigForm: the settings dialog of one report job: its name, the host
// configuration that contour names are checked against, the contour list, the
// configuration of the data request, where values and reports are saved, and
// printing; on a page of its own, the commands and maintenance windows that
// explain a line's operations; on another, where the run's alerts go (webhook,
// mail), checked when OK is pressed. LoadDialog and SaveDialog move the job's keys
// between the job node and the dialog; the dialog itself never touches the node.
#pragma once

#include <QDialog>

#include <memory>
#include <string>

#include "tw_contourarray.h"
#include "config/notifynode.h"
#include "tw_oprules.h"

class HConfigItem;
namespace tripplug {
class JobReader;
}
namespace Ui {
class TConfigForm;
}

class TConfigForm : public QDialog {
  public:
    // Global or local mode, with the report's name in the caption. Sets the
    // plug-in's dialog time to now.
    TConfigForm(bool global, const char* reportName);
    ~TConfigForm() override;

    Ui::TConfigForm* Form() const { return ui_.get(); }

    // The job's keys into the dialog and back. A missing key shows its default;
    // so does a wrong value (of another type or out of range), and an error box
    // names the first one in the contours, the first one among the other keys
    // and the first one in the commands and windows (whose lists are then empty).
    void LoadDialog(HConfigItem* node);
    void SaveDialog(HConfigItem* node);

    // Loads a host configuration file into the plug-in's database and makes its
    // state tables current; false (last error set) when either step fails.
    bool LoadHostConfig(const char* path);
    void RefreshView();

    // The handlers of the form. The contour buttons enabled for the row chosen
    // (also on a click in the list).
    void updateContourButtons();
    // The text of a cell of the contour list; false when the row holds no contour.
    bool contourCellText(int row, int column, std::string& text);
    // The date and time of the configuration enabled while "Заданная" is chosen.
    void enableConfigDate();
    void addContourClick();
    void editContourClick();
    void deleteContourClick();
    void moveContourUpClick();
    void moveContourDownClick();
    // "Загрузить": a host configuration file.
    void loadConfigurationClick();
    // The contour set from and to a ".ws" file.
    void importContoursClick();
    void exportContoursClick();
    // The "..." beside the folders and the template: the values folder is
    // chosen as a folder, the report folders by a file in them.
    void chooseValuesFolderClick();
    void chooseBinaryFolderClick();
    void chooseTextFolderClick();
    void chooseXlsFolderClick();
    void chooseXlsTemplateClick();
    // The lists of commands and maintenance windows: each entry edited in a
    // small form that refuses what may not stand; a row that no longer may
    // (its line left the contours, its variable the configuration) is gray.
    void updateRuleButtons();
    bool commandCellText(int row, int column, std::string& text);
    bool windowCellText(int row, int column, std::string& text);
    void addCommandClick();
    void editCommandClick();
    void deleteCommandClick();
    void addWindowClick();
    void editWindowClick();
    void deleteWindowClick();
    // OK: accepts the dialog when the alert channels may stand; else an error
    // box names the first wrong one and the dialog stays open on their page.
    void acceptClick();

    TW_ContourArray Contours;  // the dialog's own copy of the job's contour set
    TW_OperationRules Rules;   // and of its commands and maintenance windows
    std::string CfgFileName;   // the configuration loaded by "Загрузить" (cp1251)

  private:
    // The job keys below the contour set, into the controls.
    void LoadSettings(tripplug::JobReader& keys);
    // The alert channels as the fields of their page hold them.
    host::NotifySettings NotifyFields() const;
    void PickFolder(class QLineEdit* edit, const char* filter);
    std::unique_ptr<Ui::TConfigForm> ui_;
};
