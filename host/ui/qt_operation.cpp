#include "ui/qt_operation.h"

#include <QCoreApplication>
#include <QProgressDialog>

#include "ui/qt_text.h"

namespace host::ui {

QtOperation::QtOperation(QWidget* parent) : parent_(parent) {}

QtOperation::~QtOperation() = default;

void QtOperation::IncShow() {
    shown_ = true;
    HOperation::IncShow();
}

void QtOperation::Show() {
    if (!shown_) return;
    if (text_.empty()) {
        // A cleared text ends the display of this step.
        if (dialog_) dialog_->hide();
        shown_ = false;
        return;
    }
    if (!dialog_) {
        dialog_ = std::make_unique<QProgressDialog>(parent_);
        dialog_->setWindowTitle(QStringLiteral("Tripview"));
        dialog_->setCancelButton(nullptr);
        dialog_->setMinimumDuration(0);
        dialog_->setRange(0, 100);
        dialog_->setWindowModality(Qt::WindowModal);
    }
    dialog_->setLabelText(FromCp1251(text_));
    dialog_->setValue(progress_);
    dialog_->show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace host::ui
