// The data-aware controls on real address-book tables: typing edits the
// current row, the controls follow the cursor, the lookup combo writes keys,
// and the grid keeps cursor, marks and widths in step with the dataset.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "db/connection.h"
#include "db/datasource.h"
#include "db/sqldataset.h"
#include "platform/profilefile.h"
#include "support/testdatabases.h"
#include "ui/dbcontrols/dbcheckbox.h"
#include "ui/dbcontrols/dbedit.h"
#include "ui/dbcontrols/dbgrid.h"
#include "ui/dbcontrols/dblookupcombo.h"
#include "ui/dbcontrols/dbmemo.h"

namespace {

class DbControlsTest : public ::testing::Test {
protected:
    TestDatabases files;
    TNConnection book;
    TNSqlTable carriers;
    TNSqlTable contacts;
    TNDataSource source{nullptr, &contacts};

    void SetUp() override
    {
        book.SetDatabasePath(files.AddressBookPath());
        book.ExecSQL(
            QStringLiteral("insert into Carriers (ID, Name, TypeNo) values (7, 'Pager Co', 1), (8, 'Mail', 5)"));
        book.ExecSQL(
            QStringLiteral("insert into Contacts (Name, CarrierID, Prune, Data) values ('Carl', 8, 0, 'x'), "
                           "('Anna', 7, 1, 'first\nsecond'), ('Bert', 7, 0, '')"));
        for (TNSqlTable* t : {&carriers, &contacts}) {
            t->SetConnection(&book);
            t->SetIndexFieldNames(QStringLiteral("Name"));
        }
        carriers.SetTableName(QStringLiteral("Carriers"));
        contacts.SetTableName(QStringLiteral("Contacts"));
        contacts.Open();
    }
    QVariant Stored(const QString& sql) { return book.QueryValue(sql); }
    void Bind(TNDataAwareControl& control, const char* field)
    {
        control.SetDataSource(&source);
        control.SetDataField(QString::fromLatin1(field));
    }
};

TEST_F(DbControlsTest, TypingPutsTheRowIntoEditStateAndControlsFollowTheCursor)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    TNDBEdit name;
    TNDBEdit id;
    TNDBMemo data;
    TNDBCheckBox prune;
    for (QWidget* control : {static_cast<QWidget*>(&name), static_cast<QWidget*>(&data), static_cast<QWidget*>(&prune)})
        layout->addWidget(control);
    Bind(name, "Name");
    Bind(id, "ID");
    Bind(data, "Data");
    Bind(prune, "Prune");
    QSignalSpy refused(&id.Link(), &TNFieldDataLink::WriteRefused);
    EXPECT_FALSE(id.Link().WriteValue(5));
    EXPECT_EQ(refused.count(), 1);

    EXPECT_EQ(name.text(), "Anna");
    EXPECT_EQ(name.maxLength(), 50);
    EXPECT_TRUE(id.isReadOnly());
    EXPECT_EQ(data.toPlainText(), "first\nsecond");
    EXPECT_TRUE(prune.isChecked());
    contacts.Next();
    EXPECT_EQ(name.text(), "Bert");
    EXPECT_FALSE(prune.isChecked());

    name.setFocus();
    name.end(false);
    QTest::keyClicks(&name, QStringLiteral("ie"));
    EXPECT_EQ(contacts.State(), TDataSetState::dsEdit);
    EXPECT_EQ(name.text(), "Bertie");
    EXPECT_EQ(contacts.FieldByName(QStringLiteral("Name"))->AsString(), "Bertie");
    prune.click();
    data.setPlainText(QStringLiteral("note"));
    // Tab and Shift+Tab leave the memo as they leave an edit; no tab is typed.
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    data.setFocus();
    QTest::keyClick(&data, Qt::Key_Tab);
    EXPECT_TRUE(prune.hasFocus());
    data.setFocus();
    QTest::keyClick(&data, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(name.hasFocus());
    EXPECT_EQ(data.toPlainText(), QStringLiteral("note"));
    contacts.Post();
    EXPECT_EQ(Stored(QStringLiteral("select Name || Prune || Data from Contacts where Name like 'Bert%'")).toString(),
              QVariant(QStringLiteral("Bertie1note")).toString());

    // A cancelled edit shows the row's value again.
    QTest::keyClicks(&name, QStringLiteral("X"));
    EXPECT_EQ(name.text(), "BertieX");
    contacts.Cancel();
    EXPECT_EQ(name.text(), "Bertie");

    // Swapping the dataset behind the source rebinds every control.
    source.SetDataSet(&carriers);
    EXPECT_TRUE(name.text().isEmpty());  // closed
    carriers.Open();
    EXPECT_EQ(name.text(), "Mail");
    EXPECT_TRUE(data.toPlainText().isEmpty());
}

TEST_F(DbControlsTest, LookupComboShowsTheListRowsAndWritesTheChosenKey)
{
    TNDBLookupComboBox combo;
    Bind(combo, "CarrierID");
    combo.SetListDataSet(&carriers);
    combo.SetKeyField(QStringLiteral("ID"));
    combo.SetListField(QStringLiteral("Name"));
    carriers.Open();
    ASSERT_EQ(combo.count(), 2);
    EXPECT_EQ(combo.itemText(0), "Mail");
    EXPECT_EQ(combo.currentText(), "Pager Co");  // Anna's carrier 7
    contacts.Last();
    EXPECT_EQ(combo.currentText(), "Mail");

    contacts.First();
    carriers.Last();
    emit combo.activated(0);  // what a choice by mouse or keyboard raises
    EXPECT_EQ(contacts.State(), TDataSetState::dsEdit);
    EXPECT_EQ(contacts.FieldByName(QStringLiteral("CarrierID"))->AsInteger(), 8);
    EXPECT_EQ(carriers.RecNo(), 2);  // the list's cursor never moves
    contacts.Post();
    EXPECT_EQ(Stored(QStringLiteral("select CarrierID from Contacts where Name = 'Anna'")).toInt(), 8);

    // A key no list row has shows no item; a new list row becomes an item.
    contacts.Edit();
    contacts.FieldByName(QStringLiteral("CarrierID"))->SetAsInteger(9);
    EXPECT_EQ(combo.currentIndex(), -1);
    carriers.Append();
    carriers.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("New"));
    carriers.Post();
    EXPECT_EQ(combo.count(), 3);
    EXPECT_EQ(combo.currentText(), "New");
}

TEST_F(DbControlsTest, GridFollowsTheCursorAndKeepsMarksAndWidths)
{
    TNDBGrid grid;
    grid.resize(400, 300);
    grid.AddColumn(QStringLiteral("Name"), QStringLiteral("Contact"), 90);
    grid.AddColumn(QStringLiteral("Data"));
    grid.SetDataSource(&source);
    grid.SetSortOnTitleClick(true);
    ASSERT_EQ(grid.ColumnCount(), 2);
    EXPECT_EQ(grid.ColumnTitle(0), "Contact");
    EXPECT_EQ(grid.ColumnTitle(1), "Data");
    EXPECT_EQ(grid.ColumnWidth(0), 90);

    // Cursor and grid follow each other; the row header marks the current row.
    contacts.Last();
    EXPECT_EQ(grid.currentIndex().row(), 2);
    EXPECT_FALSE(grid.Model().headerData(2, Qt::Vertical).toString().isEmpty());
    EXPECT_TRUE(grid.Model().headerData(0, Qt::Vertical).toString().isEmpty());
    grid.setCurrentIndex(grid.model()->index(1, 0));
    EXPECT_EQ(contacts.FieldByName(QStringLiteral("Name"))->AsString(), "Bert");

    // Deleting a row leaves the dataset's cursor where the dataset puts it.
    contacts.Delete();
    EXPECT_EQ(contacts.FieldByName(QStringLiteral("Name"))->AsString(), "Carl");
    EXPECT_EQ(grid.currentIndex().row(), 1);

    // Marks survive a re-sort by a title click; widths survive it too.
    grid.SetMultiSelect(true);
    contacts.Append();
    contacts.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("Dora"));
    contacts.FieldByName(QStringLiteral("Data"))->SetAsString(QStringLiteral("a"));
    contacts.Post();
    const TBookmark dora = contacts.GetBookmark();
    contacts.First();  // the marks go with the cursor: Anna alone
    EXPECT_EQ(grid.SelectedBookmarks(), QList<TBookmark>{contacts.GetBookmark()});
    grid.MarkRows({dora});
    EXPECT_EQ(grid.SelectedCount(), 2);
    grid.SetColumnWidth(1, 77);
    grid.horizontalHeader()->sectionClicked(1);
    EXPECT_EQ(contacts.IndexFieldNames(), "Data");
    EXPECT_EQ(grid.ColumnWidth(0), 90);
    EXPECT_EQ(grid.columnWidth(1), 77);
    const QList<TBookmark> marks = grid.SelectedBookmarks();
    ASSERT_EQ(marks.size(), 2);
    QStringList names;
    for (TBookmark mark : marks) {
        contacts.GotoBookmark(mark);
        names << contacts.FieldByName(QStringLiteral("Name"))->AsString();
    }
    EXPECT_EQ(names, (QStringList{"Dora", "Anna"}));  // row order: "a" before "first..."

    // Widths go to and come from the settings file by column number.
    TNProfileFile ini(files.Folder() + QStringLiteral("FormSettings.ini"));
    grid.SaveColumnWidths(ini, QStringLiteral("TListForm"));
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("TListForm"), QStringLiteral("Column1Width"), 0), 77);
    TNDBGrid other;
    other.AddColumn(QStringLiteral("Name"));
    other.AddColumn(QStringLiteral("Data"));
    other.LoadColumnWidths(ini, QStringLiteral("TListForm"));
    other.SetDataSource(&source);
    EXPECT_EQ(other.columnWidth(0), 90);
    EXPECT_EQ(other.columnWidth(1), 77);
}

TEST_F(DbControlsTest, GridColumnsShowTheirWholeTitleUntilSizedOtherwise)
{
    // A design width narrower than its title grows to it (sort mark included)
    // and is the width stored; a width set afterwards is kept as set.
    // A settings file that holds no width changes nothing. The rows' texts
    // widen the column too, a name in full.
    const QString longName = QStringLiteral("Maximiliana Featherstone");
    contacts.Append();
    contacts.FieldByName(QStringLiteral("Name"))->SetAsString(longName);
    contacts.Post();
    TNProfileFile ini(files.Folder() + QStringLiteral("FormSettings.ini"));
    TNDBGrid grid;
    grid.AddColumn(QStringLiteral("Name"), QStringLiteral("Contact"), 10);
    grid.AddColumn(QStringLiteral("Data"), QStringLiteral("A long title of a column"), 10);
    grid.LoadColumnWidths(ini, QStringLiteral("TListForm"));
    grid.SetDataSource(&source);
    for (int c = 0; c < 2; ++c) {
        EXPECT_GE(grid.columnWidth(c), grid.horizontalHeader()->sectionSizeHint(c)) << c;
        EXPECT_GT(grid.columnWidth(c), 10) << c;
        EXPECT_EQ(grid.ColumnWidth(c), grid.columnWidth(c)) << c;
    }
    EXPECT_GT(grid.columnWidth(0), grid.fontMetrics().horizontalAdvance(longName));
    grid.SetColumnWidth(1, 60);
    contacts.SetIndexFieldNames(QStringLiteral("Data"));
    contacts.Close();
    contacts.Open();
    EXPECT_EQ(grid.columnWidth(1), 60);
    EXPECT_EQ(grid.ColumnWidth(1), 60);
}

}  // namespace
