// Out-box and address-book figures: an address book of 100,000 contacts in
// 1,000 groups (one of them with 10,000 members), then the time to start the
// local data module, to open the client's nine datasets, to queue one
// message for the big group, to list the pending endpoints, and to queue
// again a text that already reached the big group with 100,000 rows of other
// messages waiting; and the peak memory of the whole run.
#include "benchutil.h"
#include "data/basedataclient.h"
#include "data/dmlocaldata.h"
#include "data/recipient.h"
#include "data/regdataclients.h"
#include "db/connection.h"
#include "db/databasefiles.h"
#include "db/dataset.h"
#include "db/transaction.h"
#include "foundation/dmoptions.h"
#include "foundation/options.h"
#include "platform/programfolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>

namespace {
constexpr int ContactCount = 100000;
constexpr int GroupCount = 1000;
constexpr int BigGroupSize = 10000;
constexpr int SmallGroupSize = 100;
constexpr int FolderCount = 100;
constexpr int ServerCount = 10;

void Prepare(QSqlQuery& query, const char* sql)
{
    if (!query.prepare(QString::fromLatin1(sql)))
        std::fprintf(stderr, "prepare failed: %s\n", sql);
}

void FillAddressBook(const QString& path)
{
    const QString name = UniqueConnectionName(QStringLiteral("bench-fill-"));
    {
        QSqlDatabase db = OpenSqliteConnection(name, path);
        TNTransaction transaction(db);
        QSqlQuery insert(db);
        Prepare(insert, "insert into Servers (Name, TypeNo, Data) values (?, 1, ?)");
        for (int s = 1; s <= ServerCount; ++s) {
            insert.addBindValue(QStringLiteral("Server %1").arg(s));
            insert.addBindValue(QStringLiteral("10.0.0.%1,%2,host%1").arg(s).arg(2000 + s));
            insert.exec();
        }
        Prepare(insert, "insert into Carriers (Name, TypeNo, ServerID, Data) values (?, 4, ?, '160')");
        for (int c = 1; c <= 2 * ServerCount; ++c) {
            insert.addBindValue(QStringLiteral("Carrier %1").arg(c));
            insert.addBindValue((c - 1) % ServerCount + 1);
            insert.exec();
        }
        Prepare(insert,
                "insert into Contacts (Name, FirstName, LastName, Company, CarrierID, Data) "
                "values (?, ?, ?, 'Tovix', ?, '0215550000,false')");
        for (int i = 1; i <= ContactCount; ++i) {
            insert.addBindValue(QStringLiteral("Contact %1").arg(i, 6, 10, QLatin1Char('0')));
            insert.addBindValue(QStringLiteral("First%1").arg(i));
            insert.addBindValue(QStringLiteral("Last%1").arg(i));
            insert.addBindValue((i - 1) % (2 * ServerCount) + 1);
            insert.exec();
        }
        Prepare(insert, "insert into Groups (Name, Description) values (?, 'bench')");
        for (int g = 1; g <= GroupCount; ++g) {
            insert.addBindValue(QStringLiteral("Group %1").arg(g, 4, 10, QLatin1Char('0')));
            insert.exec();
        }
        // Group 1 holds contacts 1..10,000; every other group 100 of the rest.
        Prepare(insert, "insert into GroupAssigns (GroupID, ContactID) values (?, ?)");
        for (int i = 1; i <= BigGroupSize; ++i) {
            insert.addBindValue(1);
            insert.addBindValue(i);
            insert.exec();
        }
        for (int g = 2; g <= GroupCount; ++g) {
            for (int m = 0; m < SmallGroupSize; ++m) {
                insert.addBindValue(g);
                insert.addBindValue(BigGroupSize + ((g - 2) * SmallGroupSize + m) % (ContactCount - BigGroupSize) + 1);
                insert.exec();
            }
        }
        Prepare(insert, "insert into Folders (Name, ParentID) values (?, 0)");
        for (int f = 1; f <= FolderCount; ++f) {
            insert.addBindValue(QStringLiteral("Folder %1").arg(f));
            insert.exec();
        }
        Prepare(insert, "insert into FolderAssigns (FolderID, GroupID, ContactID) values (?, ?, ?)");
        for (int i = 1; i <= ContactCount; ++i) {
            insert.addBindValue((i - 1) % FolderCount + 1);
            insert.addBindValue(NoneID);
            insert.addBindValue(i);
            insert.exec();
        }
        for (int g = 1; g <= GroupCount; ++g) {
            insert.addBindValue((g - 1) % FolderCount + 1);
            insert.addBindValue(g);
            insert.addBindValue(NoneID);
            insert.exec();
        }
        transaction.Commit();
    }
    CloseSqliteConnection(name);
}

double Ms(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e6;
}

qint64 Count(const QSqlDatabase& db, const char* sql)
{
    QSqlQuery query(db);
    return query.exec(QString::fromLatin1(sql)) && query.next() ? query.value(0).toLongLong() : -1;
}

// As the send threads leave a message that went out to the big group: every
// row logged as delivered and gone from the out-box, but for one accepted
// row still waiting for its report, which keeps the message in the out-box.
void LogAsSent(const QSqlDatabase& db, qint32 messageTextID)
{
    TNTransaction transaction(db);
    QSqlQuery query(db);
    query.exec(QStringLiteral("insert into SentMessageTexts (Message) select MessageText from OutMessageTexts "
                              "where ID = %1")
                   .arg(messageTextID));
    const qint64 sentText = query.lastInsertId().toLongLong();
    query.exec(QStringLiteral("update OutMessageTexts set SentMessageTextID = %1 where ID = %2")
                   .arg(sentText)
                   .arg(messageTextID));
    query.exec(QStringLiteral("insert into SentMessages (ContactID, Name, DatabaseGUID, SentMessageTextID, "
                              "ReceiveConfirmed, SendConfirmed, ErrorStatus, ClientRecordID) select ContactID, Name, "
                              "DatabaseGUID, %1, 1, ID <> (select max(ID) from OutMessages where MessageTextID = %2), "
                              "0, ID from OutMessages where MessageTextID = %2")
                   .arg(sentText)
                   .arg(messageTextID));
    query.exec(QStringLiteral("update OutMessages set sentMessagesID = (select s.ID from SentMessages s where "
                              "s.ClientRecordID = OutMessages.ID) where ID = (select max(ID) from OutMessages where "
                              "MessageTextID = %1)")
                   .arg(messageTextID));
    query.exec(QStringLiteral("delete from OutMessages where MessageTextID = %1 and sentMessagesID is null")
                   .arg(messageTextID));
    transaction.Commit();
}

// Send pressed again with a text that already reached the whole big group,
// while 100,000 rows of other messages wait: the check for whom the text
// waits or reached, then the operator's No and Yes; a new text beside it.
void SendSameTextAgain(TDModLocalData& localData, const TNSuperRecipient& group)
{
    const QSqlDatabase db = localData.Connection();
    const qint32 sent = localData.AddOutMessage({&group}, QStringLiteral("Call the desk")).MessageTextID;
    LogAsSent(db, sent);
    for (int i = 1; Count(db, "select count(*) from OutMessages where sentMessagesID is null") < 100000; ++i)
        localData.AddOutMessage({&group}, QStringLiteral("Waiting message %1").arg(i));
    const qint64 waiting = Count(db, "select count(*) from OutMessages where sentMessagesID is null");
    const qint64 logged = Count(db, "select count(*) from SentMessages");

    QElapsedTimer timer;
    int asked = 0;
    for (bool again : {false, true}) {
        timer.start();
        const TNQueueResult result =
            localData.AddOutMessage({&group}, QStringLiteral("Call the desk"), [&](const QStringList&) {
                ++asked;
                return again;
            });
        std::printf(
            "queue the same text again for a group of %d members it reached (%lld rows waiting, %lld "
            "logged), answered %s: %d reached, %d queued, %.0f ms\n",
            BigGroupSize, waiting, logged, again ? "Yes" : "No", int(result.Reached.size()), result.Queued, Ms(timer));
    }
    timer.start();
    const TNQueueResult fresh = localData.AddOutMessage({&group}, QStringLiteral("A new text"));
    std::printf("queue a new text for the same group (%lld rows waiting): %d queued, %.0f ms\n",
                Count(db, "select count(*) from OutMessages where sentMessagesID is null") - fresh.Queued, fresh.Queued,
                Ms(timer));
    if (asked != 2)
        std::printf("the question was asked %d times, not once per Send\n", asked);
}
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    const QString path = folder.path() + u'/';
    CreateMissingDatabaseFiles(path);
    SetProgramFolder(path);

    QElapsedTimer timer;
    timer.start();
    FillAddressBook(path + AddressBookFileName());
    std::printf("build address book (%d contacts, %d groups): %.0f ms, resident %ld MB\n", ContactCount, GroupCount,
                Ms(timer), bench::MemoryKb("VmRSS") / 1024);

    TDModOptions options;
    timer.restart();
    TDModLocalData localData;
    std::printf("start local data module (compact both files, make clients): %.0f ms\n", Ms(timer));
    TBaseDataClient* client = DataClients.Items(0);

    timer.restart();
    for (int kind = 0; kind < DataKindCount; ++kind)
        client->GetDataSet(static_cast<TDataKind>(kind))->Open();
    std::printf("open the client's nine datasets (%d contacts): %.0f ms, resident %ld MB\n",
                client->GetDataSet(dkContacts)->RecordCount(), Ms(timer), bench::MemoryKb("VmRSS") / 1024);

    const TNSuperRecipient group{nkGroup, 1, client, 9, QStringLiteral("Group 0001")};
    for (bool names : {false, true}) {
        Options->OptionByName(QStringLiteral("ShowContactNamesOfGroups"))->SetValue(names);
        timer.restart();
        // Another text each time: the same one would find its rows queued.
        localData.AddOutMessage({&group}, QStringLiteral("Benchmark message %1").arg(names ? 2 : 1));
        std::printf("queue one message for a group of %d members (%s): %.0f ms\n", BigGroupSize,
                    names ? "with member names" : "group name only", Ms(timer));
    }

    TNEndpointList endpoints;
    timer.restart();
    localData.GetPendingServers(endpoints);
    std::printf("pending endpoints of %d queued rows: %d in %.1f ms\n", 2 * BigGroupSize, int(endpoints.size()),
                Ms(timer));

    std::printf("peak memory (VmHWM) so far: %ld MB\n", bench::MemoryKb("VmHWM") / 1024);
    SendSameTextAgain(localData, group);

    std::printf("peak memory (VmHWM): %ld MB\n", bench::MemoryKb("VmHWM") / 1024);
    SetProgramFolder(QString());
    return 0;
}
