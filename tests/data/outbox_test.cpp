// The out-box: queuing a message for contacts and groups in one transaction,
// the pending endpoints, and removing an endpoint's messages.
#include "bookbuilder.h"
#include "localdatafixture.h"

#include "data/basedataclient.h"
#include "data/dataerror.h"
#include "data/localaccessclient.h"
#include "data/outbox.h"
#include "data/recipient.h"
#include "data/threadconnections.h"
#include "platform/commatext.h"

#include <thread>

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

TEST_F(OutBoxTest, FoldersOnlyWriteATextAndAnEmptyListWritesNothing)
{
    LocalData->AddOutMessage({}, QStringLiteral("nothing"));
    EXPECT_EQ(Local->Count(QStringLiteral("OutMessageTexts")), 0);

    const TNSuperRecipient folder{nkFolder, 3, Client, 0, QStringLiteral("F")};
    const TNSuperRecipient book{nkDatabase, 0, Client, 0, QStringLiteral("B")};
    const TNSuperRecipient empty = Group(Empty, QStringLiteral("Empty"));
    LocalData->AddOutMessage({&folder, &book, &empty}, QStringLiteral("text only"));
    EXPECT_EQ(Local->Count(QStringLiteral("OutMessageTexts")), 1);
    EXPECT_EQ(Local->Count(QStringLiteral("OutMessages")), 0);
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
