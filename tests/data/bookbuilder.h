#pragma once
// Fills an address-book file with rows for the tests of the data layer.
#include "db/connection.h"
#include "db/sqlexec.h"

#include <QSqlQuery>
#include <QVariantMap>

class TBookBuilder {
public:
    explicit TBookBuilder(const QString& path) : m_name(UniqueConnectionName(QStringLiteral("book-builder-")))
    {
        OpenSqliteConnection(m_name, path);
    }
    ~TBookBuilder() { CloseSqliteConnection(m_name); }
    TBookBuilder(const TBookBuilder&) = delete;
    TBookBuilder& operator=(const TBookBuilder&) = delete;

    QSqlDatabase Db() const { return QSqlDatabase::database(m_name, false); }

    qint32 Insert(const QString& sql, const QVariantMap& params)
    {
        QSqlQuery query = PrepareSql(Db(), sql, ParamMapValues(params), QStringLiteral("TBookBuilder"));
        ExecPrepared(query, QStringLiteral("TBookBuilder"));
        return query.lastInsertId().toInt();
    }
    qint32 Server(const QString& name, int typeNo, const QString& data)
    {
        return Insert(
            QStringLiteral("insert into Servers (Name, TypeNo, Data) values (:Name, :TypeNo, :Data)"),
            {{QStringLiteral("Name"), name}, {QStringLiteral("TypeNo"), typeNo}, {QStringLiteral("Data"), data}});
    }
    qint32 Carrier(const QString& name, int typeNo, qint32 serverID, const QString& data = QString())
    {
        return Insert(QStringLiteral("insert into Carriers (Name, TypeNo, ServerID, Data) "
                                     "values (:Name, :TypeNo, :ServerID, :Data)"),
                      {{QStringLiteral("Name"), name},
                       {QStringLiteral("TypeNo"), typeNo},
                       {QStringLiteral("ServerID"), serverID},
                       {QStringLiteral("Data"), data}});
    }
    qint32 Contact(const QString& name, qint32 carrierID, const QString& data = QStringLiteral("555,false"))
    {
        return Insert(
            QStringLiteral("insert into Contacts (Name, CarrierID, Data) values (:Name, :CarrierID, :Data)"),
            {{QStringLiteral("Name"), name}, {QStringLiteral("CarrierID"), carrierID}, {QStringLiteral("Data"), data}});
    }
    qint32 Group(const QString& name)
    {
        return Insert(QStringLiteral("insert into Groups (Name) values (:Name)"), {{QStringLiteral("Name"), name}});
    }
    void Member(qint32 groupID, qint32 contactID)
    {
        Insert(QStringLiteral("insert into GroupAssigns (GroupID, ContactID) values (:GroupID, :ContactID)"),
               {{QStringLiteral("GroupID"), groupID}, {QStringLiteral("ContactID"), contactID}});
    }
    // A row of the local database's address-book list (GUID "{Name}").
    qint32 DatabaseRow(int typeNo, const QString& name, int orderNo, const QString& data)
    {
        return Insert(QStringLiteral("insert into Databases (TypeNo, Name, OrderNo, Data, GUID) "
                                     "values (:TypeNo, :Name, :OrderNo, :Data, :GUID)"),
                      {{QStringLiteral("TypeNo"), typeNo},
                       {QStringLiteral("Name"), name},
                       {QStringLiteral("OrderNo"), orderNo},
                       {QStringLiteral("Data"), data},
                       {QStringLiteral("GUID"), QStringLiteral("{%1}").arg(name)}});
    }
    void Exec(const QString& sql, const QVariantMap& params = {})
    {
        ExecuteSql(Db(), sql, params, QStringLiteral("TBookBuilder"));
    }

    qint64 Count(const QString& table, const QString& where = QString())
    {
        QSqlQuery query(Db());
        query.exec(QStringLiteral("select count(*) from ") + table +
                   (where.isEmpty() ? QString() : QStringLiteral(" where ") + where));
        return query.next() ? query.value(0).toLongLong() : -1;
    }
    QVariant Value(const QString& sql)
    {
        QSqlQuery query(Db());
        query.exec(sql);
        return query.next() ? query.value(0) : QVariant();
    }

private:
    QString m_name;
};
