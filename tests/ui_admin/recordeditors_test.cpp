// The contact, carrier and server editors through their list windows on a
// real address book: the carrier a new contact starts on, the settings kept
// per carrier type, a new carrier's defaults and a type without an editor,
// and the server editor hosting the TCP settings editor with its name check.
#include "adminfixture.h"

#include "ui/admin/pickonlycombo.h"
#include "ui/dbcontrols/dbedit.h"
#include "ui/dbcontrols/dblookupcombo.h"

#include <QLineEdit>

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
