// The Qt application object on demand: report previews may be asked for by a
// program that has none (the host's command-line shell).
#pragma once

namespace host::ui {

// True when windows can be shown: a GUI platform other than "offscreen" or
// "minimal" (without an application yet: DISPLAY or WAYLAND_DISPLAY is set and
// QT_QPA_PLATFORM does not ask for a headless platform).
bool HasDisplay();

// Makes sure a QGuiApplication exists, creating a QApplication (offscreen when
// there is no display) that lives until the process ends. False (last error
// set) when the existing application object cannot paint (a QCoreApplication).
bool EnsureGuiApplication();

// True when the application object can show widgets (a QApplication).
bool HasWidgets();

}  // namespace host::ui
