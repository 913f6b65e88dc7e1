// The remote data door end to end: the client connection against the
// simulator's door over loopback, on address books in real SQLite files;
// and the message reader under malformed and random input.
#include "data/remotedataconnection.h"
#include "remotedatasim.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <QtEndian>
#include <atomic>
#include <thread>

namespace {
const QString kServer = QStringLiteral("TovixServer.TovixRemoteDataModule");

class RemoteDataTest : public ::testing::Test {
protected:
    void StartSim(TSimDataOptions options = TSimDataOptions())
    {
        options.listenAddress = QHostAddress(QHostAddress::LocalHost);
        options.port = 0;
        if (options.books.isEmpty())
            options.books.append({kServer, QStringLiteral("{11111111-2222-3333-4444-555555555555}"), BookFile()});
        m_sim = std::make_unique<TRemoteDataSim>(options);
        QString error;
        ASSERT_TRUE(m_sim->Start(&error)) << error.toStdString();
    }
    QString BookFile() const { return m_folder.File(QStringLiteral("Book.db")); }
    bool OpenAndConnect(TRemoteDataConnection& c)
    {
        return c.Open(QStringLiteral("127.0.0.1"), m_sim->Port(), 5000) && c.ConnectServer(kServer);
    }
    // One value of the book, read by SQL beside the door.
    QVariant Sql(const QString& sql)
    {
        QVariant value;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            db.setDatabaseName(BookFile());
            db.open();
            QSqlQuery query(sql, db);
            if (query.next())
                value = query.value(0);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        return value;
    }

    TempFolder m_folder;
    std::unique_ptr<TRemoteDataSim> m_sim;
};

TRemoteChange Insert(qint64 tempId, const QVariantMap& values)
{
    TRemoteChange change;
    change.kind = TRemoteChange::TKind::Insert;
    change.id = tempId;
    change.values = values;
    return change;
}
}  // namespace

TEST_F(RemoteDataTest, GreetingNamesServersAndFetchBringsFieldsAndRows)
{
    TSimDataOptions options;
    options.tcpDoorPort = 2150;
    StartSim(options);
    TRemoteDataConnection c;
    ASSERT_TRUE(c.Open(QStringLiteral("127.0.0.1"), m_sim->Port(), 5000)) << c.ErrorText().toStdString();
    EXPECT_EQ(c.TcpDoorPort(), 2150);
    QStringList names;
    ASSERT_TRUE(c.ListServerNames(&names));
    EXPECT_EQ(names, QStringList{kServer});
    QString guid;
    ASSERT_TRUE(c.ServerGUID(kServer, &guid));
    EXPECT_EQ(guid, QStringLiteral("{11111111-2222-3333-4444-555555555555}"));

    TRemotePacket packet;
    EXPECT_FALSE(c.Fetch(QStringLiteral("prvCarrierTypes"), &packet)) << "fetch before connect";
    EXPECT_EQ(c.ErrorCode(), RemoteData::ErrNotConnected);
    EXPECT_FALSE(c.ConnectServer(QStringLiteral("Nobody")));
    EXPECT_EQ(c.ErrorCode(), RemoteData::ErrUnknownServer);
    ASSERT_TRUE(c.ConnectServer(kServer));
    EXPECT_FALSE(c.Fetch(QStringLiteral("prvServers"), &packet));
    EXPECT_EQ(c.ErrorCode(), RemoteData::ErrUnknownProvider);

    ASSERT_TRUE(c.Fetch(QStringLiteral("prvCarrierTypes"), &packet)) << c.ErrorText().toStdString();
    ASSERT_EQ(packet.rows.size(), 9);
    const int name = packet.FieldIndex(QStringLiteral("Name"));
    const int prune = packet.FieldIndex(QStringLiteral("Prune"));
    ASSERT_GE(name, 0);
    EXPECT_EQ(packet.fields[name].kind, TRemoteFieldKind::String);
    EXPECT_EQ(packet.fields[name].size, 50);
    EXPECT_EQ(packet.fields[prune].kind, TRemoteFieldKind::Boolean);
    EXPECT_EQ(packet.rows[3][name].toString(), QStringLiteral("SMS"));
    EXPECT_EQ(packet.rows[3][prune].typeId(), QMetaType::Bool);
}

TEST_F(RemoteDataTest, ApplyGivesOneResultPerRowAndDetectsOtherWriters)
{
    TSimDataOptions options;
    options.faults.append({QStringLiteral("prvContacts"), -3, RemoteData::RowConstraint});
    StartSim(options);
    TRemoteDataConnection c;
    ASSERT_TRUE(OpenAndConnect(c)) << c.ErrorText().toStdString();

    QList<TRemoteApplyResult> results;
    ASSERT_TRUE(
        c.Apply(QStringLiteral("prvContacts"), QStringLiteral("apply-1"),
                {Insert(-1, {{QStringLiteral("Name"), QStringLiteral("O'Hara")}, {QStringLiteral("CarrierID"), 1}}),
                 Insert(-2, {{QStringLiteral("Name"), QStringLiteral("Anna")}}),
                 Insert(-3, {{QStringLiteral("Name"), QStringLiteral("Refused")}}),
                 Insert(-4, {{QStringLiteral("Name); DROP TABLE Contacts; --"), 1}})},
                &results));
    ASSERT_EQ(results.size(), 4);
    ASSERT_TRUE(results[0].ok);
    ASSERT_TRUE(results[1].ok);
    EXPECT_GT(results[0].newId, 0);
    EXPECT_NE(results[0].newId, results[1].newId);
    EXPECT_FALSE(results[2].ok);
    EXPECT_EQ(results[2].code, RemoteData::RowConstraint);
    EXPECT_FALSE(results[3].ok) << "an unknown column name is refused, never pasted into SQL";
    EXPECT_EQ(Sql(QStringLiteral("SELECT COUNT(*) FROM Contacts")).toInt(), 2);
    EXPECT_EQ(Sql(QStringLiteral("SELECT Name FROM Contacts WHERE ID = %1").arg(results[0].newId)).toString(),
              QStringLiteral("O'Hara"));

    // Another writer changes Anna and deletes O'Hara behind the client's back.
    const qint64 ohara = results[0].newId;
    const qint64 anna = results[1].newId;
    Sql(QStringLiteral("UPDATE Contacts SET Name = 'Annabel' WHERE ID = %1").arg(anna));
    Sql(QStringLiteral("DELETE FROM Contacts WHERE ID = %1").arg(ohara));

    TRemoteChange modify;
    modify.kind = TRemoteChange::TKind::Modify;
    modify.id = anna;
    modify.original = {{QStringLiteral("Name"), QStringLiteral("Anna")}};
    modify.values = {{QStringLiteral("Name"), QStringLiteral("Anne")}};
    TRemoteChange remove;
    remove.kind = TRemoteChange::TKind::Delete;
    remove.id = ohara;
    remove.original = {{QStringLiteral("Name"), QStringLiteral("O'Hara")}};
    ASSERT_TRUE(c.Apply(QStringLiteral("prvContacts"), QStringLiteral("apply-2"), {modify, remove}, &results));
    ASSERT_EQ(results.size(), 2);
    EXPECT_EQ(results[0].code, RemoteData::RowConflict);
    ASSERT_TRUE(results[0].hasCurrent);
    EXPECT_EQ(results[0].current.value(QStringLiteral("Name")).toString(), QStringLiteral("Annabel"));
    EXPECT_EQ(results[1].code, RemoteData::RowNotFound);
    EXPECT_FALSE(results[1].hasCurrent);
    EXPECT_EQ(Sql(QStringLiteral("SELECT Name FROM Contacts WHERE ID = %1").arg(anna)).toString(),
              QStringLiteral("Annabel"));

    // With the original as it now stands, the change goes through.
    modify.original = {{QStringLiteral("Name"), QStringLiteral("Annabel")}};
    ASSERT_TRUE(c.Apply(QStringLiteral("prvContacts"), QStringLiteral("apply-3"), {modify}, &results));
    EXPECT_TRUE(results[0].ok);
    EXPECT_EQ(Sql(QStringLiteral("SELECT Name FROM Contacts WHERE ID = %1").arg(anna)).toString(),
              QStringLiteral("Anne"));
}

TEST_F(RemoteDataTest, ARepeatedApplyIsAnsweredFromTheStoreAndTemporaryReferencesAreRefused)
{
    TSimDataOptions options;
    options.loseApplyAnswers = 1;
    StartSim(options);
    TRemoteDataConnection c;
    ASSERT_TRUE(OpenAndConnect(c)) << c.ErrorText().toStdString();
    const QList<TRemoteChange> ann = {Insert(-1, {{QStringLiteral("Name"), QStringLiteral("Ann")}})};
    QList<TRemoteApplyResult> results;
    EXPECT_FALSE(c.Apply(QStringLiteral("prvContacts"), QStringLiteral("lost"), ann, &results));
    EXPECT_EQ(Sql(QStringLiteral("SELECT COUNT(*) FROM Contacts")).toInt(), 1) << "stored, then the line broke";

    // Asked again under the same ID: the stored answer, nothing stored twice.
    ASSERT_TRUE(OpenAndConnect(c)) << c.ErrorText().toStdString();
    ASSERT_TRUE(c.Apply(QStringLiteral("prvContacts"), QStringLiteral("lost"), ann, &results));
    ASSERT_EQ(results.size(), 1);
    EXPECT_TRUE(results[0].ok);
    EXPECT_EQ(results[0].newId, Sql(QStringLiteral("SELECT ID FROM Contacts")).toLongLong());
    EXPECT_EQ(Sql(QStringLiteral("SELECT COUNT(*) FROM Contacts")).toInt(), 1);
    EXPECT_FALSE(c.Apply(QStringLiteral("prvGroups"), QStringLiteral("lost"), {}, &results));
    EXPECT_EQ(c.ErrorCode(), RemoteData::ErrBadRequest) << "an apply ID names one apply";

    // A row naming a temporary ID would name a row nobody ever holds; the
    // mark of no row is no temporary ID.
    auto assign = [](qint64 contact, qint64 group) {
        return Insert(-5, {{QStringLiteral("ContactID"), contact},
                           {QStringLiteral("GroupID"), group},
                           {QStringLiteral("FolderID"), 1}});
    };
    ASSERT_TRUE(c.Apply(QStringLiteral("prvFolderAssigns"), QStringLiteral("members"),
                        {assign(-1, RemoteData::NoRowId), assign(1, RemoteData::NoRowId)}, &results));
    ASSERT_EQ(results.size(), 2);
    EXPECT_FALSE(results[0].ok);
    EXPECT_EQ(results[0].code, RemoteData::RowConstraint);
    EXPECT_TRUE(results[1].ok);
    EXPECT_EQ(Sql(QStringLiteral("SELECT COUNT(*) FROM FolderAssigns WHERE ContactID < 0")).toInt(), 0);

    // A door of the protocol before apply IDs would store a repeat again.
    TSimDataOptions old;
    old.protocol = 1;
    StartSim(old);
    EXPECT_FALSE(c.Open(QStringLiteral("127.0.0.1"), m_sim->Port(), 5000));
    EXPECT_TRUE(c.ErrorText().contains(QStringLiteral("protocol 1"))) << c.ErrorText().toStdString();
    EXPECT_TRUE(c.ErrorText().contains(QStringLiteral("Update the paging server"))) << c.ErrorText().toStdString();
}

TEST_F(RemoteDataTest, ADeleteOfARowOtherRowsNameIsRefusedWithTheirCount)
{
    StartSim();
    Sql(QStringLiteral("INSERT INTO Carriers (ID, Name, TypeNo) VALUES (5, 'Door', 6)"));
    Sql(QStringLiteral("INSERT INTO Contacts (ID, Name, CarrierID) VALUES (10, 'Ann', 5), (11, 'Bob', 5)"));
    TRemoteDataConnection c;
    ASSERT_TRUE(OpenAndConnect(c)) << c.ErrorText().toStdString();
    const auto remove = [](qint64 id) {
        TRemoteChange change;
        change.kind = TRemoteChange::TKind::Delete;
        change.id = id;
        return change;
    };
    QList<TRemoteApplyResult> results;
    ASSERT_TRUE(c.Apply(QStringLiteral("prvCarriers"), QStringLiteral("d1"), {remove(5)}, &results));
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0].code, RemoteData::RowConstraint);
    EXPECT_EQ(results[0].text, QStringLiteral("\"Door\" cannot be deleted: 2 contacts use it."));
    EXPECT_TRUE(results[0].hasCurrent);
    // A carrier type is named by its TypeNo (SNPP is 6).
    const qint64 snpp = Sql(QStringLiteral("SELECT ID FROM CarrierTypes WHERE TypeNo = 6")).toLongLong();
    ASSERT_TRUE(c.Apply(QStringLiteral("prvCarrierTypes"), QStringLiteral("d2"), {remove(snpp)}, &results));
    EXPECT_EQ(results[0].text, QStringLiteral("\"SNPP\" cannot be deleted: 1 carrier uses it."));
    EXPECT_EQ(Sql(QStringLiteral("SELECT COUNT(*) FROM Carriers WHERE ID = 5")).toInt(), 1);

    // Once nothing names it, the row goes.
    ASSERT_TRUE(c.Apply(QStringLiteral("prvContacts"), QStringLiteral("d3"), {remove(10), remove(11)}, &results));
    ASSERT_TRUE(c.Apply(QStringLiteral("prvCarriers"), QStringLiteral("d4"), {remove(5)}, &results));
    EXPECT_TRUE(results[0].ok) << results[0].text.toStdString();
    EXPECT_EQ(Sql(QStringLiteral("SELECT COUNT(*) FROM Carriers")).toInt(), 0);
}

TEST_F(RemoteDataTest, RefusedDelayedAndBrokenConnectionsFailCleanly)
{
    TSimDataOptions refusing;
    refusing.refuse = true;
    StartSim(refusing);
    TRemoteDataConnection c;
    EXPECT_FALSE(c.Open(QStringLiteral("127.0.0.1"), m_sim->Port(), 5000));
    EXPECT_FALSE(c.IsOpen());
    EXPECT_FALSE(c.ErrorText().isEmpty());

    TSimDataOptions slow;
    slow.greetDelayMs = 3000;
    StartSim(slow);
    EXPECT_FALSE(c.Open(QStringLiteral("127.0.0.1"), m_sim->Port(), 200)) << "a greeting later than the time-out";
    EXPECT_FALSE(c.IsOpen());

    // A malformed message is answered and the connection stays usable; an
    // announced length over the limit makes the server close it.
    StartSim();
    TNTcpSocket raw;
    ASSERT_TRUE(raw.Connect(QStringLiteral("127.0.0.1"), m_sim->Port(), 5000));
    QByteArray junk(4, '\0');
    qToBigEndian<quint32>(3, junk.data());
    junk.append("{x]");
    ASSERT_TRUE(raw.SendAll(junk + EncodeRemoteMessage({{QStringLiteral("op"), QStringLiteral("listServers")},
                                                        {QStringLiteral("id"), 7}})));
    TRemoteMessageReader reader;
    QList<QJsonObject> replies;
    char buffer[4096];
    while (replies.size() < 3 && raw.WaitForData(5000) == TNTcpSocket::TWaitResult::wrData) {
        const qint64 got = raw.Receive(buffer, sizeof buffer);
        if (got <= 0)
            break;
        reader.Append(buffer, got);
        QJsonObject message;
        QString error;
        while (reader.Next(&message, &error) == TRemoteMessageReader::TResult::Message)
            replies.append(message);
    }
    ASSERT_EQ(replies.size(), 3);  // hello, the error, the list
    EXPECT_EQ(replies[1].value(QStringLiteral("error")).toObject().value(QStringLiteral("code")).toInt(),
              RemoteData::ErrBadRequest);
    EXPECT_EQ(replies[2].value(QStringLiteral("id")).toInt(), 7);
    QByteArray huge(4, '\0');
    qToBigEndian<quint32>(0x7fffffff, huge.data());
    ASSERT_TRUE(raw.SendAll(huge));
    EXPECT_EQ(raw.WaitForData(5000), TNTcpSocket::TWaitResult::wrData);
    EXPECT_EQ(raw.Receive(buffer, sizeof buffer), 0) << "the server closed the broken stream";
}

TEST_F(RemoteDataTest, ARequestHasOneDeadlineWhateverTheServerSendsAndCanBeCancelled)
{
    // Replies under wrong IDs every 20 ms for 3 s, then the right one: each
    // foreign reply must not buy the server more time.
    TSimDataOptions options;
    options.wrongIds = true;
    options.wrongIdsEveryMs = 20;
    options.wrongIdsForMs = 3000;
    StartSim(options);
    TRemoteDataConnection c;
    ASSERT_TRUE(OpenAndConnect(c)) << c.ErrorText().toStdString();
    c.SetTimeout(500);
    TRemotePacket packet;
    EXPECT_FALSE(c.Fetch(QStringLiteral("prvCarrierTypes"), &packet));
    EXPECT_EQ(c.ErrorText(), QStringLiteral("The server did not answer within 500 ms"));
    EXPECT_FALSE(c.IsOpen());

    // Another thread cancels a request that would wait for ever.
    options.wrongIdsForMs = 0;
    StartSim(options);
    ASSERT_TRUE(OpenAndConnect(c)) << c.ErrorText().toStdString();
    c.SetTimeout(600000);
    std::atomic<bool> asked{false};
    std::thread canceller([&] {
        while (m_sim->Requests().size() < 2)  // connect, fetch
            QThread::msleep(5);
        asked = true;
        c.Cancel();
    });
    EXPECT_FALSE(c.Fetch(QStringLiteral("prvCarrierTypes"), &packet));
    canceller.join();
    EXPECT_TRUE(asked);
    EXPECT_EQ(c.ErrorText(), QStringLiteral("Cancelled"));
}

TEST(RemoteMessageReaderTest, RandomInputInRandomPiecesNeverBreaksTheReader)
{
    QRandomGenerator rng(20261207);
    for (int round = 0; round < 3000; ++round) {
        TRemoteMessageReader reader(4096);
        // Well-formed messages with random bytes between some of them.
        QByteArray stream;
        int sent = 0;
        for (int i = rng.bounded(6); i > 0; --i) {
            stream += EncodeRemoteMessage({{QStringLiteral("n"), sent++}});
            if (rng.bounded(4) == 0) {
                QByteArray noise(rng.bounded(12), '\0');
                for (char& b : noise)
                    b = static_cast<char>(rng.bounded(256));
                stream += noise;
                break;  // after noise the framing is lost; stop counting
            }
        }
        int taken = 0;
        int offset = 0;
        bool broken = false;
        while (offset < stream.size() && !broken) {
            const int piece = 1 + rng.bounded(9);
            reader.Append(stream.mid(offset, piece));
            offset += piece;
            QJsonObject message;
            QString error;
            for (;;) {
                const auto result = reader.Next(&message, &error);
                if (result == TRemoteMessageReader::TResult::Message && message.contains(QStringLiteral("n"))) {
                    EXPECT_EQ(message.value(QStringLiteral("n")).toInt(), taken++);
                }
                if (result == TRemoteMessageReader::TResult::Broken)
                    broken = true;
                if (result == TRemoteMessageReader::TResult::NeedMore ||
                    result == TRemoteMessageReader::TResult::Broken)
                    break;
            }
        }
        EXPECT_LE(taken, sent);
    }
}
