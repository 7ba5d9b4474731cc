// TContourEditForm: the contour editor dialog. It offers the variable names of
// the plug-in's host configuration and, for a chosen name, its states; on
// "Принять" it checks the entries and writes them into the contour.
#pragma once

#include <QDialog>

#include <memory>

#include "contour_entries.h"

struct TW_Contour;
class QComboBox;
namespace Ui {
class TContourEditForm;
}

class TContourEditForm : public QDialog {
  public:
    // Fills the fields from `contour` (not owned; changed only by an accepted
    // "Принять", and then only in the fields the user changed).
    TContourEditForm(QWidget* owner, TW_Contour* contour);
    ~TContourEditForm() override;

    Ui::TContourEditForm* Form() const { return ui_.get(); }

    // "Принять": the entries checked and written into the contour.
    void acceptContourClick();
    // A name chosen from a line's list refills that line's states.
    void fillSensorStates();
    void fillRelayStates();
    void fillApparatusStates();
    // The variable names of the plug-in's configuration, sorted by text.
    void FillVariableList(QComboBox* list);
    // The states of the named variable (or the reason why there are none).
    void FillStateList(const QString& name, QComboBox* list);

    TW_Contour* EditedContour;

  private:
    // What the fields hold now.
    TW_ContourEntries Entries() const;

    std::unique_ptr<Ui::TContourEditForm> ui_;
    TW_ContourEntries shown_;  // what the fields held when the dialog opened
};

// Edits `contour` in the editor over `owner` (a QWidget*, may be null); true
// when the user accepted, and only then is the contour changed. What
// TW_Contour::Edit shows, through the dialog library.
bool TW_EditContour(TW_Contour& contour, void* owner);
