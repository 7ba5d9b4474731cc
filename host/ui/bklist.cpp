#include "ui/bklist.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHeaderView>

#include "ui/qt_text.h"

namespace host::ui {

class HBkList::Model : public QAbstractTableModel {
  public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : rows; }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : int(titles.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        // The view draws selected rows in the selection colours whatever this says.
        if (role == Qt::ForegroundRole && dimmed && dimmed(index.row(), index.column()))
            return QColor(0x80, 0x80, 0x80);
        if (role != Qt::DisplayRole || !cellText) return {};
        std::string text;
        if (!cellText(index.row(), index.column(), text)) return {};
        return FromCp1251(text);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        if (section < 0 || section >= int(titles.size())) return {};
        return titles[std::size_t(section)];
    }
    void Reset(int newRows) {
        beginResetModel();
        rows = newRows;
        endResetModel();
    }
    void SetTitles(std::vector<QString> newTitles) {
        beginResetModel();
        titles = std::move(newTitles);
        endResetModel();
    }

    int rows = 0;
    std::vector<QString> titles;
    CellText cellText;
    std::function<bool(int, int)> dimmed;
};

HBkList::HBkList(QWidget* parent) : QTableView(parent), model_(new Model(this)) {
    setModel(model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(16);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setObjectName(QStringLiteral("header"));
}

HBkList::~HBkList() = default;

void HBkList::SetSections(const std::vector<std::pair<std::string, int>>& sections) {
    std::vector<QString> titles;
    for (const auto& s : sections)
        titles.push_back(FromCp1251(s.first));
    model_->SetTitles(std::move(titles));
    for (std::size_t i = 0; i < sections.size(); ++i)
        setColumnWidth(int(i), sections[i].second);
}

void HBkList::SetCellText(CellText cellText) {
    model_->cellText = std::move(cellText);
}

void HBkList::SetCellDimmed(std::function<bool(int row, int column)> dimmed) {
    model_->dimmed = std::move(dimmed);
}

void HBkList::SetRowCount(int rows) {
    model_->Reset(rows);
}

int HBkList::RowCount() const {
    return model_->rows;
}

int HBkList::SelectedRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() && selectionModel()->isRowSelected(current.row(), QModelIndex())
               ? current.row()
               : -1;
}

int HBkList::SectionWidth(int column) const {
    return columnWidth(column);
}

void HBkList::SetSectionWidth(int column, int width) {
    setColumnWidth(column, width);
}

int HBkList::SectionCount() const {
    return int(model_->titles.size());
}

}  // namespace host::ui
