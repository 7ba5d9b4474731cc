// The host's progress indicator as a small Qt window: shown by IncShow, it
// carries the text and the percentage, hides when the text is cleared, and
// keeps the program's windows painted while a long step runs on their thread.
#pragma once

#include <memory>

#include "runtime/operation.h"

class QProgressDialog;
class QWidget;

namespace host::ui {

class QtOperation final : public HOperation {
  public:
    // `parent` (not owned) is the window the indicator stays over.
    explicit QtOperation(QWidget* parent);
    ~QtOperation() override;
    void IncShow() override;

  protected:
    void Show() override;

  private:
    QWidget* parent_;
    std::unique_ptr<QProgressDialog> dialog_;
    bool shown_ = false;
};

}  // namespace host::ui
