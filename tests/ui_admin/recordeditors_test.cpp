// The contact, carrier and server editors through their list windows on a
// real address book: the carrier a new contact starts on, the settings kept
// per carrier type, a new carrier's defaults and a type without an editor,
// and the server editor hosting the TCP settings editor with its name check.
#include "adminfixture.h"

#include "ui/admin/pickonlycombo.h"
#include "ui/dbcontrols/dbedit.h"
#include "ui/dbcontrols/dblookupcombo.h"

#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSqlQuery>

namespace {
void Choose(QComboBox* box, const QVariant& key)
{
    const int index = box->findData(key);
    ASSERT_GE(index, 0);
    box->setCurrentIndex(index);
    emit box->activated(index);
}

QString EmbeddedClass(const TFormBaseEditor* editor)
{
    return editor->EmbeddedEditor() ? QString::fromLatin1(editor->EmbeddedEditor()->metaObject()->className())
                                    : QString();
}

template <class L, class E>
std::unique_ptr<L> ListOf(const QList<TBaseDataClient*>& books, TDataKind kind)
{
    return TBaseMultiDBGridListForm::ForDataClients<L>(nullptr, &RecordEditorOf<E>, books, kind, false, nullptr);
}

class RecordEditorsTest : public AdminFixture {
protected:
    void SetUp() override
    {
        beforeStart = [this](TBookBuilder& book) {
            const qint32 server = book.Server(QStringLiteral("Other"), 1, QStringLiteral("10.0.0.9,215,"));
            mail = book.Carrier(QStringLiteral("Mail"), 5, server, QStringLiteral("mail.example.org,25,x@y.z"));
            sms2 = book.Carrier(QStringLiteral("SMS2"), 4, server);
            book.Exec(QStringLiteral("insert into CarrierTypes (TypeNo, Name) values (42, 'Pigeon')"));
        };
        AdminFixture::SetUp();
    }
    qint32 mail = 0;
    qint32 sms2 = 0;
};
}  // namespace

TEST_F(RecordEditorsTest, ContactStartsOnTheLastCarrierAndKeepsSettingsPerCarrierType)
{
    const QString section = QStringLiteral("TFormContactEditor");
    FormSettingsIni->WriteInteger(section, QStringLiteral("LastCarrierID"), mail);
    auto contacts = ListOf<TFormContactsListNew, TFormContactEditor>(Books(), dkContacts);
    TNItemInfo info;
    WhenModal<TFormContactEditor>([&](TFormContactEditor* editor) {
        EXPECT_EQ(editor->windowTitle(), QStringLiteral("  New Contact"));
        EXPECT_EQ(editor->dblcbCarriers->KeyValue().toInt(), mail);
        EXPECT_EQ(EmbeddedClass(editor), QStringLiteral("TFormEmbedSMTPContactEditor"));
        Choose(editor->dblcbCarriers, sms2);
        editor->reject();
    });
    contacts->AddRecord(info);
    EXPECT_FALSE(info.Accepted);
    // Whatever the end, the carrier shown at closing is offered next time.
    EXPECT_EQ(FormSettingsIni->ReadInteger(section, QStringLiteral("LastCarrierID"), -1), sms2);

    ASSERT_TRUE(contacts->LocateByID(ids[0]));  // Bob, SMS carrier
    WhenModal<TFormContactEditor>([&](TFormContactEditor* editor) {
        EXPECT_EQ(editor->windowTitle(), QStringLiteral("  Edit Contact"));
        EXPECT_EQ(editor->GetEmbeddedData(), QStringLiteral("555,false"));
        editor->SetEmbeddedData(QStringLiteral("+64215550000,false"));
        Choose(editor->dblcbCarriers, mail);
        EXPECT_EQ(EmbeddedClass(editor), QStringLiteral("TFormEmbedSMTPContactEditor"));
        EXPECT_NE(editor->GetEmbeddedData(), QStringLiteral("+64215550000,false"));  // the new type's defaults
        // Another carrier of the first type: the text typed for that type.
        Choose(editor->dblcbCarriers, sms2);
        EXPECT_EQ(editor->GetEmbeddedData(), QStringLiteral("+64215550000,false"));
        editor->UpdateOkAction();
        editor->btnOK->click();
    });
    contacts->EditRecord(info);
    EXPECT_TRUE(info.Accepted);
    EXPECT_EQ(BookValue(QStringLiteral("select CarrierID from Contacts where Name = 'Bob'")).toInt(), sms2);
    EXPECT_EQ(BookValue(QStringLiteral("select Data from Contacts where Name = 'Bob'")).toString(),
              QStringLiteral("+64215550000,false"));
}

TEST_F(RecordEditorsTest, NewCarrierDefaultsAndATypeWithoutEditorGoesBack)
{
    auto carriers = ListOf<TFormCarriersListNew, TFormCarrierEditorNew>(Books(), dkCarriers);
    EXPECT_EQ(carriers->windowTitle(), QStringLiteral("  Carriers"));
    const qint32 firstServer = BookValue(QStringLiteral("select ID from Servers order by Name limit 1")).toInt();
    TNItemInfo info;
    WhenModal<TFormCarrierEditorNew>([&](TFormCarrierEditorNew* editor) {
        EXPECT_EQ(editor->windowTitle(), QStringLiteral("  New Carrier"));
        EXPECT_EQ(editor->dblcbCarrierType->KeyValue().toInt(), 1);  // the first carrier type
        EXPECT_EQ(editor->dblcbServers->KeyValue().toInt(), firstServer);
        EXPECT_EQ(EmbeddedClass(editor), QStringLiteral("TFormCarrierTAPModem"));
        Choose(editor->dblcbCarrierType, 5);
        EXPECT_EQ(EmbeddedClass(editor), QStringLiteral("TFormCarrierSMTP"));
        const QString smtp = editor->GetEmbeddedData();
        Choose(editor->dblcbCarrierType, 42);
        // The box and the row go back to the type whose editor is shown.
        EXPECT_EQ(Answerer.Texts().value(0),
                  QStringLiteral("There is no Embedded Editor Form for the selected Type:  (TypeID= 42)"));
        EXPECT_EQ(editor->dblcbCarrierType->KeyValue().toInt(), 5);
        EXPECT_EQ(EmbeddedClass(editor), QStringLiteral("TFormCarrierSMTP"));
        EXPECT_EQ(editor->GetEmbeddedData(), smtp);
        QTest::keyClicks(editor->edtCarrierName, QStringLiteral("Post"));
        editor->UpdateOkAction();
        editor->btnOK->click();
        if (editor->isVisible()) {
            ADD_FAILURE() << Answerer.Texts().join(u'|').toStdString();
            editor->reject();
        }
    });
    carriers->AddRecord(info);
    EXPECT_TRUE(info.Accepted);
    EXPECT_EQ(BookValue(QStringLiteral("select TypeNo from Carriers where Name = 'Post'")).toInt(), 5);
    EXPECT_EQ(BookValue(QStringLiteral("select ServerID from Carriers where Name = 'Post'")).toInt(), firstServer);
}

TEST_F(RecordEditorsTest, ServerEditorHostsTheTcpSettingsAndRefusesATakenName)
{
    auto servers = ListOf<TFormServersListNew, TFormServerEditor>(Books(), dkServers);
    TNItemInfo info;
    WhenModal<TFormServerEditor>([&](TFormServerEditor* editor) {
        EXPECT_EQ(editor->windowTitle(), QStringLiteral("  New Server Settings"));
        EXPECT_EQ(editor->cbConnectionType->itemText(0), QStringLiteral("TCP Connection"));
        EXPECT_EQ(EmbeddedClass(editor), QStringLiteral("TFormTcpServerEmbedEditor"));
        editor->SetEmbeddedData(QStringLiteral("127.0.0.1,2150,"));
        // Up and Down step the closed type box; each type keeps its settings.
        QTest::keyClick(editor->cbConnectionType, Qt::Key_Down);
        EXPECT_EQ(EmbeddedClass(editor), QStringLiteral("TFormComServerEmbedEditor"));
        QTest::keyClick(editor->cbConnectionType, Qt::Key_Up);
        EXPECT_EQ(editor->cbConnectionType->currentIndex(), 0);
        EXPECT_EQ(editor->GetEmbeddedData(), QStringLiteral("127.0.0.1,2150,"));
        QTest::keyClicks(editor->dbedtName, QStringLiteral("Other"));
        editor->UpdateOkAction();
        editor->btnOK->click();
        EXPECT_EQ(Answerer.Texts().value(0),
                  QStringLiteral("There already is Tovix Server named: \"Other\". Please enter a different name."));
        EXPECT_TRUE(editor->dbedtName->text().isEmpty());
        QTest::keyClicks(editor->dbedtName, QStringLiteral("Sim"));
        // Alt+O is no accelerator of this editor and types nothing; Alt+K is OK's.
        EXPECT_TRUE(QTest::qWaitForWindowActive(editor));
        QTest::keyClick(editor->dbedtName, 'o', Qt::AltModifier);
        EXPECT_EQ(editor->dbedtName->text(), QStringLiteral("Sim"));
        editor->UpdateOkAction();
        QTest::keyClick(editor->dbedtName, 'k', Qt::AltModifier);
        if (!WaitUntil([editor] { return !editor->isVisible(); })) {
            ADD_FAILURE() << Answerer.Texts().join(u'|').toStdString();
            editor->reject();
        }
    });
    servers->AddRecord(info);
    EXPECT_TRUE(info.Accepted);
    EXPECT_EQ(info.Name, QStringLiteral("Sim"));
    EXPECT_EQ(BookValue(QStringLiteral("select TypeNo from Servers where Name = 'Sim'")).toInt(), 1);
    EXPECT_EQ(BookValue(QStringLiteral("select Data from Servers where Name = 'Sim'")).toString(),
              QStringLiteral("127.0.0.1,2150,"));
}

TEST_F(RecordEditorsTest, ASettingsTextWithTooFewItemsOpensWithItsErrorAndCanBeCorrected)
{
    // The SMS carrier's text holds its first item only; Bob's "555,false"
    // after his carrier became an SNPP one, whose address holds a pager ID
    // and a subject.
    TBookBuilder(world.dbs.AddressBookPath())
        .Exec(QStringLiteral("update Carriers set Data = '+64215550000' where Name = 'SMS'"));
    const qint32 sms = BookValue(QStringLiteral("select ID from Carriers where Name = 'SMS'")).toInt();
    auto carriers = ListOf<TFormCarriersListNew, TFormCarrierEditorNew>(Books(), dkCarriers);
    ASSERT_TRUE(carriers->LocateByID(sms));
    TNItemInfo info;
    WhenModal<TFormCarrierEditorNew>([&](TFormCarrierEditorNew* editor) {
        EXPECT_TRUE(WaitUntil([&] { return !Answerer.Texts().isEmpty(); }));
        EXPECT_EQ(Answerer.Texts(), QStringList{QStringLiteral("List index out of bounds (1)")});
        EXPECT_EQ(EmbeddedClass(editor), QStringLiteral("TFormCarrierSMS"));
        EXPECT_TRUE(editor->GetEmbeddedData().startsWith(QStringLiteral("+64215550000,")))
            << editor->GetEmbeddedData().toStdString();
        // Saved as the editor shows it: with every item.
        editor->UpdateOkAction();
        editor->btnOK->click();
        if (editor->isVisible()) {
            ADD_FAILURE() << Answerer.Texts().join(u'|').toStdString();
            editor->reject();
        }
    });
    carriers->EditRecord(info);
    EXPECT_TRUE(info.Accepted);
    EXPECT_GT(BookValue(QStringLiteral("select Data from Carriers where Name = 'SMS'")).toString().count(u','), 3);

    TBookBuilder(world.dbs.AddressBookPath()).Exec(QStringLiteral("update Carriers set TypeNo = 6 where Name = 'SMS'"));
    auto contacts = ListOf<TFormContactsListNew, TFormContactEditor>(Books(), dkContacts);
    carriers->DataSet()->Refresh();
    ASSERT_TRUE(contacts->LocateByID(ids[0]));
    WhenModal<TFormContactEditor>([&](TFormContactEditor* editor) {
        EXPECT_TRUE(WaitUntil([&] { return Answerer.Texts().size() == 2; }));
        EXPECT_EQ(Answerer.Texts().value(1), QStringLiteral("List index out of bounds (1)"));
        EXPECT_EQ(EmbeddedClass(editor), QStringLiteral("TFormEmbedSNPPContactEditor"));
        editor->reject();
    });
    contacts->EditRecord(info);
    EXPECT_FALSE(info.Accepted);
    EXPECT_EQ(Rows(QStringLiteral("Contacts"), QStringLiteral("ID = %1").arg(ids[0])), 1);
}

namespace {
// The records that README.md puts in with sqlite3, put into the book before
// the program starts, statement by statement.
class ReadmeRecordsTest : public AdminFixture {
protected:
    void SetUp() override
    {
        QFile readme(QStringLiteral(TOVIX_SOURCE_DIR "/README.md"));
        ASSERT_TRUE(readme.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString text = QString::fromUtf8(readme.readAll());
        static const QRegularExpression command(
            QStringLiteral("sqlite3 Tovix2Database\\.mdb \"((?:[^\"\\\\]|\\\\.)*)\""));
        for (auto match = command.globalMatch(text); match.hasNext();)
            scripts << match.next().captured(1).replace(QStringLiteral("\\\""), QStringLiteral("\""));
        beforeStart = [this](TBookBuilder& book) {
            for (const QString& table :
                 {QStringLiteral("Servers"), QStringLiteral("Carriers"), QStringLiteral("Contacts")})
                lastBefore[table] = book.Value(QStringLiteral("select max(ID) from ") + table).toInt();
            for (const QString& script : std::as_const(scripts))
                for (const QString& statement : script.split(u';', Qt::SkipEmptyParts))
                    if (!statement.trimmed().isEmpty())
                        book.Exec(statement.trimmed());
        };
        AdminFixture::SetUp();
    }
    QStringList scripts;
    QHash<QString, int> lastBefore;  // the rows the fixture made
};
}  // namespace

TEST_F(ReadmeRecordsTest, EveryRecordOpensInItsEditor)
{
    ASSERT_FALSE(scripts.isEmpty());
    // Every server, carrier and contact the README made opens in the editor
    // of its type with every item of its settings read: no error is shown.
    const auto opens = [this]<class L, class E>(TDataKind kind, const QString& table) {
        auto list = ListOf<L, E>(Books(), kind);
        TBookBuilder book(world.dbs.AddressBookPath());
        QSqlQuery rows(book.Db());
        rows.exec(QStringLiteral("select ID, Name from %1 where ID > %2").arg(table).arg(lastBefore.value(table)));
        int opened = 0;
        while (rows.next()) {
            ASSERT_TRUE(list->LocateByID(rows.value(0).toInt())) << rows.value(1).toString().toStdString();
            WhenModal<E>([&](E* editor) {
                ++opened;
                QCoreApplication::processEvents();
                EXPECT_NE(editor->EmbeddedEditor(), nullptr) << rows.value(1).toString().toStdString();
                editor->reject();
            });
            TNItemInfo info;
            list->EditRecord(info);
        }
        EXPECT_GE(opened, 1) << table.toStdString();
    };
    opens.template operator()<TFormServersListNew, TFormServerEditor>(dkServers, QStringLiteral("Servers"));
    opens.template operator()<TFormCarriersListNew, TFormCarrierEditorNew>(dkCarriers, QStringLiteral("Carriers"));
    opens.template operator()<TFormContactsListNew, TFormContactEditor>(dkContacts, QStringLiteral("Contacts"));
    EXPECT_TRUE(Answerer.Texts().isEmpty()) << Answerer.Texts().join(u'|').toStdString();
}
