#include "simdatadoor.h"

#include "data/recordusage.h"
#include "db/databasefiles.h"
#include "simframelog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTcpSocket>
#include <QTimer>
#include <QUuid>
#include <QtEndian>
#include <utility>

namespace {
QJsonObject ErrorReply(int code, const QString& text)
{
    return {{QStringLiteral("ok"), false},
            {QStringLiteral("error"), QJsonObject{{QStringLiteral("code"), code}, {QStringLiteral("text"), text}}}};
}

TRemoteFieldKind KindOfDeclaredType(const QString& declared, int* size)
{
    const QString type = declared.toUpper();
    *size = 0;
    if (type.startsWith(QLatin1String("VARCHAR"))) {
        *size = type.section(u'(', 1).section(u')', 0, 0).toInt();
        return TRemoteFieldKind::String;
    }
    if (type == QLatin1String("SMALLINT"))
        return TRemoteFieldKind::SmallInt;
    if (type == QLatin1String("BOOLEAN"))
        return TRemoteFieldKind::Boolean;
    if (type == QLatin1String("TEXT"))
        return TRemoteFieldKind::Memo;
    return TRemoteFieldKind::Integer;
}

// The columns of a table with their kinds, in table order.
QList<TRemoteFieldDef> TableFields(const QSqlDatabase& db, const QString& table)
{
    QList<TRemoteFieldDef> fields;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table)))
        return fields;
    while (query.next()) {
        TRemoteFieldDef field;
        field.name = query.value(1).toString();
        field.kind = KindOfDeclaredType(query.value(2).toString(), &field.size);
        fields.append(field);
    }
    return fields;
}

QVariant StoredValue(const QVariant& value, TRemoteFieldKind kind)
{
    if (value.isNull())
        return QVariant();
    if (kind == TRemoteFieldKind::Boolean)
        return value.toLongLong() != 0;
    return value;
}

// Equal as the client and the database would see them: Booleans as 0/1,
// numbers by value, texts exactly.
bool SameValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    auto text = [](const QVariant& v) {
        return v.typeId() == QMetaType::Bool ? QString::number(v.toBool() ? 1 : 0) : v.toString();
    };
    return text(a) == text(b);
}

QVariantMap RowMap(const QSqlRecord& record, const QList<TRemoteFieldDef>& fields)
{
    QVariantMap row;
    for (const TRemoteFieldDef& field : fields)
        row.insert(field.name, StoredValue(record.value(field.name), field.kind));
    return row;
}

// A reference to a row the client has not applied yet: the server has no
// such row, and the row would be stored naming an ID nobody will ever hold.
bool NamesTemporaryId(const QVariantMap& values, qint64* id)
{
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (!it.key().endsWith(QLatin1String("ID"), Qt::CaseInsensitive) || it.value().isNull())
            continue;
        bool number = false;
        const qint64 value = it.value().toLongLong(&number);
        if (number && RemoteData::IsTemporaryId(value)) {
            *id = value;
            return true;
        }
    }
    return false;
}

constexpr int kKeptApplies = 1000;

// Why the row may not be deleted: other rows name it (the contacts of a
// carrier, the carriers of a carrier type), as a database with references
// refuses it. Empty when nothing names it.
QString UsedByOthers(const QSqlDatabase& db, const QString& provider, const QVariantMap& row)
{
    TRecordReference reference;
    const int kind = int(RemoteData::ProviderNames().indexOf(provider));
    if (kind < 0 || !RecordReferenceOf(TDataKind(kind), reference))
        return QString();
    QSqlQuery count(db);
    count.prepare(QStringLiteral("SELECT COUNT(*) FROM \"%1\" WHERE \"%2\" = :Key")
                      .arg(reference.UserTable, reference.UserField));
    count.bindValue(QStringLiteral(":Key"), row.value(reference.KeyField));
    if (!count.exec() || !count.next() || count.value(0).toInt() < 1)
        return QString();
    return InUseWarning(row.value(QStringLiteral("Name")).toString(), count.value(0).toInt(), reference.UserSingular,
                        reference.UserPlural);
}

bool KnownColumns(const QVariantMap& values, const QList<TRemoteFieldDef>& fields)
{
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        bool found = false;
        for (const TRemoteFieldDef& field : fields)
            found = found || field.name == it.key();
        if (!found)
            return false;
    }
    return true;
}
}  // namespace

TSimDataDoor::TSimDataDoor(const TSimDataOptions& options, TSimFrameLog& log, QObject* parent)
    : QObject(parent), m_options(options), m_log(log)
{
    connect(&m_server, &QTcpServer::newConnection, this, &TSimDataDoor::OnNewConnection);
}

TSimDataDoor::~TSimDataDoor()
{
    for (TConnection& connection : m_connections) {
        delete std::exchange(connection.chatter, nullptr);
        delete connection.socket;
    }
    m_connections.clear();
    for (const TSimDataBook& book : m_options.books) {
        const QString name = ConnectionName(book.serverName);
        if (QSqlDatabase::contains(name)) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    }
}

QString TSimDataDoor::ConnectionName(const QString& serverName) const
{
    return QStringLiteral("simdata:%1:%2").arg(reinterpret_cast<quintptr>(this)).arg(serverName);
}

const TSimDataBook* TSimDataDoor::FindBook(const QString& serverName) const
{
    for (const TSimDataBook& book : m_options.books) {
        if (book.serverName.compare(serverName, Qt::CaseInsensitive) == 0)
            return &book;
    }
    return nullptr;
}

bool TSimDataDoor::Start(QString* errorText)
{
    for (TSimDataBook& book : m_options.books) {
        if (book.guid.isEmpty())
            book.guid = QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
        try {
            if (!QFile::exists(book.file))
                CreateAddressBookFile(book.file);
        } catch (const std::exception& e) {
            *errorText = QStringLiteral("%1: %2").arg(book.file, QString::fromUtf8(e.what()));
            return false;
        }
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), ConnectionName(book.serverName));
        db.setDatabaseName(book.file);
        QSqlQuery table(db);
        if (!db.open() || !table.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS DoorApplies (ApplyID TEXT PRIMARY "
                                                     "KEY, Provider TEXT NOT NULL, Results TEXT NOT NULL)"))) {
            *errorText =
                QStringLiteral("%1: %2").arg(book.file, db.isOpen() ? table.lastError().text() : db.lastError().text());
            return false;
        }
    }
    if (!m_server.listen(m_options.listenAddress, m_options.port)) {
        *errorText = m_server.errorString();
        return false;
    }
    return true;
}

void TSimDataDoor::OnNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        const int id = m_nextConnection++;
        socket->setParent(nullptr);
        m_connections[id].socket = socket;
        m_log.Add(id, TSimDirection::Open, {QStringLiteral("data")});
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { OnReadyRead(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { OnDisconnected(id); });
        if (m_options.greetDelayMs > 0)
            QTimer::singleShot(m_options.greetDelayMs, this, [this, id] { Greet(id); });
        else
            Greet(id);
    }
}

void TSimDataDoor::Greet(int id)
{
    auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    if (m_options.refuse) {
        Send(id, {{QStringLiteral("op"), QStringLiteral("refused")},
                  {QStringLiteral("text"), QStringLiteral("The remote data server refused the connection")}});
        it->socket->disconnectFromHost();
        return;
    }
    QJsonObject hello{
        {QStringLiteral("op"), QStringLiteral("hello")},
        {QStringLiteral("protocol"), m_options.protocol != 0 ? m_options.protocol : RemoteData::ProtocolVersion}};
    if (m_options.tcpDoorPort != 0)
        hello.insert(QStringLiteral("tcpPort"), m_options.tcpDoorPort);
    Send(id, hello);
}

void TSimDataDoor::Send(int id, const QJsonObject& message)
{
    auto it = m_connections.find(id);
    if (it != m_connections.end())
        it->socket->write(EncodeRemoteMessage(message));
}

void TSimDataDoor::OnDisconnected(int id)
{
    auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    it->socket->deleteLater();
    delete it->chatter;
    m_connections.erase(it);
    m_log.Add(id, TSimDirection::Close, {QStringLiteral("data")});
}

void TSimDataDoor::OnReadyRead(int id)
{
    auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    it->reader.Append(it->socket->readAll());
    for (;;) {
        it = m_connections.find(id);
        if (it == m_connections.end())
            return;
        QJsonObject request;
        QString error;
        const TRemoteMessageReader::TResult result = it->reader.Next(&request, &error);
        if (result == TRemoteMessageReader::TResult::NeedMore)
            return;
        if (result == TRemoteMessageReader::TResult::Broken) {
            m_log.Add(id, TSimDirection::In, {QStringLiteral("broken"), error});
            it->socket->disconnectFromHost();
            return;
        }
        if (result == TRemoteMessageReader::TResult::Malformed) {
            m_log.Add(id, TSimDirection::In, {QStringLiteral("malformed"), error});
            Send(id, ErrorReply(RemoteData::ErrBadRequest, error));
            continue;
        }
        const QString op = request.value(QStringLiteral("op")).toString();
        m_log.Add(id, TSimDirection::In,
                  {op, request.value(QStringLiteral("provider")).toString(),
                   request.value(QStringLiteral("server")).toString()});
        if (op == QLatin1String("disconnect")) {
            it->socket->disconnectFromHost();
            return;
        }
        if (AnswerFaulty(id, op, request))
            continue;
        QJsonObject reply = Handle(*it, request);
        if (m_loseAnswer) {
            m_loseAnswer = false;
            m_log.Add(id, TSimDirection::Out, {QStringLiteral("answer lost")});
            it->socket->abort();
            return;
        }
        reply.insert(QStringLiteral("id"), request.value(QStringLiteral("id")));
        Send(id, reply);
    }
}

bool TSimDataDoor::AnswerFaulty(int id, const QString& op, const QJsonObject& request)
{
    if (op != QLatin1String("fetch") && op != QLatin1String("apply"))
        return false;
    const QByteArray canned = m_options.canned.value(op + u':' + request.value(QStringLiteral("provider")).toString());
    if (!canned.isEmpty() && canned.startsWith('{')) {
        const QByteArray number = QByteArray::number(request.value(QStringLiteral("id")).toInt());
        const QByteArray body = "{\"id\":" + number + (canned.size() > 2 ? "," : "") + canned.mid(1);
        QByteArray framed(4, '\0');
        qToBigEndian<quint32>(static_cast<quint32>(body.size()), framed.data());
        m_connections[id].socket->write(framed + body);
        return true;
    }
    if (!m_options.wrongIds)
        return false;
    TConnection& connection = m_connections[id];
    QJsonObject reply = Handle(connection, request);
    const QJsonValue number = request.value(QStringLiteral("id"));
    reply.insert(QStringLiteral("id"), number.toInt() + 1000);
    Send(id, reply);
    delete connection.chatter;
    connection.chatter = new QTimer;
    connect(connection.chatter, &QTimer::timeout, this, [this, id, reply] { Send(id, reply); });
    connection.chatter->start(m_options.wrongIdsEveryMs);
    if (m_options.wrongIdsForMs > 0) {
        reply.insert(QStringLiteral("id"), number);
        QTimer::singleShot(m_options.wrongIdsForMs, connection.chatter, [this, id, reply] {
            m_connections[id].chatter->stop();
            Send(id, reply);
        });
    }
    return true;
}

QJsonObject TSimDataDoor::Handle(TConnection& connection, const QJsonObject& request)
{
    const QString op = request.value(QStringLiteral("op")).toString();
    const QString server = request.value(QStringLiteral("server")).toString();
    if (op == QLatin1String("listServers")) {
        QJsonArray names;
        for (const TSimDataBook& book : m_options.books)
            names.append(book.serverName);
        return {{QStringLiteral("ok"), true}, {QStringLiteral("servers"), names}};
    }
    if (op == QLatin1String("serverGuid") || op == QLatin1String("connect")) {
        const TSimDataBook* book = FindBook(server);
        if (!book)
            return ErrorReply(RemoteData::ErrUnknownServer, QStringLiteral("Unknown server name \"%1\"").arg(server));
        if (op == QLatin1String("serverGuid"))
            return {{QStringLiteral("ok"), true}, {QStringLiteral("guid"), book->guid}};
        connection.server = book->serverName;
        return {{QStringLiteral("ok"), true}};
    }
    if (op != QLatin1String("fetch") && op != QLatin1String("apply"))
        return ErrorReply(RemoteData::ErrBadRequest, QStringLiteral("Unknown request \"%1\"").arg(op));
    if (connection.server.isEmpty())
        return ErrorReply(RemoteData::ErrNotConnected, QStringLiteral("Not connected to a server"));
    const QString provider = request.value(QStringLiteral("provider")).toString();
    if (RemoteData::ProviderTable(provider).isEmpty())
        return ErrorReply(RemoteData::ErrUnknownProvider, QStringLiteral("Unknown provider \"%1\"").arg(provider));
    if (op == QLatin1String("fetch"))
        return Fetch(connection.server, provider);
    if (!request.value(QStringLiteral("changes")).isArray())
        return ErrorReply(RemoteData::ErrBadRequest, QStringLiteral("An apply needs its \"changes\""));
    const QString applyId = request.value(QStringLiteral("applyId")).toString();
    if (applyId.isEmpty())
        return ErrorReply(RemoteData::ErrBadRequest, QStringLiteral("An apply needs its \"applyId\""));
    return Apply(connection.server, provider, applyId, request.value(QStringLiteral("changes")).toArray());
}

QJsonObject TSimDataDoor::Fetch(const QString& server, const QString& provider)
{
    const QSqlDatabase db = QSqlDatabase::database(ConnectionName(server));
    const QString table = RemoteData::ProviderTable(provider);
    TRemotePacket packet;
    packet.fields = TableFields(db, table);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (packet.fields.isEmpty() || !query.exec(QStringLiteral("SELECT * FROM \"%1\" ORDER BY ID").arg(table)))
        return ErrorReply(RemoteData::ErrServer, query.lastError().text());
    while (query.next()) {
        QVariantList row;
        row.reserve(packet.fields.size());
        for (int i = 0; i < packet.fields.size(); ++i)
            row.append(StoredValue(query.value(i), packet.fields[i].kind));
        packet.rows.append(row);
    }
    return {{QStringLiteral("ok"), true}, {QStringLiteral("packet"), packet.ToJson()}};
}

QJsonObject TSimDataDoor::Apply(const QString& server, const QString& provider, const QString& applyId,
                                const QJsonArray& changes)
{
    QSqlDatabase db = QSqlDatabase::database(ConnectionName(server));
    QSqlQuery seen(db);
    seen.prepare(QStringLiteral("SELECT Provider, Results FROM DoorApplies WHERE ApplyID = :ID"));
    seen.bindValue(QStringLiteral(":ID"), applyId);
    if (!seen.exec())
        return ErrorReply(RemoteData::ErrServer, seen.lastError().text());
    if (seen.next()) {
        // A repeat of an apply already stored: its answer was lost.
        if (seen.value(0).toString() != provider)
            return ErrorReply(
                RemoteData::ErrBadRequest,
                QStringLiteral("The apply ID \"%1\" belongs to %2").arg(applyId, seen.value(0).toString()));
        return {{QStringLiteral("ok"), true},
                {QStringLiteral("results"), QJsonDocument::fromJson(seen.value(1).toByteArray()).array()}};
    }
    db.transaction();
    const QJsonArray results = ApplyChanges(db, provider, changes);
    QSqlQuery keep(db);
    keep.prepare(QStringLiteral("INSERT INTO DoorApplies (ApplyID, Provider, Results) VALUES (:ID, :P, :R)"));
    keep.bindValue(QStringLiteral(":ID"), applyId);
    keep.bindValue(QStringLiteral(":P"), provider);
    keep.bindValue(QStringLiteral(":R"), QString::fromUtf8(QJsonDocument(results).toJson(QJsonDocument::Compact)));
    QSqlQuery prune(db);
    if (!keep.exec() ||
        !prune.exec(QStringLiteral("DELETE FROM DoorApplies WHERE rowid <= (SELECT MAX(rowid) FROM DoorApplies) - %1")
                        .arg(kKeptApplies)) ||
        !db.commit()) {
        const QString error = keep.lastError().isValid() ? keep.lastError().text() : db.lastError().text();
        db.rollback();
        return ErrorReply(RemoteData::ErrServer, error);
    }
    if (m_options.loseApplyAnswers > 0) {
        --m_options.loseApplyAnswers;
        m_loseAnswer = true;
    }
    return {{QStringLiteral("ok"), true}, {QStringLiteral("results"), results}};
}

QJsonArray TSimDataDoor::ApplyChanges(QSqlDatabase& db, const QString& provider, const QJsonArray& changes)
{
    const QString table = RemoteData::ProviderTable(provider);
    const QList<TRemoteFieldDef> fields = TableFields(db, table);
    QJsonArray results;
    for (const QJsonValue& value : changes) {
        TRemoteApplyResult result;
        TRemoteChange change;
        QString error;
        auto current = [&](qint64 id, QVariantMap* row) {
            QSqlQuery select(db);
            select.prepare(QStringLiteral("SELECT * FROM \"%1\" WHERE ID = :ID").arg(table));
            select.bindValue(QStringLiteral(":ID"), id);
            if (!select.exec() || !select.next())
                return false;
            *row = RowMap(select.record(), fields);
            return true;
        };
        auto refuse = [&](int code, const QString& text) {
            result.code = code;
            result.text = text;
            result.hasCurrent = current(change.id, &result.current);
        };
        if (!TRemoteChange::FromJson(value.toObject(), &change, &error)) {
            result.code = RemoteData::RowConstraint;
            result.text = error;
            results.append(result.ToJson());
            continue;
        }
        const TSimDataFault* fault = nullptr;
        for (const TSimDataFault& f : m_options.faults) {
            if (f.provider == provider && f.id == change.id)
                fault = &f;
        }
        QVariantMap stored;
        const bool exists = change.kind != TRemoteChange::TKind::Insert && current(change.id, &stored);
        bool conflict = false;
        for (auto it = change.original.cbegin(); exists && it != change.original.cend(); ++it)
            conflict = conflict || !SameValue(stored.value(it.key()), it.value());
        if (fault) {
            refuse(fault->code, fault->code == RemoteData::RowConstraint ? QStringLiteral("Key violation")
                                : fault->code == RemoteData::RowNotFound
                                    ? QStringLiteral("Record not found or changed by another user")
                                    : QStringLiteral("Record changed by another user"));
            if (fault->code == RemoteData::RowNotFound)
                result.hasCurrent = false;
        } else if (qint64 temporary = 0; NamesTemporaryId(change.values, &temporary)) {
            refuse(RemoteData::RowConstraint,
                   QStringLiteral("The row names %1, the temporary ID of a record not yet applied").arg(temporary));
        } else if (!KnownColumns(change.values, fields) || !KnownColumns(change.original, fields)) {
            refuse(RemoteData::RowConstraint, QStringLiteral("Unknown field name"));
        } else if (change.kind != TRemoteChange::TKind::Insert && !exists) {
            refuse(RemoteData::RowNotFound, QStringLiteral("Record not found or changed by another user"));
        } else if (conflict) {
            refuse(RemoteData::RowConflict, QStringLiteral("Record changed by another user"));
        } else if (const QString used =
                       change.kind == TRemoteChange::TKind::Delete ? UsedByOthers(db, provider, stored) : QString();
                   !used.isEmpty()) {
            refuse(RemoteData::RowConstraint, used);
        } else {
            QSqlQuery write(db);
            QVariantMap values = change.values;
            values.remove(QStringLiteral("ID"));
            QStringList columns;
            QStringList sets;
            for (auto it = values.cbegin(); it != values.cend(); ++it) {
                columns.append(QStringLiteral("\"%1\"").arg(it.key()));
                sets.append(QStringLiteral("\"%1\" = :v%2").arg(it.key()).arg(sets.size()));
            }
            QString sql;
            if (change.kind == TRemoteChange::TKind::Insert) {
                QStringList names;
                for (int i = 0; i < columns.size(); ++i)
                    names.append(QStringLiteral(":v%1").arg(i));
                sql = columns.isEmpty() ? QStringLiteral("INSERT INTO \"%1\" DEFAULT VALUES").arg(table)
                                        : QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                                              .arg(table, columns.join(u','), names.join(u','));
            } else if (change.kind == TRemoteChange::TKind::Modify) {
                sql = sets.isEmpty()
                          ? QStringLiteral("UPDATE \"%1\" SET ID = ID WHERE ID = :ID").arg(table)
                          : QStringLiteral("UPDATE \"%1\" SET %2 WHERE ID = :ID").arg(table, sets.join(u','));
            } else {
                sql = QStringLiteral("DELETE FROM \"%1\" WHERE ID = :ID").arg(table);
            }
            write.prepare(sql);
            int i = 0;
            for (auto it = values.cbegin(); change.kind != TRemoteChange::TKind::Delete && it != values.cend(); ++it)
                write.bindValue(QStringLiteral(":v%1").arg(i++), it.value());
            if (change.kind != TRemoteChange::TKind::Insert)
                write.bindValue(QStringLiteral(":ID"), change.id);
            if (write.exec()) {
                result.ok = true;
                result.newId =
                    change.kind == TRemoteChange::TKind::Insert ? write.lastInsertId().toLongLong() : change.id;
                // A new row goes back as stored: the client takes the
                // defaults the table filled in as what it loaded.
                if (change.kind == TRemoteChange::TKind::Insert)
                    result.hasCurrent = current(result.newId, &result.current);
            } else {
                refuse(RemoteData::RowConstraint, write.lastError().text());
            }
        }
        results.append(result.ToJson());
    }
    return results;
}
