#include "stats_file.h"

#include <QFile>
#include <QPageSize>
#include <QPdfWriter>

#include "common/lasterror.h"
#include "common/osfile.h"
#include "ui/qt_text.h"

namespace {

QString CannotWrite(const QString& path, const QString& reason) {
    return QString::fromUtf8("Файл не записан: ") + path + QStringLiteral(": ") + reason;
}

QString LastError() {
    return host::ui::FromCp1251(GetIOErrorS_GUI(-2));
}

}  // namespace

bool TW_WriteWholeFile(const QString& path, const std::function<bool(QIODevice&)>& write,
                       QString& error) {
    const std::string target = path.toStdString();
    host::PendingFile pending(target);
    if (!pending.ok()) {
        error = CannotWrite(path, LastError());
        return false;
    }
    QFile file(QString::fromStdString(pending.path()));
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && write(file) && file.flush();
    file.close();
    ok = ok && file.error() == QFileDevice::NoError;
    if (!ok) {
        error = CannotWrite(path, file.error() == QFileDevice::NoError
                                      ? QString::fromUtf8("данные не созданы")
                                      : file.errorString());
        return false;
    }
    if (!pending.Replace(target)) {
        error = CannotWrite(path, LastError());
        return false;
    }
    return true;
}

bool TW_WritePdf(const QString& path, int dpi, const std::function<bool(QPdfWriter&)>& paint,
                 QString& error) {
    return TW_WriteWholeFile(
        path,
        [&](QIODevice& file) {
            QPdfWriter pdf(&file);
            pdf.setPageSize(QPageSize(QPageSize::A4));
            pdf.setPageOrientation(QPageLayout::Landscape);
            pdf.setResolution(dpi);
            return paint(pdf);
        },
        error);
}
