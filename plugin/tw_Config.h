// TConfigForm: the settings dialog of one report job: its name, the host
// configuration that contour names are checked against, the contour list, the
// configuration of the data request, where values and reports are saved, and
// printing. LoadDialog and SaveDialog move the job's keys between the job node
// and the dialog; the dialog itself never touches the node.
#pragma once

#include <QDialog>

#include <memory>
#include <string>

#include "tw_contourarray.h"

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
    // names the first one in the contours and the first one among the other keys.
    void LoadDialog(HConfigItem* node);
    void SaveDialog(HConfigItem* node);

    // Loads a host configuration file into the plug-in's database and makes its
    // state tables current; false (last error set) when either step fails.
    bool LoadHostConfig(const char* path);
    void RefreshView();
    void listClick();
    // The text of a cell of the contour list; false when the row holds no contour.
    bool listDrawItemSection(int row, int column, std::string& text);
    void idDateCheck();
    void btnAddClick();
    void btnEditClick();
    void btnDelClick();
    void btnUpClick();
    void btnDownClick();
    void idLoadCFG();
    void btnLoadClick();
    void btnSaveClick();
    // The values folder, chosen as a folder.
    void SpeedButton1Click();
    void btnRepDirClick();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();

    TW_ContourArray Contours;  // the dialog's own copy of the job's contour set
    std::string CfgFileName;   // the configuration loaded by "Загрузить" (cp1251)

  private:
    // The job keys below the contour set, into the controls.
    void LoadSettings(tripplug::JobReader& keys);
    void PickFolder(class QLineEdit* edit, const char* filter);
    std::unique_ptr<Ui::TConfigForm> ui_;
};
