#include "ui/qt_interaction.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QWidget>

#include "common/cp1251.h"
#include "ui/qt_text.h"

namespace host::ui {

namespace {
QWidget* Parent(void* owner) {
    return static_cast<QWidget*>(owner);
}

QString Text(const char* cp1251) {
    return FromCp1251(cp1251 ? cp1251 : "");
}

// An open chooser takes only an existing file; a save chooser asks before it
// overwrites one. Both hide the read-only choice and can be resized.
bool ChooseFile(void* owner, const FileChoice& choice, QFileDialog::AcceptMode mode,
                std::string& path) {
    QFileDialog dialog(Parent(owner), Text(choice.caption), Text(choice.startFolder),
                       DialogFilter(choice.filter));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setSizeGripEnabled(true);
    if (choice.defaultExt) dialog.setDefaultSuffix(Text(choice.defaultExt));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    path = ToCp1251(dialog.selectedFiles().constFirst());
    return true;
}
}  // namespace

QString DialogFilter(const char* hostFilter) {
    const QStringList parts =
        FromCp1251(hostFilter ? hostFilter : "").split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts[i] + QStringLiteral(" (") + patterns + QStringLiteral(")");
    }
    return filters.join(QStringLiteral(";;"));
}

void QtInteraction::ErrorMessage(void* owner, const char* text) {
    QMessageBox::critical(Parent(owner), QStringLiteral("Tripwatch"), FromCp1251(text ? text : ""));
}

bool QtInteraction::AskYesNo(void* owner, const char* text, bool) {
    return QMessageBox::question(Parent(owner), QStringLiteral("Tripwatch"),
                                 FromCp1251(text ? text : ""),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool QtInteraction::SelectDirectory(void* owner, const char* caption, std::string& folder, int) {
    const QString chosen = QFileDialog::getExistingDirectory(
        Parent(owner), FromCp1251(caption ? caption : ""), FromCp1251(folder));
    if (chosen.isEmpty()) return false;
    folder = ToCp1251(chosen);
    return true;
}

bool QtInteraction::OpenFileName(void* owner, const FileChoice& choice, std::string& path) {
    return ChooseFile(owner, choice, QFileDialog::AcceptOpen, path);
}

bool QtInteraction::SaveFileName(void* owner, const FileChoice& choice, std::string& path) {
    return ChooseFile(owner, choice, QFileDialog::AcceptSave, path);
}

}  // namespace host::ui
