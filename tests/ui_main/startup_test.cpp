// The start-up and shut-down sequence run against a temporary program
// folder: order of creation and destruction, the files left behind, the
// splash rule, the start-up logon and a request to end before the loop.
#include "ui/main/startup.h"
#include "db/connection.h"
#include "db/databasefiles.h"
#include "foundation/logonrole.h"
#include "foundation/messagebox.h"
#include "foundation/options.h"
#include "platform/appterminate.h"
#include "platform/idleupdates.h"
#include "platform/instancelock.h"
#include "platform/profilefile.h"
#include "platform/programfolder.h"
#include "platform/versioninfo.h"
#include "support/filesizelimit.h"
#include "support/lockholder.h"
#include "support/messageanswerer.h"
#include "support/tempfolder.h"
#include "support/writelockholder.h"
#include "ui/main/frmabout.h"
#include "ui/main/frmlogon.h"
#include "ui/main/frmmain.h"
#include "ui/main/quitonsignal.h"
#include "ui_main/eventwaits.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <csignal>
#include <stdexcept>

namespace {
class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramFolder(m_folder.Path());
        CreateMissingDatabaseFiles(m_folder.Path());
        LogonRole = RoleUser;
        TApplicationStartup::SetTrace([this](const QString& step) { m_steps << step; });
    }
    void TearDown() override
    {
        TApplicationStartup::SetTrace({});
        SetProgramFolder(QString());
        SetStartedAsComServer(false);
        ResetTerminateRequest();
        LogonRole = RoleUser;
    }
    void WriteSetting(const QString& key, const QString& value)
    {
        TNProfileFile(m_folder.File(QStringLiteral("Settings.ini"))).WriteString(QStringLiteral("Logon"), key, value);
    }
    // Runs the loop; a safety timer ends it should the program not end by itself.
    int RunWithSafetyNet(TApplicationStartup& startup)
    {
        bool safetyFired = false;
        QTimer safety;
        safety.setSingleShot(true);
        QObject::connect(&safety, &QTimer::timeout, [&] {
            safetyFired = true;
            QCoreApplication::quit();
        });
        safety.start(15000);
        const int code = startup.Run();
        EXPECT_FALSE(safetyFired) << "the program did not end by itself";
        return code;
    }
    // As a module that finds its database missing does during creation; a
    // later processEvents swallows the queued quit, the flag still ends the loop.
    void RunWithEndRequestedDuringStart()
    {
        TApplicationStartup startup({QStringLiteral("tovix2")});
        startup.SplashMinShowMs = 50;
        startup.Start();
        TerminateApplication();
        QCoreApplication::processEvents();
        RunWithSafetyNet(startup);
        startup.Shutdown();
    }
    // Every "key=value" line of an INI file.
    int CountEntries(const QString& name)
    {
        QFile file(m_folder.File(name));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return -1;
        int count = 0;
        for (const QByteArray& line : file.readAll().split('\n'))
            if (line.contains('=') && !line.startsWith(';'))
                ++count;
        return count;
    }

    TempFolder m_folder;
    MessageAnswerer m_answers;
    QStringList m_steps;
};
}  // namespace

TEST_F(StartupTest, ClosingTheMainWindowEndsTheProgramAndLeavesBothFiles)
{
    {
        TApplicationStartup startup({QStringLiteral("tovix2")});
        startup.SplashMinShowMs = 50;
        std::signal(SIGXFSZ, SIG_DFL);
        startup.Start();
        ASSERT_NE(FormMain, nullptr);
        EXPECT_EQ(QApplication::applicationName(), QStringLiteral("Tovix 2"));
        // A file size limit fails a save instead of ending the program.
        EXPECT_EQ(std::signal(SIGXFSZ, SIG_DFL), SIG_IGN);
        // Alt+F4: the window's system close, once it is up and the role shown.
        QTimer::singleShot(300, FormMain, [] { FormMain->close(); });
        EXPECT_EQ(RunWithSafetyNet(startup), 0);
        EXPECT_EQ(LogonRole, RoleAdmin);
        startup.Shutdown();
    }
    EXPECT_EQ(m_steps,
              (QStringList{QStringLiteral("open FormSettings.ini"), QStringLiteral("create TDModOptions"),
                           QStringLiteral("create TDModLocalData"), QStringLiteral("create TFormMain"),
                           QStringLiteral("create TFormHidden"), QStringLiteral("create TDataModuleImages"),
                           QStringLiteral("create TDModMaintenance"), QStringLiteral("destroy TDModMaintenance"),
                           QStringLiteral("destroy TDataModuleImages"), QStringLiteral("destroy TFormHidden"),
                           QStringLiteral("destroy TFormMain"), QStringLiteral("destroy TDModLocalData"),
                           QStringLiteral("destroy TDModOptions"), QStringLiteral("close FormSettings.ini")}));
    EXPECT_EQ(FormMain, nullptr);
    EXPECT_EQ(DModOptions, nullptr);
    EXPECT_EQ(CountEntries(QStringLiteral("Settings.ini")), 26);
    TNProfileFile placement(m_folder.File(QStringLiteral("FormSettings.ini")));
    EXPECT_TRUE(placement.ValueExists(QStringLiteral("TFormMain"), QStringLiteral("Maximized")));
    EXPECT_TRUE(placement.ValueExists(QStringLiteral("TFormMain"), QStringLiteral("pnlEmbedContactsWidth")));
    EXPECT_TRUE(placement.ValueExists(QStringLiteral("TFormMain"), QStringLiteral("pnlEmbedRecipientsHeight")));
    EXPECT_TRUE(m_answers.Texts().isEmpty()) << qPrintable(m_answers.Texts().join(QLatin1Char('\n')));
}

namespace {
// Every box the program shows, and whether the main window still stood then.
class BoxesAtClose {
public:
    BoxesAtClose()
    {
        m_previous = SetMessageHandler([this](const TMessageRequest& request) {
            Texts << request.Text;
            MainWindowUp << (FormMain != nullptr);
            return int(mbOK);
        });
    }
    ~BoxesAtClose() { SetMessageHandler(m_previous); }
    QStringList Texts;
    QList<bool> MainWindowUp;

private:
    TMessageHandler m_previous;
};
}  // namespace

// Another program holds the local database's write lock at Alt+F4: the open
// folders cannot be stored. The close still ends within its bound, and the
// failure is told once, while the main window stands (not from a destructor).
TEST_F(StartupTest, ClosingUnderAnotherWritersLockEndsInTimeAndTellsOnce)
{
    BoxesAtClose boxes;
    {
        TApplicationStartup startup({QStringLiteral("tovix2")});
        startup.SplashMinShowMs = 50;
        startup.Start();
        ASSERT_NE(FormMain, nullptr);
        WriteLockHolder lock(m_folder.File(QStringLiteral("LocalData2.mdb")));
        ASSERT_TRUE(lock.Held());
        QTimer::singleShot(300, FormMain, [] { FormMain->close(); });
        EXPECT_EQ(RunWithSafetyNet(startup), 0);
        QElapsedTimer closing;
        closing.start();
        startup.Shutdown();
        EXPECT_LT(closing.elapsed(), 4000);
        EXPECT_FALSE(startup.EndsAtOnce());
    }
    ASSERT_EQ(boxes.Texts.size(), 1) << qPrintable(boxes.Texts.join(u'\n'));
    EXPECT_TRUE(boxes.Texts[0].contains(QStringLiteral("open folders"))) << qPrintable(boxes.Texts[0]);
    EXPECT_TRUE(boxes.Texts[0].contains(QStringLiteral("another program is writing to the file")));
    EXPECT_EQ(boxes.MainWindowUp, QList<bool>{true});
    EXPECT_EQ(CountEntries(QStringLiteral("Settings.ini")), 26);
}

// A full disk at the close (here a file size limit): neither settings file
// is left empty or cut short, and what could not be written is named in one
// box, before the windows go.
TEST_F(StartupTest, ClosingOnAFullDiskKeepsTheSettingsFilesAndTellsOnce)
{
    {
        TApplicationStartup startup({QStringLiteral("tovix2")});
        startup.SplashMinShowMs = 50;
        startup.Start();
        QTimer::singleShot(300, FormMain, [] { FormMain->close(); });
        EXPECT_EQ(RunWithSafetyNet(startup), 0);
    }
    const int placements = CountEntries(QStringLiteral("FormSettings.ini"));
    ASSERT_GT(placements, 3);
    WriteSetting(QStringLiteral("LogonAsUser"), QStringLiteral("1"));
    BoxesAtClose boxes;
    {
        TApplicationStartup startup({QStringLiteral("tovix2")});
        startup.SplashMinShowMs = 50;
        startup.Start();
        QTimer::singleShot(300, FormMain, [] {
            // Options changed in this run are to be written at the close.
            Options->OptionByName(QStringLiteral("PopupWinDelay"))->SetValue(9);
            FormMain->resize(FormMain->size() + QSize(7, 5));
            FormMain->close();
        });
        EXPECT_EQ(RunWithSafetyNet(startup), 0);
        const FileSizeLimit full(16);
        startup.Shutdown();
    }
    EXPECT_EQ(CountEntries(QStringLiteral("Settings.ini")), 26);
    EXPECT_EQ(CountEntries(QStringLiteral("FormSettings.ini")), placements);
    ASSERT_EQ(boxes.Texts.size(), 1) << qPrintable(boxes.Texts.join(u'\n'));
    EXPECT_TRUE(boxes.Texts[0].contains(m_folder.File(QStringLiteral("Settings.ini")))) << qPrintable(boxes.Texts[0]);
    EXPECT_TRUE(boxes.Texts[0].contains(m_folder.File(QStringLiteral("FormSettings.ini"))));
    EXPECT_EQ(boxes.MainWindowUp, QList<bool>{true});
}

TEST_F(StartupTest, LeftAloneTheShownProgramRunsItsUpdatesABoundedNumberOfTimes)
{
    TApplicationStartup startup({QStringLiteral("tovix2")});
    startup.SplashMinShowMs = 0;
    startup.Start();
    ASSERT_NE(FormMain, nullptr);
    FormMain->show();
    // The panes come at the first turns of the loop; then every update has
    // run at least once.
    ASSERT_TRUE(WaitUntil([] { return FormMain->FormFoldersTree != nullptr; }));
    const long long settled = IdleHandlerRuns() + 3;
    ASSERT_TRUE(WaitUntil([&] { return IdleHandlerRuns() >= settled; }));
    // Two seconds of one loop woken by nothing but its own end.
    const long long before = IdleHandlerRuns();
    QEventLoop loop;
    QTimer::singleShot(2000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_LE(IdleHandlerRuns() - before, 6);
    FormMain->close();
    startup.Shutdown();
}

TEST_F(StartupTest, EmbeddingInAnyCaseSuppressesTheSplash)
{
    TApplicationStartup startup({QStringLiteral("tovix2"), QStringLiteral("-EmBeDdInG")});
    startup.Start();
    EXPECT_TRUE(StartedAsComServer());
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<TFormAbout*>(w), nullptr);
    startup.Shutdown();

    SetStartedAsComServer(false);
    m_steps.clear();
    TApplicationStartup plain({QStringLiteral("tovix2")});
    plain.SplashMinShowMs = 50;
    plain.Start();
    EXPECT_FALSE(StartedAsComServer());
    bool splashShown = false;
    for (QWidget* w : QApplication::topLevelWidgets())
        splashShown = splashShown || qobject_cast<TFormAbout*>(w);
    EXPECT_TRUE(splashShown);
    plain.Shutdown();
}

TEST_F(StartupTest, CancelledLogonAtStartEndsTheProgramWithItsMessage)
{
    WriteSetting(QStringLiteral("LogonOnStart"), QStringLiteral("1"));
    TApplicationStartup startup({QStringLiteral("tovix2")});
    startup.SplashMinShowMs = 50;
    startup.Start();
    WhenModal<TFormLogon>([](TFormLogon* d) { d->btnCancel->click(); });
    RunWithSafetyNet(startup);
    startup.Shutdown();
    EXPECT_EQ(m_answers.Texts(), QStringList{QStringLiteral("Tovix : Logon Unsuccessful. Exiting.")});
    ASSERT_EQ(m_answers.Requests().size(), 1);
    EXPECT_EQ(m_answers.Requests().at(0).Type, TMsgDlgType::mtWarning);
    EXPECT_EQ(LogonRole, RoleUser);
}

TEST_F(StartupTest, WrongPasswordThreeTimesThenRightAtStart)
{
    WriteSetting(QStringLiteral("LogonOnStart"), QStringLiteral("1"));
    WriteSetting(QStringLiteral("LogonAsUser"), QStringLiteral("1"));
    WriteSetting(QStringLiteral("UserPassword"), QStringLiteral("\"Secret\""));
    TApplicationStartup startup({QStringLiteral("tovix2")});
    startup.SplashMinShowMs = 50;
    startup.Start();
    WhenModal<TFormLogon>([](TFormLogon* d) {
        for (int i = 0; i < 3; ++i) {
            d->edtUserPassword->setText(QStringLiteral("nope"));
            d->btnOK->click();
        }
        d->edtUserPassword->setText(QStringLiteral("sEcReT"));
        d->btnOK->click();
        QTimer::singleShot(200, FormMain, [] { FormMain->close(); });
    });
    RunWithSafetyNet(startup);
    EXPECT_EQ(LogonRole, RoleUser);
    startup.Shutdown();
    EXPECT_EQ(m_answers.Texts(), QStringList(3, QStringLiteral("Wrong User Password. Please try again.")));
}

TEST_F(StartupTest, RequestToEndBeforeTheLoopEndsItAtTheFirstTurn)
{
    WriteSetting(QStringLiteral("LogonOnStart"), QStringLiteral("1"));
    RunWithEndRequestedDuringStart();
    // The start-up logon closed as cancelled at once, with its message.
    EXPECT_EQ(m_answers.Texts(), QStringList{QStringLiteral("Tovix : Logon Unsuccessful. Exiting.")});
    EXPECT_EQ(m_steps.last(), QStringLiteral("close FormSettings.ini"));
}

TEST_F(StartupTest, RequestToEndBeforeTheLoopEndsItWithoutLogonToo)
{
    // Nothing closes the main window here: only the recorded request ends the loop.
    RunWithEndRequestedDuringStart();
    EXPECT_TRUE(m_answers.Texts().isEmpty());
}

TEST_F(StartupTest, TerminationSignalEndsTheProgramLikeAClose)
{
    TQuitOnSignal quitOnSignal;
    {
        TApplicationStartup startup({QStringLiteral("tovix2")});
        startup.SplashMinShowMs = 50;
        startup.Start();
        QTimer::singleShot(300, FormMain, [] { std::raise(SIGTERM); });
        RunWithSafetyNet(startup);
        startup.Shutdown();
    }
    EXPECT_EQ(CountEntries(QStringLiteral("Settings.ini")), 26);
    EXPECT_TRUE(TNProfileFile(m_folder.File(QStringLiteral("FormSettings.ini")))
                    .ValueExists(QStringLiteral("TFormMain"), QStringLiteral("Maximized")));
}

// Ended by a signal (a session log-out) nobody may be there to answer a box:
// what failed at the close goes to standard error, once.
TEST_F(StartupTest, FailuresOfACloseBySignalGoToStandardError)
{
    BoxesAtClose boxes;
    TQuitOnSignal quitOnSignal;
    testing::internal::CaptureStderr();
    {
        TApplicationStartup startup({QStringLiteral("tovix2")});
        startup.SplashMinShowMs = 50;
        startup.Start();
        WriteLockHolder lock(m_folder.File(QStringLiteral("LocalData2.mdb")));
        QTimer::singleShot(300, FormMain, [] { std::raise(SIGTERM); });
        RunWithSafetyNet(startup);
        startup.Shutdown();
    }
    const QString err = QString::fromStdString(testing::internal::GetCapturedStderr());
    EXPECT_TRUE(boxes.Texts.isEmpty()) << qPrintable(boxes.Texts.join(u'\n'));
    EXPECT_EQ(err.count(QStringLiteral("The open folders of the folder tree could not be stored")), 1)
        << qPrintable(err);
}

TEST_F(StartupTest, TheSameSignalArrivingTwiceAtOnceStillEndsInOrder)
{
    // timeout(1) and session managers signal the process and its group: the
    // two copies of one request must not be taken for a stuck shut-down.
    TQuitOnSignal quitOnSignal;
    {
        TApplicationStartup startup({QStringLiteral("tovix2")});
        startup.SplashMinShowMs = 50;
        startup.Start();
        QTimer::singleShot(300, FormMain, [] {
            std::raise(SIGTERM);
            std::raise(SIGTERM);
        });
        RunWithSafetyNet(startup);
        startup.Shutdown();
    }
    EXPECT_EQ(CountEntries(QStringLiteral("Settings.ini")), 26);
}

TEST_F(StartupTest, TerminationSignalDuringAStartUpBoxClosesItAndEndsTheProgram)
{
    // A real box, before the event loop runs: the missing database's.
    const TMessageHandler answers = SetMessageHandler({});
    InstallWidgetMessageBoxes();
    QFile::remove(m_folder.File(QStringLiteral("LocalData2.mdb")));
    TQuitOnSignal quitOnSignal;
    QElapsedTimer sinceSignal;
    QString boxOpen;
    QTimer::singleShot(300, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            boxOpen = box->text();
        sinceSignal.start();
        std::raise(SIGTERM);
    });
    {
        TApplicationStartup startup({QStringLiteral("tovix2")});
        startup.SplashMinShowMs = 50;
        startup.Start();
        RunWithSafetyNet(startup);
        startup.Shutdown();
    }
    SetMessageHandler(answers);
    EXPECT_TRUE(boxOpen.contains(QStringLiteral("LocalData2.mdb"))) << qPrintable(boxOpen);
    ASSERT_TRUE(sinceSignal.isValid());
    // Well short of the safety net: the box goes with the signal, not after
    // some wait of its own. A loaded machine may take a second or more.
    EXPECT_LT(sinceSignal.elapsed(), 5000);
    EXPECT_GT(CountEntries(QStringLiteral("Settings.ini")), 0);
}

TEST_F(StartupTest, MissingLocalDatabaseEndsTheProgramWithoutCreatingIt)
{
    QFile::remove(m_folder.File(QStringLiteral("LocalData2.mdb")));
    {
        TApplicationStartup startup({QStringLiteral("tovix2")});
        startup.SplashMinShowMs = 50;
        startup.Start();
        RunWithSafetyNet(startup);
        startup.Shutdown();
    }
    EXPECT_EQ(m_answers.Texts(), QStringList{QStringLiteral("Error: \"LocalData2.mdb\" database file not found in the "
                                                            "application's folder.\r\rExiting ...")})
        << qPrintable(m_answers.Texts().join(QLatin1Char('\n')));
    EXPECT_FALSE(QFile::exists(m_folder.File(QStringLiteral("LocalData2.mdb"))));
}

TEST_F(StartupTest, ASecondCopySaysTheProgramRunsAndTouchesNoFile)
{
    // Every file of the program folder, with its bytes.
    const auto snapshot = [this] {
        QMap<QString, QByteArray> files;
        const QDir dir(m_folder.Path());
        for (const QString& name : dir.entryList(QDir::Files)) {
            QFile file(dir.filePath(name));
            files[name] = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
        }
        return files;
    };
    LockHolderProcess firstCopy;
    ASSERT_TRUE(firstCopy.Start(InstanceLockPath(m_folder.Path())));
    const auto before = snapshot();
    {
        TApplicationStartup startup({QStringLiteral("tovix2")});
        startup.SplashMinShowMs = 50;
        startup.Start();
        EXPECT_TRUE(startup.AlreadyRunning());
        EXPECT_EQ(FormMain, nullptr);
        EXPECT_EQ(startup.Run(), 0);
        startup.Shutdown();
    }
    EXPECT_EQ(m_steps, QStringList{QStringLiteral("already running")});
    ASSERT_EQ(m_answers.Requests().size(), 1);
    EXPECT_EQ(m_answers.Requests()[0].Text, QStringLiteral("Tovix 2 is already running."));
    EXPECT_EQ(m_answers.Requests()[0].Type, TMsgDlgType::mtInformation);
    EXPECT_EQ(snapshot(), before);
    // Once the first copy is gone, even by a crash, the program starts.
    firstCopy.Kill();
    m_steps.clear();
    TApplicationStartup startup({QStringLiteral("tovix2")});
    startup.SplashMinShowMs = 50;
    startup.Start();
    EXPECT_FALSE(startup.AlreadyRunning());
    EXPECT_NE(FormMain, nullptr);
    startup.Shutdown();
    EXPECT_TRUE(m_steps.contains(QStringLiteral("create TDModLocalData")));
}

TEST_F(StartupTest, MaintenanceActionsEmptyTheOutBoxAndTheLog)
{
    TApplicationStartup startup({QStringLiteral("tovix2")});
    startup.SplashMinShowMs = 50;
    startup.Start();
    ASSERT_NE(FormMain, nullptr);
    {
        TNConnection db;
        db.SetDatabasePath(m_folder.File(QStringLiteral("LocalData2.mdb")));
        db.Open();
        db.ExecSQL(QStringLiteral("insert into SentMessageTexts (ID, Message) values (1, 'x')"), {});
        db.ExecSQL(QStringLiteral("insert into SentMessages (SentMessageTextID, Name) values (1, 'r')"), {});
        db.ExecSQL(QStringLiteral("insert into OutMessageTexts (ID, MessageText) values (7, 'y')"), {});
        db.ExecSQL(QStringLiteral("insert into OutMessages (MessageTextID, Name) values (7, 'r')"), {});
        FormMain->actClearSentMessagesTables->trigger();
        EXPECT_EQ(db.QueryValue(QStringLiteral("select count(*) from SentMessages"), {}).toInt(), 0);
        EXPECT_EQ(db.QueryValue(QStringLiteral("select count(*) from SentMessageTexts"), {}).toInt(), 0);
        EXPECT_EQ(db.QueryValue(QStringLiteral("select count(*) from OutMessages"), {}).toInt(), 1);
        FormMain->actClearOutMessagesTables->trigger();
        EXPECT_EQ(db.QueryValue(QStringLiteral("select count(*) from OutMessages"), {}).toInt(), 0);
        EXPECT_EQ(db.QueryValue(QStringLiteral("select count(*) from OutMessageTexts"), {}).toInt(), 0);
    }
    startup.Shutdown();
    EXPECT_TRUE(m_answers.Texts().isEmpty()) << qPrintable(m_answers.Texts().join(QLatin1Char('\n')));
}

TEST_F(StartupTest, AnErrorWhileTheModulesAreMadeIsShownAndEndsTheProgramInOrder)
{
    {
        // An address book of a type no client class is registered for.
        TNConnection db;
        db.SetDatabasePath(m_folder.File(QStringLiteral("LocalData2.mdb")));
        db.Open();
        db.ExecSQL(QStringLiteral("insert into Databases (TypeNo, Name, OrderNo, Data, GUID) "
                                  "values (99, 'Odd', 2, '', '{00000000-0000-0000-0000-000000000099}')"),
                   {});
    }
    {
        TApplicationStartup startup({QStringLiteral("tovix2")});
        startup.SplashMinShowMs = 50;
        startup.Start();
        EXPECT_TRUE(startup.Failed());
        EXPECT_TRUE(TerminateRequested());
        EXPECT_EQ(FormMain, nullptr);
        // No window comes up and no loop runs.
        EXPECT_EQ(startup.Run(), 1);
        startup.Shutdown();
    }
    EXPECT_EQ(m_answers.Texts(), QStringList{QStringLiteral("No registered DataClientClass for TypeNo= 99.")});
    ASSERT_EQ(m_answers.Requests().size(), 1);
    EXPECT_EQ(m_answers.Requests().at(0).Type, TMsgDlgType::mtError);
    EXPECT_EQ(m_steps, (QStringList{QStringLiteral("open FormSettings.ini"), QStringLiteral("create TDModOptions"),
                                    QStringLiteral("start-up failed"), QStringLiteral("destroy TDModOptions"),
                                    QStringLiteral("close FormSettings.ini")}));
    EXPECT_EQ(DModOptions, nullptr);
    EXPECT_EQ(CountEntries(QStringLiteral("Settings.ini")), 26);
}

TEST(EventErrors, AreShownOnceAndTheEventCountsAsUnhandled)
{
    MessageAnswerer answers;
    EXPECT_TRUE(DeliverShowingErrors([] { return true; }));
    EXPECT_FALSE(DeliverShowingErrors([]() -> bool { throw std::runtime_error("Table is locked"); }));
    EXPECT_EQ(answers.Texts(), QStringList{QStringLiteral("Table is locked.")});
    EXPECT_EQ(answers.Requests().at(0).Type, TMsgDlgType::mtError);

    // An error raised while its box is up (the window behind it repainting)
    // is logged, not stacked as a second box.
    answers.Clear();
    int nested = 0;
    TMessageHandler previous;
    previous = SetMessageHandler([&](const TMessageRequest& request) {
        if (nested++ == 0)
            DeliverShowingErrors([]() -> bool { throw std::runtime_error("again"); });
        return previous(request);
    });
    EXPECT_FALSE(DeliverShowingErrors([]() -> bool { throw std::logic_error("first."); }));
    SetMessageHandler(previous);
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(answers.Texts(), QStringList{QStringLiteral("first.")});

    EXPECT_FALSE(DeliverShowingErrors([]() -> bool { throw 42; }));
    EXPECT_EQ(answers.Texts().last(), QStringLiteral("Unknown error."));
}
