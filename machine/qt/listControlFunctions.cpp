#include "machine/qt/listControlFunctions.h"

#include <QAbstractItemView>
#include <QCursor>
#include <QItemSelectionModel>

int getFirstSelectedItem(const QAbstractItemView* list)
{
    const QAbstractItemModel* model = list == nullptr ? nullptr : list->model();
    if (model == nullptr)
        return -1;
    const QItemSelectionModel* selection = list->selectionModel();
    const QModelIndex current = list->currentIndex();
    const int focused = current.isValid() && !current.parent().isValid() ? current.row() : -1;
    const int rows = model->rowCount();
    for (int row = 0; row < rows; ++row) {
        if (row == focused)
            return row;
        if (selection != nullptr && selection->rowIntersectsSelection(row, QModelIndex()))
            return row;
    }
    return -1;
}

int getItemUnderCursor(const QAbstractItemView* list)
{
    if (list == nullptr || list->model() == nullptr)
        return -1;
    const QModelIndex index = list->indexAt(list->viewport()->mapFromGlobal(QCursor::pos()));
    if (!index.isValid())
        return -1;
    // A hit on a child row counts as its top-level row.
    QModelIndex top = index;
    while (top.parent().isValid())
        top = top.parent();
    return top.row();
}

int setOrInsertItem(QAbstractItemView* list, int row, const std::wstring& text, const QIcon& image)
{
    QAbstractItemModel* model = list == nullptr ? nullptr : list->model();
    if (model == nullptr || row < 0)
        return -1;
    const QString value = QString::fromStdWString(text);
    const int rows = model->rowCount();
    if (row < rows)
        return model->setData(model->index(row, 0), value) ? row : -1;
    if (!model->insertRow(rows))
        return -1;
    const QModelIndex cell = model->index(rows, 0);
    model->setData(cell, value);
    if (!image.isNull())
        model->setData(cell, image, Qt::DecorationRole);
    return rows;
}

void deleteItemsFrom(QAbstractItemView* list, int firstRow)
{
    QAbstractItemModel* model = list == nullptr ? nullptr : list->model();
    if (model == nullptr || firstRow < 0)
        return;
    const int rows = model->rowCount();
    if (firstRow < rows)
        model->removeRows(firstRow, rows - firstRow);
}

int findItemByData(const QAbstractItemView* list, LPARAM value)
{
    const QAbstractItemModel* model = list == nullptr ? nullptr : list->model();
    if (model == nullptr)
        return -1;
    const int rows = model->rowCount();
    for (int row = 0; row < rows; ++row) {
        const QVariant data = model->index(row, 0).data(listItemDataRole);
        if (data.isValid() && data.toLongLong() == static_cast<qlonglong>(value))
            return row;
    }
    return -1;
}

bool setItemData(QAbstractItemView* list, int row, LPARAM value)
{
    QAbstractItemModel* model = list == nullptr ? nullptr : list->model();
    if (model == nullptr || row < 0 || row >= model->rowCount())
        return false;
    return model->setData(model->index(row, 0), QVariant::fromValue(static_cast<qlonglong>(value)),
                          listItemDataRole);
}
