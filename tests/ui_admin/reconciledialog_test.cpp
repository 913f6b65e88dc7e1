// The reconcile dialog: what it shows of a refused row and the answer it
// gives, Correct with the local values as edited.
#include "ui/admin/reconciledialog.h"
#include "support/messageanswerer.h"
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
    request.Local = {{QStringLiteral("CarrierID"), 3},
                     {QStringLiteral("Company"), QVariant()},
                     {QStringLiteral("ID"), 10},
                     {QStringLiteral("Name"), QStringLiteral("Mine")}};
    request.HasServerRow = true;
    request.ServerRow = {{QStringLiteral("CarrierID"), 3},
                         {QStringLiteral("Company"), QVariant()},
                         {QStringLiteral("ID"), 10},
                         {QStringLiteral("Name"), QStringLiteral("Theirs")}};
    request.Fields = {{QStringLiteral("ID"), TFieldKind::fkInteger},
                      {QStringLiteral("CarrierID"), TFieldKind::fkInteger},
                      {QStringLiteral("Name"), TFieldKind::fkString, 50},
                      {QStringLiteral("Company"), TFieldKind::fkString, 50}};
    InstallReconcileDialog();
    MessageAnswerer answerer;
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
        // A value its field cannot take is refused here, and the dialog
        // stays open on it; the ID is not to be corrected.
        const auto row = [&](const char* field) {
            return grid->findItems(QString::fromLatin1(field), Qt::MatchExactly).value(0)->row();
        };
        EXPECT_FALSE(grid->item(row("ID"), 1)->flags() & Qt::ItemIsEditable);
        QPushButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        const std::pair<const char*, const char*> refused[] = {
            {"abc", "'abc' is not a valid value for field 'CarrierID'"},
            {"99999999999", "'99999999999' is not a valid value for field 'CarrierID'"},
        };
        for (const auto& [text, fault] : refused) {
            grid->item(row("CarrierID"), 1)->setText(QString::fromLatin1(text));
            ok->click();
            EXPECT_TRUE(dialog->isVisible());
            EXPECT_EQ(answerer.Texts().value(0), QString::fromLatin1(fault));
            EXPECT_EQ(grid->currentRow(), row("CarrierID"));
            answerer.Clear();
        }
        grid->item(row("CarrierID"), 1)->setText(QStringLiteral("3"));
        grid->item(row("Company"), 1)->setText(QString(51, u'x'));
        ok->click();
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(answerer.Texts().value(0).contains(QStringLiteral("longer than the 50 characters")));
        grid->item(row("Company"), 1)->setText(QStringLiteral("<null>"));
        grid->item(row("CarrierID"), 1)->setText(QStringLiteral(" 7"));
        ok->click();
    });
    // The installed handler is what an apply calls.
    TReconcileHandler handler = SetReconcileHandler({});
    QVariantMap corrected;
    EXPECT_EQ(handler(request, &corrected), TReconcileAction::raCorrect);
    EXPECT_TRUE(shown);
    EXPECT_EQ(corrected.value(QStringLiteral("Name")).toString(), QStringLiteral("Fixed"));
    EXPECT_EQ(corrected.value(QStringLiteral("ID")).toInt(), 10);
    EXPECT_EQ(corrected.value(QStringLiteral("CarrierID")), QVariant(7)) << "in the field's kind";
    EXPECT_TRUE(corrected.value(QStringLiteral("Company")).isNull());
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
