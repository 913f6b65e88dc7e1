// Popups on the offscreen platform and the hidden window's messages.
#include "messaging/popupwin.h"
#include "foundation/dmoptions.h"
#include "foundation/workarea.h"
#include "messaging/formhidden.h"
#include "messaging/messagetable.h"
#include "messaging/popupgeometry.h"
#include "platform/programfolder.h"
#include "support/messageanswerer.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <limits>

namespace {
// Keeps the popup globals of a test to itself.
struct TPopupGlobals {
    quint8 position = PopupWinPos;
    int delay = PopupWinDelay;
    ~TPopupGlobals()
    {
        FreeAllPopupWins();
        PopupWinPos = position;
        PopupWinDelay = delay;
    }
};

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}
}  // namespace

TEST(PopupWin, AppearsJustOutsideTheWorkAreaAndSlidesInAtEachEdge)
{
    TPopupGlobals restore;
    PopupWinDelay = 0;
    for (quint8 edge = 0; edge < 4; ++edge) {
        PopupWinPos = edge;
        TPopupWin* popup = ShowPopupWin(QStringLiteral("Edge"), pkSuccess);
        EXPECT_EQ(popup->pos(), PopupStartPosition(edge, WorkArea(), popup->size())) << int(edge);
        EXPECT_TRUE(popup->SlidingIn());
        ASSERT_TRUE(WaitUntil([&] { return !popup->SlidingIn(); }));
        const QPoint expected = PopupFinalPosition(edge, WorkArea(), popup->size());
        EXPECT_EQ(popup->pos(), expected) << int(edge);
        EXPECT_TRUE(WorkArea().contains(popup->geometry())) << int(edge);
    }
    EXPECT_EQ(OpenPopupWins().size(), 4);
}

TEST(PopupWin, EightyOpenedAtOnceEachReachTheirFinalPlaceAndAllLeave)
{
    TPopupGlobals restore;
    PopupWinDelay = 60;
    const QRect area = WorkArea();
    QList<QPointer<TPopupWin>> popups;
    QString tall;
    for (int i = 0; i < 200; ++i)
        tall += QStringLiteral("line %1\r").arg(i);
    for (int i = 0; i < 80; ++i) {
        PopupWinPos = quint8(i % 4);
        popups << ShowPopupWin(i == 7 ? tall : QStringLiteral("Send error %1").arg(i), pkError);
    }
    // The window system may put a window elsewhere than asked (one was seen
    // at x = -216 in the bottom right corner), and the main thread may be
    // held up: neither keeps a popup from its place.
    for (int i = 0; i < 80; i += 9)
        popups[i]->move(-216, popups[i]->y());
    QTest::qSleep(300);
    const auto inPlace = [&](int i) {
        return popups[i] && popups[i]->Waiting() &&
               popups[i]->pos() == PopupFinalPosition(i % 4, area, popups[i]->size());
    };
    EXPECT_TRUE(WaitUntil([&] {
        for (int i = 0; i < 80; ++i)
            if (!inPlace(i))
                return false;
        return true;
    }));
    for (int i = 0; i < 80; ++i) {
        ASSERT_FALSE(popups[i].isNull()) << i;
        EXPECT_TRUE(inPlace(i)) << i << ": " << popups[i]->x() << "," << popups[i]->y();
        EXPECT_TRUE(area.contains(popups[i]->geometry())) << i;
    }
    for (TPopupWin* popup : OpenPopupWins())
        popup->StartSlideOut();
    EXPECT_TRUE(WaitUntil([] { return OpenPopupWins().isEmpty(); }));
}

TEST(PopupWin, DelayZeroStaysUntilClicked)
{
    TPopupGlobals restore;
    PopupWinPos = 3;
    PopupWinDelay = 0;
    TPopupWin* popup = ShowPopupWin(QStringLiteral("Stay"), pkMessage);
    ASSERT_TRUE(WaitUntil([&] { return !popup->SlidingIn(); }));
    QTest::qWait(400);
    EXPECT_TRUE(popup->Waiting());
    ASSERT_EQ(OpenPopupWins().size(), 1);
    QTest::mouseClick(popup->findChild<QLabel*>(QStringLiteral("lblMsg")), Qt::LeftButton);
    EXPECT_TRUE(popup->SlidingOut());
    EXPECT_TRUE(WaitUntil([&] { return OpenPopupWins().isEmpty(); }));
}

TEST(PopupWin, APopupShownUnderAModalDialogOutlivesTheDialog)
{
    TPopupGlobals restore;
    PopupWinPos = 3;
    PopupWinDelay = 0;
    auto* dialog = new QDialog;
    QPointer<TPopupWin> popup;
    QTimer::singleShot(0, dialog, [&] {
        popup = ShowPopupWin(QStringLiteral("Under the dialog"), pkMessage);
        // Held by the dialog while it is open, so its input is not blocked.
        EXPECT_EQ(popup->parentWidget(), dialog);
        WaitUntil([&] { return !popup->SlidingIn(); });
        dialog->reject();
    });
    dialog->exec();
    delete dialog;
    ASSERT_FALSE(popup.isNull());
    EXPECT_EQ(popup->parentWidget(), nullptr);
    EXPECT_TRUE(popup->isVisible());
    EXPECT_TRUE(popup->Waiting());
    QTest::mouseClick(popup, Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return OpenPopupWins().isEmpty(); }));
}

TEST(PopupWin, DelayFromTheOptionsBecomesTheWaitAndAHugeOneIsCapped)
{
    TPopupGlobals restore;
    PopupWinDelay = 7;
    TPopupWin* popup = ShowPopupWin(QStringLiteral("Seven"), pkSuccess);
    EXPECT_EQ(popup->DelayMs(), 7000);
    // A value from a hand-edited options file that overflows in milliseconds.
    PopupWinDelay = std::numeric_limits<int>::max() / 10;
    popup = ShowPopupWin(QStringLiteral("Long"), pkSuccess);
    EXPECT_EQ(popup->DelayMs(), std::numeric_limits<int>::max());
    EXPECT_TRUE(popup->SlidingIn());
}

TEST(PopupWin, ClickDuringSlideInStartsTheSlideOutAtOnce)
{
    TPopupGlobals restore;
    PopupWinPos = 0;
    PopupWinDelay = 60;
    TPopupWin* popup = ShowPopupWin(QStringLiteral("Away"), pkError);
    ASSERT_TRUE(popup->SlidingIn());
    QTest::mouseClick(popup, Qt::LeftButton);
    EXPECT_FALSE(popup->SlidingIn());
    EXPECT_TRUE(popup->SlidingOut());
    EXPECT_TRUE(WaitUntil([&] { return OpenPopupWins().isEmpty(); }));
}

TEST(PopupWin, ShortDelayEndsWithTheSlideOut)
{
    TPopupGlobals restore;
    PopupWinPos = 2;
    PopupWinDelay = 1;
    TPopupWin* popup = ShowPopupWin(QStringLiteral("Brief"), pkSuccess);
    ASSERT_TRUE(WaitUntil([&] { return !popup->SlidingIn(); }));
    EXPECT_TRUE(popup->Waiting());
    EXPECT_TRUE(WaitUntil([&] { return OpenPopupWins().isEmpty(); }));
}

TEST(PopupWin, LongTextGrowsTheWindowAndShortTextKeepsItsSize)
{
    TPopupGlobals restore;
    PopupWinDelay = 0;
    TPopupWin* shortOne = ShowPopupWin(QStringLiteral("Short"), pkSuccess);
    EXPECT_EQ(shortOne->size(), QSize(240, 240));
    QString longText;
    for (int i = 0; i < 40; ++i)
        longText += QStringLiteral("A rather long line of text %1\r").arg(i);
    TPopupWin* longOne = ShowPopupWin(longText, pkSuccess);
    const QLabel* label = longOne->findChild<QLabel*>(QStringLiteral("lblMsg"));
    ASSERT_NE(label, nullptr);
    EXPECT_GT(label->height(), 161);
    EXPECT_EQ(longOne->height() - 240, label->height() - 161);
    EXPECT_EQ(longOne->Text(), longText);
    EXPECT_TRUE(label->text().contains(QLatin1Char('\n')));
}

TEST(PopupWin, KindChoosesImageCaptionAndColours)
{
    TPopupGlobals restore;
    PopupWinDelay = 0;
    struct {
        quint8 kind;
        const char* image;
        const char* caption;
        quint32 color2;
    } cases[] = {{pkError, "imgError", "Error", 0x8080F0},
                 {pkMessage, "imgWarning", "Message", 0x80F0E0},
                 {pkSuccess, "imgInfo", "Success", 0xF0E080},
                 {7, "imgInfo", "Success", 0xF0E080}};
    for (const auto& c : cases) {
        TPopupWin* popup = ShowPopupWin(QStringLiteral("Kind"), c.kind);
        EXPECT_TRUE(popup->findChild<QLabel*>(QLatin1String(c.image))->isVisibleTo(popup)) << c.caption;
        EXPECT_EQ(popup->findChild<QLabel*>(QStringLiteral("lblIcon"))->text(), QLatin1String(c.caption));
        EXPECT_EQ(popup->Color2(), c.color2);
        // The background runs from white at the left toward Color2 and has a
        // grey frame.
        const QImage& background = popup->Background();
        EXPECT_EQ(background.pixelColor(1, 5), PopupGradientColor(0xFFFFFF, c.color2, 1, popup->width()));
        EXPECT_EQ(background.pixelColor(0, 5), QColor(0x77, 0x77, 0x77));
    }
}

TEST(FormHidden, ShowPopupAppliesThePopupOptionsFirst)
{
    TPopupGlobals restore;
    TempFolder folder;
    SetProgramFolder(folder.Path());
    struct TRestoreFolder {
        ~TRestoreFolder() { SetProgramFolder(QString()); }
    } restoreFolder;
    TDModOptions options;
    options.SCGOptions().OptionByName(QStringLiteral("PopupWinPos"))->SetValue(3);  // mid left in the dialog
    options.SCGOptions().OptionByName(QStringLiteral("PopupWinDelay"))->SetValue(0);
    TFormHidden hidden;
    ASSERT_EQ(HiddenWindowHandle.load(), hidden.Handle());
    PostShowPopup(QStringLiteral("Left"), pkError);
    ASSERT_TRUE(WaitUntil([] { return OpenPopupWins().size() == 1; }));
    EXPECT_EQ(PopupWinPos, 0);
    EXPECT_EQ(PopupWinDelay, 0);
    EXPECT_EQ(OpenPopupWins()[0]->Position(), 0);
    EXPECT_EQ(OpenPopupWins()[0]->Kind(), pkError);
    // An option value outside 0..3 leaves the edge as it is.
    options.SCGOptions().OptionByName(QStringLiteral("PopupWinPos"))->SetValue(9);
    PostShowPopup(QStringLiteral("Same"), pkSuccess);
    ASSERT_TRUE(WaitUntil([] { return OpenPopupWins().size() == 2; }));
    EXPECT_EQ(OpenPopupWins()[1]->Position(), 0);
}

TEST(FormHidden, ServerMessageUsesTheVariablesAsTheyStand)
{
    TPopupGlobals restore;
    PopupWinPos = 1;
    PopupWinDelay = 0;
    TFormHidden hidden;
    PostServerMessage(QStringLiteral("Lunch"));
    ASSERT_TRUE(WaitUntil([] { return OpenPopupWins().size() == 1; }));
    EXPECT_EQ(OpenPopupWins()[0]->Text(), QStringLiteral("TovixServer Message : \r\rLunch"));
    EXPECT_EQ(OpenPopupWins()[0]->Kind(), pkMessage);
    EXPECT_EQ(OpenPopupWins()[0]->Position(), 1);
}

TEST(FormHidden, MessageBoxesCarryTheirIconAndCaption)
{
    MessageAnswerer answers;
    TFormHidden hidden;
    PostMessage(hidden.Handle(), WM_SHOW_MESSAGE_BOX, 0, 1, QStringLiteral("Stop"));
    PostMessage(hidden.Handle(), WM_SHOW_MESSAGE_BOX, 0, 7, QStringLiteral("Plain"));
    PostMessage(hidden.Handle(), WM_SHOW_MESSAGE, 0, 0, QStringLiteral("Info"));
    ASSERT_TRUE(WaitUntil([&] { return answers.Requests().size() == 3; }));
    EXPECT_EQ(answers.Requests()[0].Type, TMsgDlgType::mtError);
    EXPECT_EQ(answers.Requests()[0].Caption, QStringLiteral("  Tovix Message"));
    EXPECT_EQ(answers.Requests()[0].Buttons, int(mbOK));
    EXPECT_EQ(answers.Requests()[1].Type, TMsgDlgType::mtCustom);
    EXPECT_EQ(answers.Texts(), (QStringList{QStringLiteral("Stop"), QStringLiteral("Plain"), QStringLiteral("Info")}));
}

TEST(FormHidden, HandleIsClearedWhenTheWindowGoes)
{
    TNWindowHandle handle = 0;
    {
        TFormHidden hidden;
        handle = hidden.Handle();
        EXPECT_EQ(HiddenWindowHandle.load(), handle);
    }
    EXPECT_EQ(HiddenWindowHandle.load(), 0u);
    EXPECT_FALSE(IsWindow(handle));
}
