// The address-book settings editors: the local book's folder and its
// connection test on real files; the shared book's settings, its server-name
// list and connection test against the simulator's remote data door.
#include "db/databasefiles.h"
#include "platform/commatext.h"
#include "remotedatasim.h"
#include "support/messageanswerer.h"
#include "support/tempfolder.h"
#include "ui/plugins/databaselocal.h"
#include "ui/plugins/databaseshared.h"
#include "ui_main/eventwaits.h"

#include <gtest/gtest.h>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include "editorfixture.h"

namespace {
const QString kServer = QStringLiteral("TovixServer.TovixRemoteDataModule");
}

TEST(AccessLocalEditor, FolderWithOrWithoutSeparatorAndTheConnectionTest)
{
    TempFolder folder;
    QDir().mkpath(folder.File(QStringLiteral("book")));
    const QString bookFolder = folder.File(QStringLiteral("book"));
    CreateAddressBookFile(bookFolder + QStringLiteral("/") + AddressBookFileName());
    MessageAnswerer answerer;
    TFormEmbedAccessLocalEditor editor;
    auto* edit = Control<QLineEdit>(&editor, "edtFolder");

    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral("\"  %1  \"").arg(bookFolder)));
    EXPECT_EQ(editor.GetDataAsCSVString(), CommaTextFromList({bookFolder}));
    EXPECT_TRUE(editor.ValidateData());
    edit->setText(bookFolder + QStringLiteral("/"));
    EXPECT_TRUE(editor.ValidateData());
    Control<QPushButton>(&editor, "btnTestConnection")->click();
    EXPECT_EQ(answerer.Texts(), QStringList{QStringLiteral("Connection Test successful !")});

    answerer.Clear();
    edit->setText(QStringLiteral("   "));
    EXPECT_FALSE(editor.ValidateData());
    Control<QPushButton>(&editor, "btnTestConnection")->click();
    EXPECT_EQ(answerer.Texts(),
              QStringList({QStringLiteral("Error: there is no database file (\"Tovix2Database.mdb\") at the specified "
                                          "folder !"),
                           QStringLiteral("Path to the database can't be empty. Please specify a valid path.")}));

    // A folder without the file, and a file that is no address book: both
    // fail the test, and the test leaves no file behind.
    answerer.Clear();
    edit->setText(folder.Path());
    Control<QPushButton>(&editor, "btnTestConnection")->click();
    EXPECT_FALSE(QFile::exists(folder.File(AddressBookFileName())));
    QFile junk(folder.File(AddressBookFileName()));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a database");
    junk.close();
    Control<QPushButton>(&editor, "btnTestConnection")->click();
    ASSERT_EQ(answerer.Requests().size(), 4);
    for (int i : {0, 2}) {
        EXPECT_EQ(answerer.Requests()[i].Text,
                  QStringLiteral("Connection Test failed. Please select folder containing a database file!"));
        EXPECT_EQ(answerer.Requests()[i + 1].Type, TMsgDlgType::mtError);
    }
}

TEST(AccessSharedEditor, DefaultsValidationAndLoad)
{
    MessageAnswerer answerer;
    TFormEmbedAccessSharedEditor editor;
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral("127.0.0.1,211,,\" \""));
    EXPECT_FALSE(editor.ValidateData());
    EXPECT_EQ(answerer.Texts(), QStringList{QStringLiteral("Error: Please specify Server Name !")});

    EXPECT_EQ(EditorErrorOf([&] { editor.PutDataAsCSVString(QStringLiteral("host,211,Srv")); }),
              QStringLiteral("List index out of bounds (3)"));
    EXPECT_EQ(Control<QLineEdit>(&editor, "edtHost")->text(), QStringLiteral("host"));

    answerer.Clear();
    EXPECT_TRUE(editor.PutDataAsCSVString(QStringLiteral(" host ,70000,Srv,{G}")));
    EXPECT_FALSE(editor.ValidateData()) << "a port no socket can use";
    EXPECT_EQ(answerer.Texts(), QStringList{QStringLiteral("Error: Port must be a number from 1 to 65535 !")});
    EXPECT_EQ(editor.GetDataAsCSVString(), QStringLiteral("host,70000,Srv,{G}"));
}

TEST(AccessSharedEditor, ServerNamesGuidsAndTheConnectionTestThroughTheDoor)
{
    TempFolder folder;
    TSimDataOptions options;
    options.listenAddress = QHostAddress(QHostAddress::LocalHost);
    options.port = 0;
    options.books = {
        {kServer, QStringLiteral("{AAAAAAAA-0000-0000-0000-000000000001}"), folder.File("a.db")},
        {QStringLiteral("Other"), QStringLiteral("{BBBBBBBB-0000-0000-0000-000000000002}"), folder.File("b.db")}};
    TRemoteDataSim sim(options);
    ASSERT_TRUE(sim.Start());
    MessageAnswerer answerer;
    TFormEmbedAccessSharedEditor editor;
    auto* combo = Control<QComboBox>(&editor, "cbServerName");
    Control<QLineEdit>(&editor, "edtPort")->setText(QString::number(sim.Port()));

    // An empty host: only the warning, and the list stays as it was.
    Control<QLineEdit>(&editor, "edtHost")->setText(QStringLiteral("  "));
    combo->showPopup();
    EXPECT_FALSE(editor.IsBusy());
    EXPECT_EQ(answerer.Texts(), QStringList{QStringLiteral("Error: No host name or IP address specified")});
    answerer.Clear();

    Control<QLineEdit>(&editor, "edtHost")->setText(QStringLiteral("127.0.0.1"));
    bool ended = false;
    QObject::connect(&editor, &TFormEmbedAccessSharedEditor::ServerTalkEnded, &editor, [&] { ended = true; });
    combo->showPopup();
    ASSERT_TRUE(WaitUntil([&] { return ended; }));
    combo->hidePopup();
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), kServer);
    combo->setCurrentIndex(1);
    EXPECT_EQ(Control<QLineEdit>(&editor, "edtGUID")->text(), QStringLiteral("{BBBBBBBB-0000-0000-0000-000000000002}"));
    combo->setEditText(QStringLiteral("Unknown"));
    EXPECT_EQ(Control<QLineEdit>(&editor, "edtGUID")->text(), QString());

    ended = false;
    combo->setEditText(kServer);
    Control<QPushButton>(&editor, "btnTestConnection")->click();
    ASSERT_TRUE(WaitUntil([&] { return ended; }));
    EXPECT_EQ(answerer.Texts(), QStringList{QStringLiteral("Connection test SUCCESSFUL !")});

    // A name the server does not serve, then nobody listening.
    answerer.Clear();
    ended = false;
    combo->setEditText(QStringLiteral("Unknown"));
    Control<QPushButton>(&editor, "btnTestConnection")->click();
    ASSERT_TRUE(WaitUntil([&] { return ended; }));
    ASSERT_EQ(answerer.Requests().size(), 2);
    EXPECT_EQ(answerer.Requests()[0].Type, TMsgDlgType::mtError);
    EXPECT_EQ(answerer.Requests()[1].Text, QStringLiteral("Connection test FAILED !"));
    sim.Stop();
    answerer.Clear();
    ended = false;
    Control<QPushButton>(&editor, "btnTestConnection")->click();
    ASSERT_TRUE(WaitUntil([&] { return ended; }, 10000));
    EXPECT_EQ(answerer.Texts().value(1), QStringLiteral("Connection test FAILED !"));
}
