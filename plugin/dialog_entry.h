// The entries of the plug-in's dialog library (libTripplugDialogs.so): the
// settings dialog and the contour editor, Qt forms that the module loads when
// a dialog is first asked for, so that a run loads no window toolkit. C
// functions found by name; their types are the module's.
#pragma once

class HConfigItem;
class QDialog;
struct TW_Contour;

extern "C" {
// A settings dialog in global or local mode with the report's name in its
// caption; owned by the caller (the host deletes it).
using TripplugCreateDialogProc = QDialog* (*)(bool global, const char* reportName);
// The job's keys into a dialog of TripplugCreateDialog, and back.
using TripplugDialogNodeProc = void (*)(QDialog* dialog, HConfigItem* settings);
// The contour editor over `owner` (a QWidget*, may be null); true when the user
// accepted, and only then is the contour changed.
using TripplugEditContourProc = bool (*)(TW_Contour* contour, void* owner);

__attribute__((visibility("default"))) QDialog* TripplugCreateDialog(bool global,
                                                                     const char* reportName);
__attribute__((visibility("default"))) void TripplugLoadDialog(QDialog* dialog,
                                                               HConfigItem* settings);
__attribute__((visibility("default"))) void TripplugSaveDialog(QDialog* dialog,
                                                               HConfigItem* settings);
__attribute__((visibility("default"))) bool TripplugEditContour(TW_Contour* contour, void* owner);
}
