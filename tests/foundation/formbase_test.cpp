// Window placement in "FormSettings.ini": restore, save, clamping, the
// designed size as minimum and failures at shut-down.
#include "foundation/formbase.h"
#include "foundation/formsettings.h"
#include "foundation/workarea.h"
#include "platform/profilefile.h"
#include "platform/programfolder.h"
#include "support/messageanswerer.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>
#include <QTest>
#include <QWidget>
#include <memory>

class TFormPlacementTest : public QWidget, public TFormBase {
    Q_OBJECT
public:
    explicit TFormPlacementTest(bool minimum = false) : TFormBase(this), m_minimum(minimum)
    {
        resize(320, 240);
        move(40, 30);
        RestoreFormSettings();
    }
    ~TFormPlacementTest() override { StoreFormSettings(); }

    int ExtraValue = 7;
    int LoadedExtra = -1;

protected:
    bool DesignSizeIsMinimum() const override { return m_minimum; }
    void LoadFormSettings(QString& section) override
    {
        TFormBase::LoadFormSettings(section);
        if (FormSettingsIni)
            LoadedExtra = FormSettingsIni->ReadInteger(section, QStringLiteral("Extra"), -1);
    }
    void SaveFormSettings(QString& section) override
    {
        TFormBase::SaveFormSettings(section);
        if (FormSettingsIni)
            FormSettingsIni->WriteInteger(section, QStringLiteral("Extra"), ExtraValue);
    }

private:
    bool m_minimum;
};

// A window that only sizes itself: its place is the design's rule.
class TFormCentredTest : public QWidget, public TFormBase {
    Q_OBJECT
public:
    TFormCentredTest(const QSize& design, TFormPosition position, QWidget* owner = nullptr, bool minimum = false)
        : QWidget(owner, Qt::Window), TFormBase(this), m_position(position), m_minimum(minimum)
    {
        resize(design);
        RestoreFormSettings();
    }
    ~TFormCentredTest() override { StoreFormSettings(); }

protected:
    TFormPosition DesignedPosition() const override { return m_position; }
    bool DesignSizeIsMinimum() const override { return m_minimum; }

private:
    TFormPosition m_position;
    bool m_minimum;
};

namespace {
const QString kSection = QStringLiteral("TFormPlacementTest");
const QString kCentred = QStringLiteral("TFormCentredTest");

class FormBaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.Path());
        m_file = std::make_unique<TFormSettingsFile>();
    }
    void TearDown() override
    {
        m_file.reset();
        SetProgramFolder(QString());
    }
    TNProfileFile& Ini() { return m_file->File(); }

    TempFolder m_folder;
    std::unique_ptr<TFormSettingsFile> m_file;
};
}  // namespace

TEST_F(FormBaseTest, NeverSavedKeepsTheDesignAndSavesItsSectionUnderTheClassName)
{
    {
        TFormPlacementTest w;
        EXPECT_EQ(w.size(), QSize(320, 240));
        EXPECT_EQ(w.pos(), QPoint(40, 30));
        EXPECT_EQ(w.LoadedExtra, -1);
    }
    EXPECT_FALSE(Ini().ReadBool(kSection, QStringLiteral("Maximized"), true));
    EXPECT_EQ(Ini().ReadInteger(kSection, QStringLiteral("Width"), 0), 320);
    EXPECT_EQ(Ini().ReadInteger(kSection, QStringLiteral("Height"), 0), 240);
    EXPECT_EQ(Ini().ReadInteger(kSection, QStringLiteral("Left"), 0), 40);
    EXPECT_EQ(Ini().ReadInteger(kSection, QStringLiteral("Top"), 0), 30);
    // The override's own key went into the same section.
    EXPECT_EQ(Ini().ReadInteger(kSection, QStringLiteral("Extra"), 0), 7);
}

TEST_F(FormBaseTest, NormalPlacementRoundTrip)
{
    {
        TFormPlacementTest w;
        w.resize(410, 290);
        w.move(120, 90);
        w.ExtraValue = 33;
    }
    TFormPlacementTest again;
    EXPECT_EQ(again.size(), QSize(410, 290));
    EXPECT_EQ(again.pos(), QPoint(120, 90));
    EXPECT_EQ(again.LoadedExtra, 33);
    EXPECT_FALSE(again.isMaximized());
}

TEST_F(FormBaseTest, MaximisedRoundTripKeepsTheEarlierNormalPlacement)
{
    {
        TFormPlacementTest w;
        w.resize(400, 300);
        w.move(100, 80);
    }
    {
        TFormPlacementTest w;
        w.showMaximized();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.isMaximized(); })) << "w.isMaximized()";
    }
    EXPECT_TRUE(Ini().ReadBool(kSection, QStringLiteral("Maximized"), false));
    EXPECT_EQ(Ini().ReadInteger(kSection, QStringLiteral("Width"), 0), 400);

    TFormPlacementTest again;
    EXPECT_TRUE(again.windowState() & Qt::WindowMaximized);
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    EXPECT_TRUE(QTest::qWaitFor([&] { return again.isMaximized(); })) << "again.isMaximized()";
    again.showNormal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !again.isMaximized(); })) << "!again.isMaximized()";
    EXPECT_TRUE(QTest::qWaitFor([&] { return again.size() == QSize(400, 300); })) << "again.size()";
    EXPECT_EQ(again.pos(), QPoint(100, 80));
}

TEST_F(FormBaseTest, PositionOutsideTheWorkAreaMovesToItsEdgesAndAFittingWindowWhollyInside)
{
    const QRect area = WorkArea();
    Ini().WriteBool(kSection, QStringLiteral("Maximized"), false);
    Ini().WriteInteger(kSection, QStringLiteral("Width"), 300);
    Ini().WriteInteger(kSection, QStringLiteral("Height"), 200);
    Ini().WriteInteger(kSection, QStringLiteral("Left"), -3000);
    Ini().WriteInteger(kSection, QStringLiteral("Top"), area.top() + area.height() + 50);
    {
        TFormPlacementTest w;
        EXPECT_EQ(w.pos(), area.topLeft());
        EXPECT_EQ(w.size(), QSize(300, 200));
    }
    // Each coordinate separately; a corner inside the work area that would
    // leave the window's right part (at another scale factor, say) or its
    // bottom off the screen moves left or up just enough.
    Ini().WriteInteger(kSection, QStringLiteral("Left"), area.left() + area.width() - 10);
    Ini().WriteInteger(kSection, QStringLiteral("Top"), area.top() - 1);
    {
        TFormPlacementTest w;
        EXPECT_EQ(w.pos(), QPoint(area.left() + area.width() - 300, area.top()));
    }
    Ini().WriteInteger(kSection, QStringLiteral("Left"), area.left() + 7);
    Ini().WriteInteger(kSection, QStringLiteral("Top"), area.bottom() - 50);
    TFormPlacementTest w;
    EXPECT_EQ(w.pos(), QPoint(area.left() + 7, area.top() + area.height() - 200));
    EXPECT_TRUE(area.contains(w.frameGeometry()));
}

TEST_F(FormBaseTest, NeverSavedWindowKeepsItsDesignedPlaceCentredWhereItsDesignSays)
{
    const QRect area = WorkArea();
    {
        // No stored key: the window system's place stays untouched.
        TFormCentredTest plain(QSize(300, 200), TFormPosition::Designed);
        EXPECT_FALSE(plain.testAttribute(Qt::WA_Moved));
        EXPECT_EQ(plain.size(), QSize(300, 200));
    }
    Ini().EraseSection(kCentred);
    QPoint centred;
    {
        TFormCentredTest report(QSize(300, 200), TFormPosition::DesktopCenter);
        centred = report.pos();
        EXPECT_EQ(centred, QPoint(area.x() + (area.width() - 300) / 2, area.y() + (area.height() - 200) / 2));
        // Once saved, the stored place wins over the design.
    }
    Ini().WriteInteger(kCentred, QStringLiteral("Left"), area.left() + 3);
    {
        TFormCentredTest report(QSize(300, 200), TFormPosition::DesktopCenter);
        EXPECT_EQ(report.pos(), QPoint(area.left() + 3, centred.y()));
    }
    Ini().EraseSection(kCentred);
    QWidget owner;
    owner.setGeometry(area.x() + 10, area.y() + 20, 400, 300);
    TFormCentredTest dialog(QSize(200, 100), TFormPosition::OwnerFormCenter, &owner);
    EXPECT_EQ(dialog.pos(), owner.frameGeometry().topLeft() + QPoint(100, 100));
}

TEST_F(FormBaseTest, StoredSizeAndDesignedMinimumNeverExceedTheWorkAreaNorDoesLeftPassItsRightEdge)
{
    const QRect area = WorkArea();
    Ini().WriteBool(kCentred, QStringLiteral("Maximized"), false);
    Ini().WriteInteger(kCentred, QStringLiteral("Width"), area.width() + 500);
    Ini().WriteInteger(kCentred, QStringLiteral("Height"), area.height() * 2);
    // One pixel past the last column would show nothing of the window.
    Ini().WriteInteger(kCentred, QStringLiteral("Left"), area.left() + area.width());
    Ini().WriteInteger(kCentred, QStringLiteral("Top"), area.bottom());
    {
        TFormCentredTest w(area.size() + QSize(40, 40), TFormPosition::DesktopCenter, nullptr, true);
        EXPECT_EQ(w.size(), area.size());
        EXPECT_EQ(w.minimumSize(), area.size());
        // Cut down to the work area, it fills it from the top left.
        EXPECT_EQ(w.pos(), area.topLeft());
    }
    // Squeezed below its minimum, it kept the size stored before.
    EXPECT_EQ(Ini().ReadInteger(kCentred, QStringLiteral("Width"), 0), area.width() + 500);
    Ini().WriteInteger(kCentred, QStringLiteral("Width"), 100);
    Ini().WriteInteger(kCentred, QStringLiteral("Height"), 100);
    Ini().WriteInteger(kCentred, QStringLiteral("Left"), area.right());
    TFormCentredTest w(QSize(100, 100), TFormPosition::Designed);
    EXPECT_EQ(w.x(), area.left() + area.width() - 100);
}

TEST_F(FormBaseTest, StoredSizeBelowTheMinimumIsRaisedAndTheWindowCentred)
{
    // Stored by a run at a large scale factor, below the designed minimum.
    const QRect area = WorkArea();
    const QSize design(area.width() / 2, area.height() / 2);
    Ini().WriteBool(kCentred, QStringLiteral("Maximized"), false);
    Ini().WriteInteger(kCentred, QStringLiteral("Width"), design.width() - 12);
    Ini().WriteInteger(kCentred, QStringLiteral("Height"), design.height() - 100);
    Ini().WriteInteger(kCentred, QStringLiteral("Left"), area.left());
    Ini().WriteInteger(kCentred, QStringLiteral("Top"), area.top());
    {
        TFormCentredTest w(design, TFormPosition::DesktopCenter, nullptr, true);
        EXPECT_EQ(w.size(), design);
        EXPECT_EQ(w.pos(), QPoint(area.x() + (area.width() - design.width()) / 2,
                                  area.y() + (area.height() - design.height()) / 2));
        w.move(area.topLeft() + QPoint(5, 6));
    }
    EXPECT_EQ(Ini().ReadInteger(kCentred, QStringLiteral("Width"), 0), design.width());
    EXPECT_EQ(Ini().ReadInteger(kCentred, QStringLiteral("Height"), 0), design.height());
    EXPECT_EQ(Ini().ReadInteger(kCentred, QStringLiteral("Left"), 0), area.left() + 5);
}

TEST_F(FormBaseTest, WidthWithoutHeightLeavesTheDesignedSize)
{
    Ini().WriteBool(kSection, QStringLiteral("Maximized"), false);
    Ini().WriteInteger(kSection, QStringLiteral("Width"), 500);
    TFormPlacementTest w;
    EXPECT_EQ(w.size(), QSize(320, 240));
    Ini().WriteInteger(kSection, QStringLiteral("Height"), -1);
    TFormPlacementTest w2;
    EXPECT_EQ(w2.size(), QSize(320, 240));
}

TEST_F(FormBaseTest, DesignSizeAsMinimum)
{
    TFormPlacementTest plain(false);
    EXPECT_EQ(plain.minimumSize(), QSize(0, 0));
    TFormPlacementTest w(true);
    EXPECT_EQ(w.minimumSize(), QSize(320, 240));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.resize(100, 100);
    EXPECT_EQ(w.size(), QSize(320, 240));
}

TEST(FormSettingsFile, FailedWritesAtShutDownAreReportedOnceNeverThrown)
{
    MessageAnswerer answers;
    TempFolder folder;
    SetProgramFolder(folder.Path() + QStringLiteral("missing/folder/"));
    {
        TFormSettingsFile file;
        ASSERT_EQ(FormSettingsIni, &file.File());
        {
            TFormPlacementTest a;
            TFormPlacementTest b;
        }
    }
    EXPECT_EQ(FormSettingsIni, nullptr);
    SetProgramFolder(QString());
    // Told from the event loop once the destructors are through, never from them.
    EXPECT_TRUE(answers.Requests().isEmpty());
    QCoreApplication::processEvents();
    ASSERT_EQ(answers.Requests().size(), 1);
    EXPECT_EQ(answers.Requests().at(0).Type, TMsgDlgType::mtError);
    EXPECT_TRUE(answers.Texts().at(0).startsWith(QStringLiteral("Unable to write to ")));
    EXPECT_TRUE(answers.Texts().at(0).endsWith(QStringLiteral("FormSettings.ini")));
}

TEST(FormSettingsFile, WindowsWithoutTheFileKeepTheirDesign)
{
    ASSERT_EQ(FormSettingsIni, nullptr);
    TFormPlacementTest w;
    EXPECT_EQ(w.size(), QSize(320, 240));
}

#include "formbase_test.moc"
