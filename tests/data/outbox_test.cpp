// The out-box: queuing a message for contacts and groups in one transaction,
// the pending endpoints, and removing an endpoint's messages.
#include "bookbuilder.h"
#include "localdatafixture.h"

#include "data/basedataclient.h"
#include "data/dataerror.h"
#include "data/localaccessclient.h"
#include "data/outbox.h"
#include "data/recipient.h"
#include "data/recipientsoutbox.h"
#include "data/threadconnections.h"
#include "db/connection.h"
#include "db/databasefiles.h"
#include "db/writeproblem.h"
#include "platform/commatext.h"
#include "support/writelockholder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QUrl>
#include <thread>
#include <vector>

namespace {
// A local client that fails on one contact, to break a message half-way.
class TFailingClient : public TLocalAccessClient {
public:
    static constexpr qint32 FailingID = 777;
    ~TFailingClient() override { ReleaseClient(); }
    bool GetServerByContactID(qint32 contactID, TNServerEndpoint& endpoint) override
    {
        if (contactID == FailingID)
            throw EDataError(QStringLiteral("book went away"));
        return TLocalAccessClient::GetServerByContactID(contactID, endpoint);
    }
};

class OutBoxTest : public LocalDataFixture {
protected:
    void SetUp() override
    {
        LocalDataFixture::SetUp();
        {
            TBookBuilder book(Dbs.AddressBookPath());
            const qint32 tcp = book.Server(QStringLiteral("Tcp"), 1, QStringLiteral("10.0.0.1,2775,paging"));
            const qint32 none = book.Server(QStringLiteral("Broken"), 1, QStringLiteral("10.0.0.9,1"));
            const qint32 carrier = book.Carrier(QStringLiteral("SMS"), 4, tcp);
            const qint32 dead = book.Carrier(QStringLiteral("Dead"), 4, none);
            Ann = book.Contact(QStringLiteral("Ann"), carrier);
            Bob = book.Contact(QStringLiteral("Bob"), carrier);
            NoServer = book.Contact(QStringLiteral("Nobody"), dead);
            Staff = book.Group(QStringLiteral("Staff"));
            book.Member(Staff, Bob);
            book.Member(Staff, NoServer);
            book.Member(Staff, Ann);
            Empty = book.Group(QStringLiteral("Empty"));
        }
        StartLocalData();
        ASSERT_EQ(DataClients.Count(), 1);
        Client = DataClients.Items(0);
        Local = std::make_unique<TBookBuilder>(Dbs.LocalDataPath());
    }
    void TearDown() override
    {
        Local.reset();
        LocalDataFixture::TearDown();
    }
    TNSuperRecipient Contact(qint32 id, const QString& name) { return {nkContact, id, Client, 0, name}; }
    TNSuperRecipient Group(qint32 id, const QString& name) { return {nkGroup, id, Client, 0, name}; }
    QStringList RowNames()
    {
        QStringList names;
        QSqlQuery query(Local->Db());
        query.exec(QStringLiteral("select Name from OutMessages order by ID"));
        while (query.next())
            names << query.value(0).toString();
        return names;
    }
    qint32 AddRow(qint32 textID, int type, const QString& ip, int port, const QString& host)
    {
        return Local->Insert(QStringLiteral("insert into OutMessages (MessageTextID, ServerTypeNo, IpAddress, PortNo, "
                                            "HostName) values (:T, :Type, :Ip, :Port, :Host)"),
                             {{QStringLiteral("T"), textID},
                              {QStringLiteral("Type"), type},
                              {QStringLiteral("Ip"), ip},
                              {QStringLiteral("Port"), port},
                              {QStringLiteral("Host"), host}});
    }
    qint32 AddText()
    {
        return Local->Insert(QStringLiteral("insert into OutMessageTexts (MessageText) values ('m')"), {});
    }

    qint32 Ann = 0, Bob = 0, NoServer = 0, Staff = 0, Empty = 0;
    TBaseDataClient* Client = nullptr;
    std::unique_ptr<TBookBuilder> Local;
};
}  // namespace

TEST_F(OutBoxTest, ContactsAreQueuedWithTheirServersEndpoint)
{
    const TNSuperRecipient ann = Contact(Ann, QStringLiteral("Ann")), nobody = Contact(NoServer, QStringLiteral("N"));
    LocalData->AddOutMessage({&ann, &nobody, &ann}, QStringLiteral("Hello"));
    EXPECT_EQ(Local->Count(QStringLiteral("OutMessageTexts")), 1);
    EXPECT_EQ(RowNames(), (QStringList{QStringLiteral("Ann"), QStringLiteral("Ann")}));
    QSqlQuery row(Local->Db());
    row.exec(
        QStringLiteral("select m.ContactID, m.DatabaseGUID, m.ServerTypeNo, m.IpAddress, m.PortNo, m.HostName, "
                       "t.MessageText, t.MessageTime from OutMessages m join OutMessageTexts t "
                       "on t.ID = m.MessageTextID"));
    ASSERT_TRUE(row.next());
    EXPECT_EQ(row.value(0).toInt(), Ann);
    EXPECT_EQ(row.value(1).toString(), Client->GUID());
    EXPECT_EQ(row.value(2).toInt(), 1);
    EXPECT_EQ(row.value(3).toString(), QStringLiteral("10.0.0.1"));
    EXPECT_EQ(row.value(4).toInt(), 2775);
    EXPECT_EQ(row.value(5).toString(), QStringLiteral("paging"));
    EXPECT_EQ(row.value(6).toString(), QStringLiteral("Hello"));
    EXPECT_EQ(row.value(7).toString().size(), 23);  // "yyyy-MM-dd HH:mm:ss.zzz"
}

TEST_F(OutBoxTest, GroupMembersAreNamedByTheOption)
{
    const TNSuperRecipient staff = Group(Staff, QStringLiteral("Staff"));
    SetOption("ShowContactNamesOfGroups", false);
    LocalData->AddOutMessage({&staff}, QStringLiteral("one"));
    EXPECT_EQ(RowNames(), (QStringList{QStringLiteral("Staff"), QStringLiteral("Staff")}));

    Local->Exec(QStringLiteral("delete from OutMessageTexts"));
    SetOption("ShowContactNamesOfGroups", true);
    LocalData->AddOutMessage({&staff}, QStringLiteral("two"));
    EXPECT_EQ(RowNames(), (QStringList{QStringLiteral("Staff[Bob]"), QStringLiteral("Staff[Ann]")}));
}

TEST_F(OutBoxTest, FoldersAndAnEmptyListWriteNothing)
{
    LocalData->AddOutMessage({}, QStringLiteral("nothing"));
    EXPECT_EQ(Local->Count(QStringLiteral("OutMessageTexts")), 0);

    // Without a contact row a text row would only stay behind for ever.
    const TNSuperRecipient folder{nkFolder, 3, Client, 0, QStringLiteral("F")};
    const TNSuperRecipient book{nkDatabase, 0, Client, 0, QStringLiteral("B")};
    const TNSuperRecipient empty = Group(Empty, QStringLiteral("Empty"));
    const TNQueueResult result = LocalData->AddOutMessage({&folder, &book, &empty}, QStringLiteral("text only"));
    EXPECT_EQ(result.MessageTextID, 0);
    EXPECT_TRUE(result.NotQueued.isEmpty());
    EXPECT_FALSE(result.Pending);
    EXPECT_EQ(NothingSentNotice(result), QStringLiteral("Nothing was sent: the recipients hold no contact to page."));
    EXPECT_EQ(Local->Count(QStringLiteral("OutMessageTexts")), 0);
    EXPECT_EQ(Local->Count(QStringLiteral("OutMessages")), 0);
}

// Every recipient that gets no row is named with its reason; the others are
// queued. Only TCP and automation rows are ever sent, and a TCP port is
// carried in 16 bits.
TEST_F(OutBoxTest, RecipientsWithoutAUsableServerAreListedWithTheirReasons)
{
    QHash<QString, qint32> ids;
    {
        TBookBuilder book(Dbs.AddressBookPath());
        const auto contactOn = [&](const QString& name, int typeNo, const QString& data) {
            const qint32 server = book.Server(name, typeNo, data);
            ids[name] = book.Contact(name, book.Carrier(name, 4, server));
        };
        contactOn(QStringLiteral("Serial"), 3, QStringLiteral("10.0.0.1,2775,x"));
        contactOn(QStringLiteral("Zero"), 1, QStringLiteral("10.0.0.1,0,x"));
        contactOn(QStringLiteral("Wide"), 1, QStringLiteral("10.0.0.1,70000,x"));
        contactOn(QStringLiteral("Door"), 2, QStringLiteral(",0,pagehost"));  // an automation port is not read
        contactOn(QStringLiteral("Carless"), 1, QStringLiteral("10.0.0.1,2775,x"));
        contactOn(QStringLiteral("Serverless"), 1, QStringLiteral("10.0.0.1,2775,x"));
        book.Exec(QStringLiteral("delete from Carriers where Name = 'Carless'"));
        book.Exec(QStringLiteral("delete from Servers where Name = 'Serverless'"));
        book.Member(Staff, ids[QStringLiteral("Carless")]);
        book.Member(Staff, 99999);  // a membership row whose contact is gone
    }
    TNRecipients recipients;
    std::vector<TNSuperRecipient> held;
    held.reserve(ids.size() + 2);
    for (const QString& name : {QStringLiteral("Serial"), QStringLiteral("Zero"), QStringLiteral("Wide"),
                                QStringLiteral("Door"), QStringLiteral("Carless"), QStringLiteral("Serverless")})
        held.push_back(Contact(ids[name], name));
    held.push_back(Group(Staff, QStringLiteral("Staff")));
    held.push_back(Contact(Ann, QStringLiteral("Ann")));
    for (const TNSuperRecipient& recipient : held)
        recipients << &recipient;
    SetOption("ShowContactNamesOfGroups", false);
    const TNQueueResult result = LocalData->AddOutMessage(recipients, QStringLiteral("Fire"));

    QStringList notQueued;
    for (const TNNotQueued& entry : result.NotQueued)
        notQueued << entry.Name + QStringLiteral(": ") + entry.Reason;
    EXPECT_EQ(notQueued,
              (QStringList{
                  QStringLiteral("Serial: its server's type 3 is neither TCP (1) nor automation (2)"),
                  QStringLiteral("Zero: its server's port 0 is not between 1 and 65535"),
                  QStringLiteral("Wide: its server's port 70000 is not between 1 and 65535"),
                  QStringLiteral("Carless: its carrier no longer exists"),
                  QStringLiteral("Serverless: its carrier's server no longer exists"),
                  QStringLiteral("Staff[Nobody]: its server's settings are not an address, a port and a host name"),
                  QStringLiteral("Staff[Carless]: its carrier no longer exists"),
              }));
    EXPECT_EQ(RowNames(), (QStringList{QStringLiteral("Door"), QStringLiteral("Staff"), QStringLiteral("Staff"),
                                       QStringLiteral("Ann")}));
    EXPECT_EQ(result.Queued, 4);
    EXPECT_TRUE(result.Pending);

    // A recipient whose address book was loaded again is named too.
    const TNSuperRecipient stale = Contact(Ann, QStringLiteral("Ann"));
    LocalData->DestroyDataClients();
    LocalData->CreateDataClients();
    if (stale.Database != DataClients.Items(0)) {
        const TNQueueResult again = LocalData->AddOutMessage({&stale}, QStringLiteral("Other"));
        ASSERT_EQ(again.NotQueued.size(), 1);
        EXPECT_EQ(again.NotQueued[0].Name, QStringLiteral("Ann"));
        EXPECT_EQ(again.Queued, 0);
    }
    const QString notice = NotQueuedNotice(result.NotQueued);
    EXPECT_TRUE(notice.startsWith(QStringLiteral("These recipients were not queued")));
    EXPECT_TRUE(notice.contains(QStringLiteral("\rZero: its server's port 0")));
    TNNotQueuedList many(NotQueuedNoticeLines + 3, TNNotQueued{QStringLiteral("X"), QStringLiteral("y")});
    EXPECT_TRUE(NotQueuedNotice(many).endsWith(QStringLiteral("\r... and 3 more")));
}

// Send pressed again with the same text (a send that ended early leaves it
// and the recipients in the panes; a template repeats it on purpose): a row
// still waiting goes with it and gets no copy; the recipients the message
// already reached are named in one question, and the answer decides; a page
// that never reached its pager is queued again unasked.
TEST_F(OutBoxTest, TheSameTextWaitingGoesOnceAndWhomItReachedIsAskedAbout)
{
    const TNSuperRecipient ann = Contact(Ann, QStringLiteral("Ann")), bob = Contact(Bob, QStringLiteral("Bob"));
    const TNSuperRecipient staff = Group(Staff, QStringLiteral("Staff"));  // Bob, Nobody (no server), Ann
    SetOption("ShowContactNamesOfGroups", true);
    const TNQueueResult first = LocalData->AddOutMessage({&ann, &bob, &staff}, QStringLiteral("Fire"));
    ASSERT_EQ(first.Queued, 4);
    // As the send threads leave it: Ann delivered (logged, gone), Bob
    // accepted and waiting for his report, Staff[Bob] refused (logged, gone),
    // Staff[Ann] not sent yet.
    const qint32 logged = Local->Insert(QStringLiteral("insert into SentMessageTexts (Message) values ('Fire')"), {});
    Local->Exec(QStringLiteral("update OutMessageTexts set SentMessageTextID = :S"), {{QStringLiteral("S"), logged}});
    const auto log = [&](const QString& name, qint32 contact, int sendConfirmed, int status) {
        return Local->Insert(
            QStringLiteral("insert into SentMessages (ContactID, Name, DatabaseGUID, SentMessageTextID, "
                           "SendConfirmed, ErrorStatus) values (:C, :N, :G, :S, :SC, :E)"),
            {{QStringLiteral("C"), contact},
             {QStringLiteral("N"), name},
             {QStringLiteral("G"), Client->GUID().toLower()},
             {QStringLiteral("S"), logged},
             {QStringLiteral("SC"), sendConfirmed},
             {QStringLiteral("E"), status}});
    };
    log(QStringLiteral("Ann"), Ann, 1, 0);
    Local->Exec(QStringLiteral("delete from OutMessages where Name = 'Ann'"));
    const qint32 accepted = log(QStringLiteral("Bob"), Bob, 0, 3);
    Local->Exec(QStringLiteral("update OutMessages set sentMessagesID = :S where Name = 'Bob'"),
                {{QStringLiteral("S"), accepted}});
    log(QStringLiteral("Staff[Bob]"), Bob, 1, 5);
    Local->Exec(QStringLiteral("delete from OutMessages where Name = 'Staff[Bob]'"));

    // No: the two it reached are left out; the refused page goes again.
    QList<QStringList> questions;
    const auto answer = [&](bool again) {
        return [&questions, again](const QStringList& names) {
            questions << names;
            return again;
        };
    };
    const TNQueueResult no = LocalData->AddOutMessage({&ann, &bob, &staff}, QStringLiteral("Fire"), answer(false));
    EXPECT_EQ(questions, (QList<QStringList>{{QStringLiteral("Ann"), QStringLiteral("Bob")}}));
    EXPECT_EQ(no.Reached, questions.value(0));
    EXPECT_FALSE(no.PagedAgain);
    EXPECT_EQ(no.StillWaiting, 1);
    EXPECT_EQ(no.Queued, 1);
    EXPECT_TRUE(no.Pending);
    EXPECT_EQ(RowNames(),
              (QStringList{QStringLiteral("Bob"), QStringLiteral("Staff[Ann]"), QStringLiteral("Staff[Bob]")}));

    // Yes pages them again. The out-box is not locked during the question:
    // a send thread logs Staff[Ann] meanwhile, and that row, waiting when
    // asked about, gets no copy.
    const TNQueueResult yes =
        LocalData->AddOutMessage({&ann, &bob, &staff}, QStringLiteral("Fire"), [&](const QStringList& names) {
            questions << names;
            Local->Exec(QStringLiteral("update OutMessages set sentMessagesID = :S where Name = 'Staff[Ann]'"),
                        {{QStringLiteral("S"), log(QStringLiteral("Staff[Ann]"), Ann, 0, 3)}});
            return true;
        });
    EXPECT_EQ(questions.value(1), (QStringList{QStringLiteral("Ann"), QStringLiteral("Bob")}));
    EXPECT_TRUE(yes.PagedAgain);
    EXPECT_EQ(yes.StillWaiting, 2);
    EXPECT_EQ(yes.Queued, 2);
    EXPECT_EQ(RowNames(), (QStringList{QStringLiteral("Bob"), QStringLiteral("Staff[Ann]"),
                                       QStringLiteral("Staff[Bob]"), QStringLiteral("Ann"), QStringLiteral("Bob")}));

    // Another text (letter case counts) is another message.
    EXPECT_EQ(LocalData->AddOutMessage({&ann}, QStringLiteral("FIRE")).Queued, 1);
    // Once a message has left the out-box, the same text is a new message.
    Local->Exec(QStringLiteral("delete from OutMessageTexts"));
    EXPECT_EQ(LocalData->AddOutMessage({&ann, &bob, &staff}, QStringLiteral("Fire")).Queued, 4);
    // Rows accepted and waiting only for their reports, without a question
    // to ask: left out and named; nothing to send, and that is said.
    Local->Exec(QStringLiteral("update OutMessages set sentMessagesID = :S"), {{QStringLiteral("S"), accepted}});
    const TNQueueResult unasked = LocalData->AddOutMessage({&ann}, QStringLiteral("Fire"));
    EXPECT_EQ(unasked.Queued, 0);
    EXPECT_EQ(unasked.Reached, QStringList{QStringLiteral("Ann")});
    EXPECT_FALSE(unasked.Pending);
    EXPECT_TRUE(NothingSentNotice(unasked).startsWith(QStringLiteral("Nothing was sent: the message already reached")));
    EXPECT_EQ(questions.size(), 2);
}

TEST_F(OutBoxTest, AMessageFinishingDuringTheQuestionPagesNoOneAgainUnasked)
{
    // Ann reached, Bob waiting for the slow server; while the question about
    // Ann is open, Bob's page goes out, is delivered and the message leaves
    // the out-box. No pages nobody; Yes pages Ann alone.
    const TNSuperRecipient ann = Contact(Ann, QStringLiteral("Ann")), bob = Contact(Bob, QStringLiteral("Bob"));
    for (const bool again : {false, true}) {
        Local->Exec(QStringLiteral("delete from OutMessageTexts"));
        ASSERT_EQ(LocalData->AddOutMessage({&ann, &bob}, QStringLiteral("Fire")).Queued, 2);
        const qint32 logged =
            Local->Insert(QStringLiteral("insert into SentMessageTexts (Message) values ('Fire')"), {});
        Local->Exec(QStringLiteral("update OutMessageTexts set SentMessageTextID = :S"),
                    {{QStringLiteral("S"), logged}});
        const auto deliver = [&](const QString& name, qint32 contact) {
            Local->Insert(QStringLiteral("insert into SentMessages (ContactID, Name, DatabaseGUID, SentMessageTextID, "
                                         "SendConfirmed, ErrorStatus) values (:C, :N, :G, :S, 1, 0)"),
                          {{QStringLiteral("C"), contact},
                           {QStringLiteral("N"), name},
                           {QStringLiteral("G"), Client->GUID()},
                           {QStringLiteral("S"), logged}});
            Local->Exec(QStringLiteral("delete from OutMessages where Name = :N"), {{QStringLiteral("N"), name}});
        };
        deliver(QStringLiteral("Ann"), Ann);
        const TNQueueResult result =
            LocalData->AddOutMessage({&ann, &bob}, QStringLiteral("Fire"), [&](const QStringList& names) {
                EXPECT_EQ(names, QStringList{QStringLiteral("Ann")});
                deliver(QStringLiteral("Bob"), Bob);
                Local->Exec(QStringLiteral("delete from OutMessageTexts"));
                return again;
            });
        EXPECT_EQ(result.StillWaiting, 1) << again;
        EXPECT_EQ(result.Queued, again ? 1 : 0);
        EXPECT_EQ(RowNames(), again ? QStringList{QStringLiteral("Ann")} : QStringList());
    }
}

// The README's sqlite3 example (an automation server, an SNPP carrier on it
// and a contact in the book's root folder) makes a contact that is queued
// for the automation door.
TEST_F(OutBoxTest, TheReadmesSqliteRecordsAreQueuedToTheAutomationDoor)
{
    QFile readme(QStringLiteral(TOVIX_SOURCE_DIR "/README.md"));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll());
    const QString opening = QStringLiteral("sqlite3 Tovix2Database.mdb \"");
    const qsizetype from = text.indexOf(opening);
    ASSERT_GE(from, 0);
    const qsizetype to = text.indexOf(QStringLiteral(";\"\n"), from);
    ASSERT_GT(to, from);
    QString script = text.mid(from + opening.size(), to - from - opening.size());
    script.replace(QStringLiteral("\\\""), QStringLiteral("\""));  // the shell's \" inside "..."
    {
        TBookBuilder book(Dbs.AddressBookPath());
        for (const QString& statement : script.split(u';', Qt::SkipEmptyParts))
            book.Exec(statement.trimmed());
    }
    TBookBuilder book(Dbs.AddressBookPath());
    const qint32 contact = book.Value(QStringLiteral("select ID from Contacts where Name = 'Ann Door'")).toInt();
    ASSERT_GT(contact, 0);
    EXPECT_EQ(
        book.Count(QStringLiteral("FolderAssigns"), QStringLiteral("FolderID = 0 and ContactID = %1").arg(contact)), 1);
    TNContactCarrier route;
    ASSERT_TRUE(Client->GetContactCarrier(contact, route));
    EXPECT_EQ(CommaTextToList(route.ContactData).value(0), QStringLiteral("555,"));

    const TNSuperRecipient door = Contact(contact, QStringLiteral("Ann Door"));
    const TNQueueResult result = LocalData->AddOutMessage({&door}, QStringLiteral("Hello"));
    EXPECT_TRUE(result.NotQueued.isEmpty());
    EXPECT_EQ(result.Queued, 1);
    TNEndpointList endpoints;
    LocalData->GetPendingServers(endpoints);
    ASSERT_EQ(endpoints.size(), 1);
    EXPECT_EQ(endpoints[0].Name, QStringLiteral("pagehost"));
    EXPECT_EQ(endpoints[0].Tag, 2u);
}

TEST_F(OutBoxTest, RecipientOfAReloadedClientIsSkipped)
{
    const TNSuperRecipient stale = Contact(Ann, QStringLiteral("Ann"));
    LocalData->DestroyDataClients();
    LocalData->CreateDataClients();
    const TNSuperRecipient fresh{nkContact, Ann, DataClients.Items(0), 0, QStringLiteral("Ann")};
    LocalData->AddOutMessage({&stale, &fresh}, QStringLiteral("m"));
    // The stale reference is never followed; should the new client sit at
    // the old address, it serves the same book and the row is right.
    EXPECT_EQ(Local->Count(QStringLiteral("OutMessages")), stale.Database == fresh.Database ? 2 : 1);
}

TEST_F(OutBoxTest, AMessageIsQueuedWhollyOrNotAtAll)
{
    TBaseDataClient* failing = CreateDataClient(&DataClientClassOf<TFailingClient>, QStringLiteral("Failing"),
                                                QStringLiteral("{FAILING}"), CommaTextFromList({Dbs.Folder()}));
    ASSERT_NE(failing, nullptr);
    const TNSuperRecipient ann = Contact(Ann, QStringLiteral("Ann"));
    const TNSuperRecipient broken{nkContact, TFailingClient::FailingID, failing, 0, QStringLiteral("X")};
    EXPECT_THROW(LocalData->AddOutMessage({&ann, &ann, &broken}, QStringLiteral("m")), EDataError);
    EXPECT_EQ(Local->Count(QStringLiteral("OutMessageTexts")), 0);
    EXPECT_EQ(Local->Count(QStringLiteral("OutMessages")), 0);
    delete failing;
    LocalData->AddOutMessage({&ann}, QStringLiteral("m"));  // the connection is usable afterwards
    EXPECT_EQ(Local->Count(QStringLiteral("OutMessages")), 1);
}

TEST_F(OutBoxTest, PendingServersTagTypeAndLowPortBits)
{
    const qint32 text = AddText();
    AddRow(text, 1, QStringLiteral("10.0.0.1"), 2775, QStringLiteral("a"));
    AddRow(text, 1, QStringLiteral("10.0.0.1"), 2775, QStringLiteral("a"));
    AddRow(text, 1, QStringLiteral("10.0.0.1"), 2775, QStringLiteral("b"));  // another host name: another entry
    AddRow(text, 1, QStringLiteral("10.0.0.2"), 0x12345, QStringLiteral("c"));
    AddRow(text, 2, QStringLiteral("ignored"), 4000, QStringLiteral("automation-host"));
    AddRow(text, 3, QStringLiteral("10.0.0.3"), 1, QStringLiteral("d"));  // unknown type: left out
    TNEndpointList endpoints{{QStringLiteral("stale"), 9}};
    LocalData->GetPendingServers(endpoints);
    ASSERT_EQ(endpoints.size(), 4);
    QHash<QString, QList<quint32>> tags;
    for (const TNEndpointEntry& entry : endpoints)
        tags[entry.Name].append(entry.Tag);
    EXPECT_EQ(tags.value(QStringLiteral("10.0.0.1")), (QList<quint32>{(2775u << 16) | 1u, (2775u << 16) | 1u}));
    EXPECT_EQ(tags.value(QStringLiteral("10.0.0.2")), QList<quint32>{(0x2345u << 16) | 1u});
    EXPECT_EQ(tags.value(QStringLiteral("automation-host")), QList<quint32>{2u});
    EXPECT_EQ(EndpointServerType((0x2345u << 16) | 1u), 1);
    EXPECT_EQ(EndpointPort((0x2345u << 16) | 1u), 0x2345);
}

TEST_F(OutBoxTest, EndpointDeletesRemoveWholeMessages)
{
    const qint32 both = AddText(), onlyX = AddText(), onlyY = AddText(), onlyCom = AddText();
    AddRow(both, 1, QStringLiteral("10.0.0.1"), 100, QString());
    AddRow(both, 1, QStringLiteral("10.0.0.2"), 200, QString());
    AddRow(onlyX, 1, QStringLiteral("10.0.0.1"), 100, QString());
    AddRow(onlyY, 1, QStringLiteral("10.0.0.2"), 200, QString());
    AddRow(onlyY, 1, QStringLiteral("10.0.0.1"), 101, QString());                 // same address, other port
    AddRow(onlyCom, 2, QStringLiteral("10.0.0.1"), 100, QStringLiteral("host"));  // other type, same address

    LocalData->DeleteOutMessagesForTcpServer(QStringLiteral("10.0.0.1"), 100);
    EXPECT_EQ(Local->Count(QStringLiteral("OutMessageTexts")), 2);
    EXPECT_EQ(
        Local->Count(QStringLiteral("OutMessages"), QStringLiteral("MessageTextID in (%1, %2)").arg(both).arg(onlyX)),
        0);
    EXPECT_EQ(Local->Count(QStringLiteral("OutMessages")), 3);

    LocalData->DeleteOutMessagesForComServer(QStringLiteral("HOST"));  // host names compare without case
    EXPECT_EQ(Local->Count(QStringLiteral("OutMessageTexts")), 1);
    EXPECT_EQ(Local->Count(QStringLiteral("OutMessages")), 2);
}

// The dispatcher removes an endpoint's messages from its own thread, on its
// own connection, while the main thread queues new ones.
TEST_F(OutBoxTest, DeletesFromAWorkerThreadInterleaveWithQueuing)
{
    const TNSuperRecipient ann = Contact(Ann, QStringLiteral("Ann"));
    const QString path = LocalData->DatabasePath();
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::thread dispatcher([&] {
        while (!stop.load()) {
            try {
                OutBox::DeleteOutMessagesForTcpServer(ThreadDatabase(path), QStringLiteral("10.0.0.1"), 2775);
            } catch (...) {
                failures.fetch_add(1);
            }
        }
        CloseThreadDatabase(path);
    });
    for (int i = 0; i < 100; ++i)
        LocalData->AddOutMessage({&ann, &ann}, QStringLiteral("m%1").arg(i));
    stop.store(true);
    dispatcher.join();
    EXPECT_EQ(failures.load(), 0);
    // Every message is whole: two rows per remaining text.
    EXPECT_EQ(Local->Count(QStringLiteral("OutMessages")), 2 * Local->Count(QStringLiteral("OutMessageTexts")));
}

// Emptying the log while a message is half acknowledged: its logged text,
// linked from the out-box for the rows still to come, stays; the others go.
TEST_F(OutBoxTest, ClearingTheLogKeepsTheTextOfAMessageStillQueued)
{
    const auto logText = [this] {
        return Local->Insert(QStringLiteral("insert into SentMessageTexts (Message) values ('m')"), {});
    };
    const qint32 done = logText(), pending = logText();
    for (const qint32 text : {done, pending})
        Local->Insert(QStringLiteral("insert into SentMessages (Name, SentMessageTextID) values ('Ann', :T)"),
                      {{QStringLiteral("T"), text}});
    const qint32 queued = AddText();
    Local->Exec(QStringLiteral("update OutMessageTexts set SentMessageTextID = :S where ID = :T"),
                {{QStringLiteral("S"), pending}, {QStringLiteral("T"), queued}});
    AddText();  // a queued message none of whose rows was logged yet

    OutBox::ClearSentMessages(Local->Db());
    EXPECT_EQ(Local->Count(QStringLiteral("SentMessages")), 0);
    EXPECT_EQ(Local->Count(QStringLiteral("SentMessageTexts")), 1);
    EXPECT_EQ(Local->Count(QStringLiteral("SentMessageTexts"), QStringLiteral("ID = %1").arg(pending)), 1);
}

// Send looks at the local database before anything is queued and says why
// it cannot be written, in words and without a long wait: another program's
// lock, SQLite's read-only opening, a full file (a size limit refuses the
// queuing: nothing is queued). A connection that found the file read-only is
// opened again once it can be written, and queues again.
TEST_F(OutBoxTest, SendTellsInWordsWhyTheOutBoxCannotBeWrittenAndQueuesNothing)
{
    const TNSuperRecipient ann = Contact(Ann, QStringLiteral("Ann"));
    {
        WriteLockHolder other(Dbs.LocalDataPath());
        ASSERT_TRUE(other.Held());
        QElapsedTimer waited;
        waited.start();
        EXPECT_EQ(LocalData->OutBoxWriteProblem(), QStringLiteral("LocalData2.mdb is locked by another program"));
        EXPECT_LT(waited.elapsed(), 1000);
    }
    {
        const QString name = UniqueConnectionName(QStringLiteral("read-only-"));
        {
            QSqlDatabase readOnly = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            readOnly.setDatabaseName(QUrl::fromLocalFile(Dbs.LocalDataPath()).toString() + QStringLiteral("?mode=ro"));
            readOnly.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
            ASSERT_TRUE(readOnly.open());
            EXPECT_EQ(WriteProblemText(ProbeWritable(readOnly, 250), LocalDataFileName()),
                      QStringLiteral("LocalData2.mdb is read-only"));
        }
        QSqlDatabase::removeDatabase(name);
    }
    QSqlDatabase mine = LocalData->Connection();
    QSqlQuery(mine).exec(QStringLiteral("PRAGMA query_only = 1"));
    EXPECT_EQ(LocalData->OutBoxWriteProblem(), QString());
    LocalData->AddOutMessage({&ann}, QStringLiteral("writable again"));
    EXPECT_EQ(Local->Count(QStringLiteral("OutMessages")), 1);

    QSqlQuery pages(mine);
    ASSERT_TRUE(pages.exec(QStringLiteral("PRAGMA page_count")) && pages.next());
    QSqlQuery(mine).exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages.value(0).toInt()));
    pages.finish();
    QList<TNSuperRecipient> many;
    for (int i = 0; i < 400; ++i)
        many << Contact(Ann, QStringLiteral("Ann %1 with a long name to fill the pages").arg(i));
    TNRecipients all;
    for (const TNSuperRecipient& each : many)
        all << &each;
    try {
        LocalData->AddOutMessage(all, QStringLiteral("no room"));
        ADD_FAILURE() << "queued on a full file";
    } catch (const std::exception& e) {
        EXPECT_EQ(QueueFailedText(QString::fromLocal8Bit(e.what())),
                  QStringLiteral("Nothing was sent: the OutBox and the sent-messages log cannot be written, because "
                                 "the disk holding LocalData2.mdb is full.\r\rTry again once it can be written."));
    }
    EXPECT_EQ(Local->Count(QStringLiteral("OutMessages")), 1);
    QSqlQuery(mine).exec(QStringLiteral("PRAGMA max_page_count = 1073741823"));
}
