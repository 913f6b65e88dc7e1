// The reconcile dialog: what it shows of a refused row and the answer it
// gives, Correct with the local values as edited.
#include "ui/admin/reconciledialog.h"
#include "ui_main/eventwaits.h"

#include <gtest/gtest.h>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

TEST(ReconcileDialog, ShowsBothRowsAndAnswersCorrectWithTheEditedValues)
{
    TReconcileRequest request;
    request.BookName = QStringLiteral("Shared");
    request.Provider = QStringLiteral("prvContacts");
    request.ErrorText = QStringLiteral("Record changed by another user");
    request.Local = {{QStringLiteral("Company"), QVariant()},
                     {QStringLiteral("ID"), 10},
                     {QStringLiteral("Name"), QStringLiteral("Mine")}};
    request.HasServerRow = true;
    request.ServerRow = {{QStringLiteral("Company"), QVariant()},
                         {QStringLiteral("ID"), 10},
                         {QStringLiteral("Name"), QStringLiteral("Theirs")}};
    InstallReconcileDialog();
    bool shown = false;
    WhenModal<TFormReconcileError>([&](TFormReconcileError* dialog) {
        shown = true;
        auto* grid = dialog->findChild<QTableWidget*>(QStringLiteral("grdValues"));
        EXPECT_TRUE(dialog->findChild<QLabel*>(QStringLiteral("lblError"))->text().contains(request.ErrorText));
        // The field in conflict leads, in bold, whatever its name.
        const int name = grid->findItems(QStringLiteral("Name"), Qt::MatchExactly).value(0)->row();
        EXPECT_EQ(name, 0);
        EXPECT_TRUE(grid->item(name, 0)->font().bold());
        EXPECT_FALSE(grid->item(1, 0)->font().bold());
        EXPECT_EQ(grid->item(name, 2)->text(), QStringLiteral("Theirs"));
        EXPECT_FALSE(grid->item(name, 1)->flags() & Qt::ItemIsEditable) << "editable only for Correct";
        dialog->findChild<QRadioButton*>(QStringLiteral("rbCorrect"))->click();
        EXPECT_TRUE(grid->item(name, 1)->flags() & Qt::ItemIsEditable);
        grid->item(name, 1)->setText(QStringLiteral("Fixed"));
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    // The installed handler is what an apply calls.
    TReconcileHandler handler = SetReconcileHandler({});
    QVariantMap corrected;
    EXPECT_EQ(handler(request, &corrected), TReconcileAction::raCorrect);
    EXPECT_TRUE(shown);
    EXPECT_EQ(corrected.value(QStringLiteral("Name")).toString(), QStringLiteral("Fixed"));
    EXPECT_EQ(corrected.value(QStringLiteral("ID")).toInt(), 10);
}

TEST(ReconcileDialog, ARefusedDeleteShowsTheRowAsDeletedNotAsEmptyValues)
{
    TReconcileRequest request;
    request.Kind = TUpdateKind::ukDelete;
    request.BookName = QStringLiteral("Shared");
    request.Provider = QStringLiteral("prvContacts");
    request.HasServerRow = true;
    request.ServerRow = {{QStringLiteral("ID"), 10}, {QStringLiteral("Name"), QStringLiteral("Theirs")}};
    TFormReconcileError dialog(request, nullptr);
    auto* grid = dialog.findChild<QTableWidget*>(QStringLiteral("grdValues"));
    ASSERT_EQ(grid->rowCount(), 2);
    dialog.findChild<QRadioButton*>(QStringLiteral("rbCorrect"))->click();
    for (int row = 0; row < grid->rowCount(); ++row) {
        EXPECT_EQ(grid->item(row, 1)->text(), QStringLiteral("<deleted>"));
        EXPECT_FALSE(grid->item(row, 1)->flags() & Qt::ItemIsEditable);
    }
    EXPECT_TRUE(dialog.CorrectedValues().isEmpty());
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("lblGone")), nullptr);
}

TEST(ReconcileDialog, AnEditOfARowAnotherUserDeletedSaysItWouldBeKeptAsANewRow)
{
    TReconcileRequest request;
    request.Provider = QStringLiteral("prvContacts");
    request.ErrorCode = 2;
    request.Local = {{QStringLiteral("ID"), 10}, {QStringLiteral("Name"), QStringLiteral("Mine")}};
    TFormReconcileError dialog(request, nullptr);
    auto* gone = dialog.findChild<QLabel*>(QStringLiteral("lblGone"));
    ASSERT_NE(gone, nullptr);
    EXPECT_TRUE(gone->text().contains(QStringLiteral("new record")));
}
