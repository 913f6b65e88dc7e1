// The table model over a dataset, checked by Qt's model tester while rows
// are added, changed, deleted, sorted, filtered and re-read.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include "db/connection.h"
#include "db/datasetmodel.h"
#include "db/datasource.h"
#include "db/sqldataset.h"
#include "support/testdatabases.h"

namespace {

class DataSetModelTest : public ::testing::Test {
protected:
    TestDatabases files;
    TNConnection book;
    TNSqlTable templates;
    void SetUp() override
    {
        book.SetDatabasePath(files.AddressBookPath());
        book.ExecSQL(QStringLiteral("insert into Templates (Name, Content) values ('b', 'two\nlines'), ('a', 'one')"));
        templates.SetConnection(&book);
        templates.SetTableName(QStringLiteral("Templates"));
        templates.SetIndexFieldNames(QStringLiteral("Name"));
    }
    static QStringList ColumnTexts(const QAbstractItemModel& m, int column)
    {
        QStringList texts;
        for (int r = 0; r < m.rowCount(); ++r)
            texts << m.index(r, column).data().toString();
        return texts;
    }
};

TEST_F(DataSetModelTest, FollowsEveryChangeOfTheDataSet)
{
    TNDataSetModel model(&templates);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.rowCount(), 0);
    templates.Open();
    model.SetColumns({QStringLiteral("Name"), QStringLiteral("Content"), QStringLiteral("ID")});
    ASSERT_EQ(model.columnCount(), 3);
    EXPECT_EQ(ColumnTexts(model, 0), (QStringList{"a", "b"}));

    templates.Append();
    templates.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("ab"));
    EXPECT_EQ(model.rowCount(), 2);  // not a row before the post
    templates.Post();
    EXPECT_EQ(ColumnTexts(model, 0), (QStringList{"a", "ab", "b"}));
    EXPECT_EQ(model.CurrentRow(), 1);

    templates.Edit();
    templates.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("c"));
    templates.Post();
    EXPECT_EQ(ColumnTexts(model, 0), (QStringList{"a", "b", "c"}));
    templates.Edit();
    templates.FieldByName(QStringLiteral("Content"))->SetAsString(QStringLiteral("changed"));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    templates.Post();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(model.index(2, 1).data().toString(), QStringLiteral("changed"));

    templates.First();
    templates.Delete();
    EXPECT_EQ(ColumnTexts(model, 0), (QStringList{"b", "c"}));
    templates.SetIndexFieldNames(QStringLiteral("Name DESC"));
    EXPECT_EQ(ColumnTexts(model, 0), (QStringList{"c", "b"}));
    templates.SetFilter(QStringLiteral("Name = 'b'"));
    templates.SetFiltered(true);
    EXPECT_EQ(ColumnTexts(model, 0), (QStringList{"b"}));
    book.ExecSQL(QStringLiteral("insert into Templates (Name) values ('b')"));
    templates.Refresh();
    EXPECT_EQ(model.rowCount(), 2);
    templates.Close();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(DataSetModelTest, HeadersWidthsAlignmentAndDisplayText)
{
    templates.Open();
    templates.FieldByName(QStringLiteral("Name"))->SetDisplayLabel(QStringLiteral("Template"));
    templates.FieldByName(QStringLiteral("Name"))->SetDisplayWidth(25);
    templates.FieldByName(QStringLiteral("Content"))->SetOnGetText([](const TNField&, const QVariant& v) {
        return v.toString().replace(u'\n', u' ');
    });
    templates.FieldByName(QStringLiteral("IconID"))->SetVisible(false);
    TNDataSetModel model(&templates);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    // Every visible field, in field order.
    ASSERT_EQ(model.columnCount(), 4);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Template"));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, TNDataSetModel::DisplayWidthRole).toInt(), 25);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("ID"));
    EXPECT_EQ(model.index(0, 0).data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(model.index(0, 1).data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    // An alignment set on the field wins over the kind's default.
    templates.FieldByName(QStringLiteral("Name"))->SetAlignment(Qt::AlignCenter);
    EXPECT_EQ(model.index(0, 1).data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);
    EXPECT_EQ(model.index(1, 3).data().toString(), QStringLiteral("two lines"));
    EXPECT_EQ(model.index(1, 3).data(Qt::EditRole).toString(), QStringLiteral("two\nlines"));

    // The model never moves the cursor; choosing a row does.
    templates.First();
    model.index(1, 1).data();
    EXPECT_EQ(templates.RecNo(), 1);
    model.SetCurrentRow(1);
    EXPECT_EQ(templates.FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("b"));
}

TEST_F(DataSetModelTest, SurvivesItsDataSetAndFollowsADataSource)
{
    auto* other = new TNSqlTable;
    other->SetConnection(&book);
    other->SetTableName(QStringLiteral("Templates"));
    other->Open();
    TNDataSource source(nullptr, other);
    EXPECT_EQ(source.DataSet(), other);
    TNDataSetModel model(source.DataSet());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.rowCount(), 2);
    delete other;
    EXPECT_EQ(source.DataSet(), nullptr);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 0);
    model.SetDataSet(&templates);
    templates.Open();
    EXPECT_EQ(model.rowCount(), 2);
}

}  // namespace
