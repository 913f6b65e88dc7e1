#pragma once
// A shared address book "Shared Book" served by the simulator's remote data
// door (an address book in a real SQLite file beside the program's files),
// listed in the local database and made by the local data module; helpers
// to add rows offline and to read the server's rows by SQL.
#include "data/basedataclient.h"
#include "data/folderstree.h"
#include "data/regdataclients.h"
#include "data/sharedaccessclient.h"
#include "data/sharedapply.h"
#include "db/field.h"
#include "foundation/scgtreeview.h"
#include "localdatafixture.h"
#include "remotedatasim.h"

#include <QMultiMap>
#include <QSqlQuery>
#include <QTreeWidget>
#include <algorithm>
#include <limits>
#include <memory>

namespace {
const QString kServer = QStringLiteral("TovixServer.TovixRemoteDataModule");
const QString kBook = QStringLiteral("Shared Book");
const QString kGuid = QStringLiteral("{5AAAAAAA-0000-0000-0000-000000000001}");

class SharedBookFixture : public LocalDataFixture {
protected:
    void SetUp() override
    {
        LocalDataFixture::SetUp();
        StartSim(0, {});
    }
    // The door's options: on the port it listens on now (the book names
    // it), or any free one before it first starts.
    TSimDataOptions SimOptions()
    {
        TSimDataOptions options;
        options.listenAddress = QHostAddress(QHostAddress::LocalHost);
        options.port = Sim ? Sim->Port() : 0;
        options.tcpDoorPort = 2150;
        options.books.append({kServer, QString(), Dbs.Folder() + QStringLiteral("server.db")});
        return options;
    }
    // The door on Port (0: any free one), with Faults and the answers it loses.
    void StartSim(quint16 port, const QList<TSimDataFault>& faults, int loseAnswers = 0)
    {
        TSimDataOptions options = SimOptions();
        options.port = port;
        options.faults = faults;
        options.loseApplyAnswers = loseAnswers;
        RestartSim(options);
    }
    // The door again with Options.
    void RestartSim(const TSimDataOptions& options)
    {
        Sim.reset();
        Sim = std::make_unique<TRemoteDataSim>(options);
        ASSERT_TRUE(Sim->Start());
    }
    void TearDown() override
    {
        SetReconcileHandler({});
        LocalDataFixture::TearDown();
        Sim.reset();
    }
    void AddBook(const QString& host = QStringLiteral("127.0.0.1"), const QString& name = kBook)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("setup"));
        db.setDatabaseName(Dbs.LocalDataPath());
        db.open();
        QSqlQuery q(db);
        q.prepare(
            QStringLiteral("insert into Databases (TypeNo, Name, OrderNo, Data, GUID) values (2, :N, 2, :D, :G)"));
        q.bindValue(QStringLiteral(":N"), name);
        q.bindValue(QStringLiteral(":D"), QStringLiteral("%1,%2,%3, ").arg(host).arg(Sim->Port()).arg(kServer));
        q.bindValue(QStringLiteral(":G"), kGuid);
        q.exec();
        q = QSqlQuery();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("setup"));
    }
    // The book made with the server's contact 10 "Bob" fetched into it;
    // nullptr (with a failure) when that cannot be done.
    TSharedAccessClient* StartWithBob()
    {
        ServerSql(QStringLiteral("insert into Contacts (ID, Name) values (10, 'Bob')"));
        AddBook();
        StartLocalData();
        TSharedAccessClient* client = Client();
        QString error;
        if (!client || !RefreshSharedDataSet(*client, dkContacts, &error)) {
            ADD_FAILURE() << "the book did not start: " << error.toStdString();
            return nullptr;
        }
        return client;
    }
    TSharedAccessClient* Client()
    {
        TBaseDataClient* client = nullptr;
        DataClients.WithClientByGUID(kGuid, [&](TBaseDataClient& c) { client = &c; });
        return qobject_cast<TSharedAccessClient*>(client);
    }
    QVariant ServerSql(const QString& sql)
    {
        QVariant value;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("server"));
            db.setDatabaseName(Dbs.Folder() + QStringLiteral("server.db"));
            db.open();
            QSqlQuery q(sql, db);
            if (q.next())
                value = q.value(0);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("server"));
        return value;
    }
    // Appends a row with the next temporary ID and the given values.
    static qint32 AddRow(TSharedAccessClient* client, TDataKind kind, const QVariantMap& values)
    {
        TNDataSet* ds = client->GetDataSet(kind);
        const qint32 id = client->GetNextTempIDByKind(kind);
        ds->Append();
        ds->FieldByName(QStringLiteral("ID"))->SetValue(id);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            ds->FieldByName(it.key())->SetValue(it.value());
        ds->Post();
        return id;
    }
    // The rows of Kind here and of Table on the server as "field:field,..."
    // in ID order (here, a row without an ID first).
    static QString RowsHere(TSharedAccessClient* client, TDataKind kind, const QStringList& fields)
    {
        TNClientDataSet* dataSet = client->ClientDataSet(kind);
        QMultiMap<qint64, QString> rows;
        dataSet->ForEachStoredRow([&](const std::vector<QVariant>& values) {
            QStringList cells;
            for (const QString& field : fields)
                cells.append(values[size_t(dataSet->FieldDefIndex(field))].toString());
            rows.insert(values[0].isNull() ? std::numeric_limits<qint64>::min() : values[0].toLongLong(),
                        cells.join(u':'));
        });
        return QStringList(rows.values()).join(u',');
    }
    QString RowsThere(const QString& table, const QStringList& fields)
    {
        return ServerSql(QStringLiteral("select group_concat(x, ',') from (select %1 as x from %2 order by ID)")
                             .arg(fields.join(QStringLiteral(" || ':' || ")), table))
            .toString();
    }
    static QVariant Value(TSharedAccessClient* client, TDataKind kind, qint32 id, const char* field)
    {
        return client->GetDataSet(kind)->Lookup(QStringLiteral("ID"), id, QString::fromLatin1(field));
    }
    // A new contact placed in the book's root folder, as the tree's New
    // Contact places it, and a folder tree loaded over the books that shows
    // it; the tree is taken down with this.
    class TContactInTree {
    public:
        TContactInTree(TSharedAccessClient* client, qint32 contact) : m_contact(contact)
        {
            AddRow(client, dkFolderAssigns,
                   {{QStringLiteral("FolderID"), 0},
                    {QStringLiteral("ContactID"), contact},
                    {QStringLiteral("GroupID"), NoneID}});
            FoldersTreeState->AttachToForm(nullptr, &m_tree, &m_clipboard);
            LoadFoldersTree(&m_tree);
        }
        ~TContactInTree()
        {
            m_tree.clear();
            FoldersTreeState->ForgetAllNodes();
        }
        TContactInTree(const TContactInTree&) = delete;
        TContactInTree& operator=(const TContactInTree&) = delete;
        // The contact's nodes in the tree.
        qsizetype Nodes() const
        {
            const QList<TNTreeNode*> nodes = AllNodes(&m_tree);
            return std::count_if(nodes.cbegin(), nodes.cend(), [&](const TNTreeNode* node) {
                return node->Kind == nkContact && node->ID == m_contact;
            });
        }

    private:
        qint32 m_contact;
        TSCGTreeView m_tree;
        QTreeWidget m_clipboard;
    };

    std::unique_ptr<TRemoteDataSim> Sim;
};
}  // namespace
