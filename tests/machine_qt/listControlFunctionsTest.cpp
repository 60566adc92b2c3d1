#include "machine/qt/listControlFunctions.h"
#include "platform/qt/processEventsUntil.h"

#include <QApplication>
#include <QCursor>
#include <QListWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct listKind_t {
    const char* name;
    std::function<std::unique_ptr<QAbstractItemView>()> make;
};

// The list controls the dialogs use; a table has its report columns.
const listKind_t kinds[] = {
    {"tree", [] { return std::make_unique<QTreeWidget>(); }},
    {"list", [] { return std::make_unique<QListWidget>(); }},
    {"table", [] { return std::make_unique<QTableWidget>(0, 3); }},
};

QString textOf(const QAbstractItemView& list, int row)
{
    return list.model()->index(row, 0).data().toString();
}

}  // namespace

TEST(ListControlWidget, AnEmptyListHasNoSelectionAndNoData)
{
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.name);
        auto list = kind.make();
        EXPECT_EQ(getFirstSelectedItem(list.get()), -1);
        EXPECT_EQ(findItemByData(list.get(), 0), -1);
        EXPECT_FALSE(setItemData(list.get(), 0, 1));
        deleteItemsFrom(list.get(), 0);
        EXPECT_EQ(list->model()->rowCount(), 0);
    }
    EXPECT_EQ(getFirstSelectedItem(nullptr), -1);
}

TEST(ListControlWidget, RowsAreSetOrInsertedFoundByDataAndDeletedToTheEnd)
{
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.name);
        auto list = kind.make();
        QAbstractItemModel& model = *list->model();

        // Insert, insert beyond the end (appends), set an existing row.
        EXPECT_EQ(setOrInsertItem(list.get(), 0, L"first"), 0);
        EXPECT_EQ(setOrInsertItem(list.get(), 5, L"second"), 1);
        EXPECT_EQ(setOrInsertItem(list.get(), 2, L"third"), 2);
        EXPECT_EQ(setOrInsertItem(list.get(), 0, L"FIRST"), 0);
        EXPECT_EQ(setOrInsertItem(list.get(), -1, L"none"), -1);
        ASSERT_EQ(model.rowCount(), 3);
        EXPECT_EQ(textOf(*list, 0), QStringLiteral("FIRST"));
        EXPECT_EQ(textOf(*list, 1), QStringLiteral("second"));
        EXPECT_EQ(textOf(*list, 2), QStringLiteral("third"));

        // Item data, including a value that needs all 64 bits of LPARAM.
        const LPARAM big = static_cast<LPARAM>(0x123456789ABCll);
        EXPECT_TRUE(setItemData(list.get(), 0, 7));
        EXPECT_TRUE(setItemData(list.get(), 1, big));
        EXPECT_TRUE(setItemData(list.get(), 2, 7));
        EXPECT_FALSE(setItemData(list.get(), 3, 7));
        EXPECT_EQ(findItemByData(list.get(), 7), 0);
        EXPECT_EQ(findItemByData(list.get(), big), 1);
        EXPECT_EQ(findItemByData(list.get(), 0), -1);  // rows without data do not match 0 either
        EXPECT_EQ(findItemByData(list.get(), big & 0xFFFFFFFF), -1);

        // Deleting from a row: beyond the end and negative delete nothing.
        deleteItemsFrom(list.get(), 3);
        deleteItemsFrom(list.get(), -1);
        EXPECT_EQ(model.rowCount(), 3);
        deleteItemsFrom(list.get(), 1);
        ASSERT_EQ(model.rowCount(), 1);
        EXPECT_EQ(textOf(*list, 0), QStringLiteral("FIRST"));
        EXPECT_EQ(findItemByData(list.get(), big), -1);
        deleteItemsFrom(list.get(), 0);
        EXPECT_EQ(model.rowCount(), 0);
    }
}

TEST(ListControlWidget, TheFirstSelectedOrFocusedRowCounts)
{
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.name);
        auto list = kind.make();
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        for (int row = 0; row < 5; ++row)
            setOrInsertItem(list.get(), row, L"row");
        QItemSelectionModel& selection = *list->selectionModel();
        QAbstractItemModel& model = *list->model();
        EXPECT_EQ(getFirstSelectedItem(list.get()), -1);

        selection.select(model.index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        selection.select(model.index(4, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        EXPECT_EQ(getFirstSelectedItem(list.get()), 3);
        // The focused (current) row without selection counts too.
        selection.setCurrentIndex(model.index(1, 0), QItemSelectionModel::NoUpdate);
        EXPECT_EQ(getFirstSelectedItem(list.get()), 1);
        selection.clear();
        EXPECT_EQ(getFirstSelectedItem(list.get()), -1);
    }
}

TEST(ListControlWidget, TheRowUnderTheCursorIsHit)
{
    QTreeWidget tree;
    tree.setColumnCount(2);
    for (int row = 0; row < 4; ++row)
        setOrInsertItem(&tree, row, L"row");
    tree.resize(300, 300);
    tree.show();
    ASSERT_TRUE(processEventsUntil([&] { return tree.isVisible(); }));
    const QRect third = tree.visualRect(tree.model()->index(2, 1));
    QCursor::setPos(tree.viewport()->mapToGlobal(third.center()));
    if (QCursor::pos() != tree.viewport()->mapToGlobal(third.center()))
        GTEST_SKIP() << "this platform cannot move the cursor";
    EXPECT_EQ(getItemUnderCursor(&tree), 2);
    QCursor::setPos(tree.viewport()->mapToGlobal(QPoint(5, 290)));
    EXPECT_EQ(getItemUnderCursor(&tree), -1);
}
