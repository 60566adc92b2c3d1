// The library's helpers for list controls. A list control is any item view
// over a flat model (QTreeWidget, QListWidget, QTableWidget, ...); rows are
// the model's top-level rows, the first column holds the item's text and
// its item data (listItemDataRole).
#pragma once
#include "platform/winConstants.h"
#include <QIcon>
#include <string>

class QAbstractItemView;

// The role that holds a row's item data, in column 0.
inline constexpr int listItemDataRole = Qt::UserRole;

// The first row that is selected or current (the focused row); -1 when none.
int getFirstSelectedItem(const QAbstractItemView* list);
// The row under the mouse cursor; -1 when none.
int getItemUnderCursor(const QAbstractItemView* list);
// When the row exists, its first column's text becomes the text; otherwise a
// row is inserted at that index (at the end when the index lies beyond it)
// with the text and the image. Returns the row that holds the text, -1 when
// nothing was done (a negative row, no model).
int setOrInsertItem(QAbstractItemView* list, int row, const std::wstring& text, const QIcon& image = {});
// Deletes the rows from the first row to the end. A negative first row
// deletes nothing.
void deleteItemsFrom(QAbstractItemView* list, int firstRow);
// The first row whose item data equals the value; -1 when none.
int findItemByData(const QAbstractItemView* list, LPARAM value);
// Sets a row's item data; false when the row does not exist.
bool setItemData(QAbstractItemView* list, int row, LPARAM value);
