#include "foundation/messagebox.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {
QStringList Captions(const QMessageBox& box)
{
    QStringList captions;
    for (QAbstractButton* b : box.buttons())
        captions << b->text();
    captions.sort();
    return captions;
}

// Clicks the button captioned Caption of the modal box that opens next and
// remembers its title and icon.
struct BoxAnswer {
    QString caption;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool found = false;

    void Arm()
    {
        QTimer::singleShot(0, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            found = true;
            title = box->windowTitle();
            icon = box->icon();
            for (QAbstractButton* b : box->buttons())
                if (b->text() == caption)
                    b->click();
        });
    }
};
}  // namespace

TEST(MessageBoxes, ButtonsCarryTheClassLibraryCaptions)
{
    TMessageRequest r;
    r.Text = QStringLiteral("Delete?");
    r.Type = TMsgDlgType::mtConfirmation;
    r.Buttons = mbYes | mbNo | mbOK | mbCancel | mbAbort | mbRetry | mbIgnore | mbAll | mbNoToAll | mbYesToAll;
    r.DefaultButton = mbNo;
    std::unique_ptr<QMessageBox> box(CreateMessageBox(r));
    QStringList expected = {"&Yes",   "&No",     "OK",   "Cancel",     "&Abort",
                            "&Retry", "&Ignore", "&All", "N&o to All", "Yes to &All"};
    expected.sort();
    EXPECT_EQ(Captions(*box), expected);
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    ASSERT_NE(box->defaultButton(), nullptr);
    EXPECT_EQ(box->defaultButton()->text(), "&No");
    ASSERT_NE(box->escapeButton(), nullptr);
    EXPECT_EQ(box->escapeButton()->text(), "Cancel");
    EXPECT_EQ(box->windowTitle(), "Tovix 2");

    r.Buttons = mbYes | mbNo;
    r.DefaultButton = 0;
    r.Caption = QStringLiteral("Confirm");
    box.reset(CreateMessageBox(r));
    EXPECT_EQ(box->defaultButton()->text(), "&Yes");
    EXPECT_EQ(box->escapeButton()->text(), "&No");
    EXPECT_EQ(box->windowTitle(), "Confirm");
}

TEST(MessageBoxes, InstalledHandlerShowsABoxAndReturnsThePressedButton)
{
    const TMessageHandler previous = SetMessageHandler({});
    InstallWidgetMessageBoxes();

    BoxAnswer answer{QStringLiteral("&No")};
    answer.Arm();
    EXPECT_EQ(MessageDlg("Save changes?", TMsgDlgType::mtWarning, mbYes | mbNo | mbCancel), int(mbNo));
    EXPECT_TRUE(answer.found);
    EXPECT_EQ(answer.icon, QMessageBox::Warning);
    EXPECT_EQ(answer.title, "Tovix 2");

    BoxAnswer ok{QStringLiteral("OK")};
    ok.Arm();
    ShowMessage("Done.");
    EXPECT_TRUE(ok.found);
    EXPECT_EQ(ok.icon, QMessageBox::NoIcon);

    // A start-up box is not hidden behind the stay-on-top splash: the
    // splash steps aside while the box is open.
    QWidget splash(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    splash.show();
    bool splashHiddenDuringBox = false;
    QTimer::singleShot(0, [&] { splashHiddenDuringBox = !splash.isVisible(); });
    BoxAnswer error{QStringLiteral("OK")};
    error.Arm();
    EXPECT_EQ(MessageDlg("Unable to write to x", TMsgDlgType::mtError, mbOK), int(mbOK));
    EXPECT_EQ(error.icon, QMessageBox::Critical);
    EXPECT_TRUE(splashHiddenDuringBox);
    EXPECT_TRUE(splash.isVisible()) << "the splash comes back after the box";

    SetMessageHandler(previous);
}
