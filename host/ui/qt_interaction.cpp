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
}  // namespace

QString DialogFilter(const char* hostFilter) {
    const QStringList parts =
        FromCp1251(hostFilter ? hostFilter : "").split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + QStringLiteral(" (") + parts[i + 1] + QStringLiteral(")");
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

bool QtInteraction::OpenFileName(void* owner, const char* startFolder, const char* filter,
                                 std::string& path) {
    const QString chosen = QFileDialog::getOpenFileName(
        Parent(owner), QString(), FromCp1251(startFolder ? startFolder : ""), DialogFilter(filter));
    if (chosen.isEmpty()) return false;
    path = ToCp1251(chosen);
    return true;
}

bool QtInteraction::SaveFileName(void* owner, const char* startFolder, const char* filter,
                                 std::string& path) {
    const QString chosen = QFileDialog::getSaveFileName(
        Parent(owner), QString(), FromCp1251(startFolder ? startFolder : ""), DialogFilter(filter));
    if (chosen.isEmpty()) return false;
    path = ToCp1251(chosen);
    return true;
}

}  // namespace host::ui
