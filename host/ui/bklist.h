// HBkList: the host's virtual list. It holds no rows of its own: it has a row
// count, and asks its owner for the text of each visible cell (cp1251). The
// columns are the sections of its header, whose widths the owner may read and
// set. Row lines, column lines and a selected row are shown.
#pragma once

#include <QTableView>

#include <functional>
#include <string>
#include <vector>

class QAbstractTableModel;

namespace host::ui {

class HBkList : public QTableView {
  public:
    // The text of a cell; false when the row has nothing to show.
    using CellText = std::function<bool(int row, int column, std::string& text)>;

    explicit HBkList(QWidget* parent = nullptr);
    ~HBkList() override;

    // The header sections: titles (cp1251) and initial widths.
    void SetSections(const std::vector<std::pair<std::string, int>>& sections);
    void SetCellText(CellText cellText);
    // Cells for which this answers true are drawn in gray (0x808080), except in
    // the selected row, which keeps the selection colours.
    void SetCellDimmed(std::function<bool(int row, int column)> dimmed);
    // Sets the number of rows and repaints every cell.
    void SetRowCount(int rows);
    int RowCount() const;
    // The selected row, or -1.
    int SelectedRow() const;
    int SectionWidth(int column) const;
    void SetSectionWidth(int column, int width);
    int SectionCount() const;

  private:
    class Model;
    Model* model_;
};

}  // namespace host::ui
