// The server settings editors: their settings texts and checks, and the
// connection tests against the simulator's TCP door and automation door
// (on the private session bus), run on a worker while the window stays live.
#include "data/datakinds.h"
#include "foundation/browsecomputer.h"
#include "messaging/comserver.h"
#include "messaging/dispatcher.h"
#include "messaging/serverslist.h"
#include "messaging/tcpserver.h"
#include "pagingserversim.h"
#include "support/messageanswerer.h"
#include "ui/plugins/servercom.h"
#include "ui/plugins/servertcp.h"
#include "ui/plugins/servertestrunner.h"
#include "ui_main/eventwaits.h"

#include <gtest/gtest.h>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "editorfixture.h"

namespace {

TSimOptions Loopback(TSimLogon logon = TSimLogon::Ok)
{
    TSimOptions options;
    options.listenAddress = QHostAddress(QHostAddress::LocalHost);
    options.port = 0;
    options.logon = logon;
    return options;
}

int Logons(const TPagingServerSim& sim)
{
    int count = 0;
    for (const TSimFrame& frame : sim.ReceivedFrames())
        count += frame.Word() == QLatin1String("LOGON") ? 1 : 0;
    return count;
}

// Clicks the test button and waits for the boxes of the test.
QStringList RunTest(TFormBaseServerEmbedEditor& editor, TServerTestRunner& runner, MessageAnswerer& answerer)
{
    answerer.Clear();
    Control<QPushButton>(&editor, "btnTestConnection")->click();
    EXPECT_TRUE(WaitUntil([&] { return !runner.Busy(); }, 20000));
    return answerer.Texts();
}

}  // namespace

TEST(TcpServerEditor, SettingsTextPortRangeAndAddressChecks)
{
    MessageAnswerer answerer;
    TFormTcpServerEmbedEditor editor;
    auto* port = Control<QSpinBox>(&editor, "updPortNumber");
    EXPECT_EQ(port->value(), 215);
    EXPECT_FALSE(editor.ValidateData());
    EXPECT_EQ(answerer.Texts(), QStringList{QStringLiteral("Error: IP Address string can't be empty.")});

    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral(" 10.0.0.5 ,5000,")));
    EXPECT_EQ(port->value(), 5000);  // a stored port above 1000 stays as it is
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral("10.0.0.5,5000,"));
    EXPECT_TRUE(editor.ValidateData());
    for (const char* text : {"10.0.0.5,abc,", "10.0.0.5,,", "10.0.0.5,0,", "10.0.0.5,65536,"}) {
        port->setValue(999);
        editor.PutDataAsCSVString(QString::fromLatin1(text));
        EXPECT_EQ(port->value(), 215) << text;
    }
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral("10.0.0.5,65535")));
    EXPECT_EQ(port->value(), 65535);
    EXPECT_FALSE(EditorErrorOf([&] { editor.PutDataAsCSVString(QStringLiteral("10.0.0.5")); }).isEmpty());

    answerer.Clear();
    Control<QLineEdit>(&editor, "edtIPAddress")->setText(QStringLiteral("10.0.5"));
    EXPECT_FALSE(editor.ValidateData());
    EXPECT_EQ(answerer.Texts(), QStringList{QStringLiteral("Error: IP Address string has invalid format.")});
}

TEST(TcpServerEditor, ConnectionTestAgainstTheSimulatorLeavesNoLinkBehind)
{
    MessageAnswerer answerer;
    TPagingServerSim sim(Loopback());
    ASSERT_TRUE(sim.Start());
    TFormTcpServerEmbedEditor editor;
    editor.PutDataAsCSVString(QStringLiteral("127.0.0.1,%1,").arg(sim.Port()));

    EXPECT_EQ(RunTest(editor, editor.TestRunner(), answerer), QStringList{QStringLiteral("Connection Successful !")});
    EXPECT_EQ(Logons(sim), 1);
    EXPECT_EQ(ServersList.LiveCount(), 0);
    EXPECT_TRUE(WaitUntil([&] { return sim.OpenConnections() == 0; }));  // the temporary link is gone

    TSimOptions refusing = sim.Options();
    refusing.logon = TSimLogon::Deny;
    refusing.denyText = QStringLiteral("Unknown client");
    sim.SetOptions(refusing);
    EXPECT_EQ(
        RunTest(editor, editor.TestRunner(), answerer),
        QStringList{QStringLiteral("Tovix Server refuses LogOn with the following message: \r\r\"Unknown client\"")});
    EXPECT_EQ(ServersList.LiveCount(), 0);
    EXPECT_TRUE(WaitUntil([&] { return sim.OpenConnections() == 0; }));

    const quint16 port = sim.Port();
    sim.Stop();
    editor.PutDataAsCSVString(QStringLiteral("127.0.0.1,%1,").arg(port));
    const QStringList texts = RunTest(editor, editor.TestRunner(), answerer);
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].startsWith(QLatin1String("There doesn't seem to be a server running listening")));
    EXPECT_EQ(ServersList.LiveCount(), 0);
}

TEST(TcpServerEditor, LoggedOnLiveLinkIsReportedWithoutConnectingAndStaysListed)
{
    MessageAnswerer answerer;
    TPagingServerSim sim(Loopback());
    ASSERT_TRUE(sim.Start());
    auto* live = new TTcpServer(QStringLiteral("127.0.0.1"), sim.Port());
    ASSERT_EQ(live->SafeConnect(kLogonTimeoutMs), crConnected);
    ASSERT_TRUE(ServersList.AddConnected(live));
    TFormTcpServerEmbedEditor editor;
    editor.PutDataAsCSVString(QStringLiteral("127.0.0.1,%1,").arg(sim.Port()));

    answerer.Clear();
    Control<QPushButton>(&editor, "btnTestConnection")->click();
    EXPECT_FALSE(editor.TestRunner().Busy());  // answered at once, nothing connects
    EXPECT_EQ(answerer.Texts(), QStringList{QStringLiteral("Connection Successful !")});
    EXPECT_EQ(Logons(sim), 1);
    EXPECT_EQ(sim.OpenConnections(), 1);
    EXPECT_EQ(ServersList.LiveCount(), 1);
    ServersList.FreeAll();
}

TEST(ComServerEditor, SettingsTextAndHostCheck)
{
    MessageAnswerer answerer;
    TFormComServerEmbedEditor editor;
    EXPECT_FALSE(editor.ValidateData());
    EXPECT_EQ(answerer.Texts(), QStringList{QStringLiteral("Error: Host Name can't be empty.")});
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral("x,1,\" pc7 \"")));
    EXPECT_EQ(Control<QLineEdit>(&editor, "edtHostName")->text(), QStringLiteral(" pc7 "));
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral(",,pc7"));
    EXPECT_TRUE(editor.ValidateData());

    // Cancelling the computer picker keeps the name; OK takes the pick.
    auto* host = Control<QLineEdit>(&editor, "edtHostName");
    WhenModal<TNBrowseComputerDialog>([](TNBrowseComputerDialog* dialog) { dialog->reject(); });
    Control<QPushButton>(&editor, "btnSelectHost")->click();
    EXPECT_EQ(host->text(), QStringLiteral(" pc7 "));
    WhenModal<TNBrowseComputerDialog>([](TNBrowseComputerDialog* dialog) {
        dialog->NameEdit()->setText(QStringLiteral("pc9"));
        dialog->accept();
    });
    Control<QPushButton>(&editor, "btnSelectHost")->click();
    EXPECT_EQ(host->text(), QStringLiteral("pc9"));

    EXPECT_EQ(EditorErrorOf([&] { editor.PutDataAsCSVString(QStringLiteral(",")); }),
              QStringLiteral("List index out of bounds (2)"));
}

TEST(ComServerEditor, ConnectionTestThroughTheAutomationDoor)
{
    const QString busName = QStringLiteral("org.tovix.PagingServer.EditorTest");
    RegisterLinkFactory(SERVER_TYPE_COM_NO, [busName](const QString& host, qint32, const QString&) -> TBaseServer* {
        return new TComServer(host, busName);
    });
    MessageAnswerer answerer;
    TFormComServerEmbedEditor editor;
    editor.PutDataAsCSVString(QStringLiteral(",,pc1"));
    {
        TSimOptions options;
        options.tcpDoor = false;
        options.automationDoor = true;
        options.busName = busName;
        TPagingServerSim sim(options);
        ASSERT_TRUE(sim.Start());
        EXPECT_EQ(RunTest(editor, editor.TestRunner(), answerer),
                  QStringList{QStringLiteral("Connection Successful !")});
        EXPECT_EQ(Logons(sim), 1);
    }
    // Nobody owns the name now: not installed.
    EXPECT_EQ(RunTest(editor, editor.TestRunner(), answerer),
              QStringList{QStringLiteral("Error trying to connect to the Server at Host = \"pc1\"\r\r : There doesn't "
                                         "seem to be TovixServer installed on that workstation!!!")});
    EXPECT_EQ(answerer.Requests().last().Type, TMsgDlgType::mtError);
    EXPECT_EQ(ServersList.LiveCount(), 0);
    RegisterLinkFactory(SERVER_TYPE_COM_NO, [](const QString& host, qint32, const QString&) -> TBaseServer* {
        return new TComServer(host);
    });
}
