#pragma once
// The rows a list shows, in display order, and the row showing a given text.

#include <QAbstractItemModel>
#include <QString>
#include <vector>

namespace talvane::test {

inline std::vector<QModelIndex> RowsOf(const QAbstractItemModel* model) {
    std::vector<QModelIndex> rows;
    for (int row = 0; row < model->rowCount(); ++row) rows.push_back(model->index(row, 0));
    return rows;
}

// The first row showing `text`; invalid when none does.
inline QModelIndex RowWithText(const QAbstractItemModel* model, const QString& text) {
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->index(row, 0).data().toString() == text) return model->index(row, 0);
    return {};
}

}  // namespace talvane::test
