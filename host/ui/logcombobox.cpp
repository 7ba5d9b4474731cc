#include "ui/logcombobox.h"

#include <QMetaObject>
#include <QPointer>

#include "runtime/rtlog.h"
#include "ui/qt_text.h"

namespace host::ui {

namespace {
// Older lines are dropped beyond this many; the log file keeps them all.
constexpr int kMaxLines = 5000;
}  // namespace

HLogComboBox::HLogComboBox(QWidget* parent, int visibleLines) : QComboBox(parent) {
    setMaxVisibleItems(visibleLines);
    setEditable(false);
    QPointer<HLogComboBox> self(this);
    host::SetLogListener([self](std::string_view line) {
        const QString text = FromCp1251(line);
        // Lines may come from another thread: they are added on the window's.
        QMetaObject::invokeMethod(
            self.data(),
            [self, text] {
                if (self) self->Append(text);
            },
            Qt::AutoConnection);
    });
}

HLogComboBox::~HLogComboBox() {
    host::SetLogListener(nullptr);
}

void HLogComboBox::Append(const QString& line) {
    if (count() >= kMaxLines) removeItem(0);
    addItem(line);
    setCurrentIndex(count() - 1);
}

}  // namespace host::ui
