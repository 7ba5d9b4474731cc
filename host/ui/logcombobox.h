// HLogComboBox: shows the host's log in a drop-down list (the newest line
// selected); the log file itself is written by the runtime. One log combo box
// at a time receives the lines.
#pragma once

#include <QComboBox>

namespace host::ui {

class HLogComboBox : public QComboBox {
  public:
    // `visibleLines` is the height of the drop-down list in lines.
    explicit HLogComboBox(QWidget* parent = nullptr, int visibleLines = 20);
    ~HLogComboBox() override;

  private:
    void Append(const QString& line);
};

}  // namespace host::ui
