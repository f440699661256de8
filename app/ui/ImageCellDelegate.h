#pragma once

#include <QStyledItemDelegate>

namespace m2 {

// Draws a table or outline cell with the program's picture whose name the model answers
// under `imageRole`, before the cell's text; a cell without a name draws its text only.
class ImageCellDelegate final : public QStyledItemDelegate {
  public:
    ImageCellDelegate(int imageRole, QObject* parent);

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

  private:
    int imageRole_;
};

}  // namespace m2
