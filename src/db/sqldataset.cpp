#include "db/sqldataset.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include "db/connection.h"
#include "db/dberror.h"
#include "db/sqltext.h"

namespace {

QString QuoteName(const QString& name)
{
    QString quoted = name;
    quoted.replace(u'"', QLatin1String("\"\""));
    return u'"' + quoted + u'"';
}

// A value as read from the database in the kind's in-memory form.
QVariant FromStored(TFieldKind kind, const QVariant& raw)
{
    if (IsNullValue(raw))
        return QVariant();
    switch (kind) {
        case TFieldKind::fkString:
        case TFieldKind::fkMemo:
        case TFieldKind::fkUnknown:
            return raw.typeId() == QMetaType::QString ? raw : QVariant(raw.toString());
        case TFieldKind::fkInteger:
        case TFieldKind::fkSmallInt:
        case TFieldKind::fkAutoInc:
            if (raw.typeId() == QMetaType::LongLong || raw.typeId() == QMetaType::Int)
                return QVariant(int(raw.toLongLong()));
            break;
        case TFieldKind::fkBoolean:
            if (raw.typeId() == QMetaType::LongLong || raw.typeId() == QMetaType::Int)
                return QVariant(raw.toLongLong() != 0);
            break;
        default:
            break;
    }
    return ConvertToKind(kind, raw);
}

}  // namespace

void TNSqlDataSet::SetConnection(TNConnection* connection)
{
    if (connection == m_connection)
        return;
    Close();
    m_connection = connection;
    m_tableColumns.clear();
}

QSqlDatabase TNSqlDataSet::Database() const
{
    if (!m_connection)
        Error(QStringLiteral("No connection"));
    return m_connection->Database();
}

QString TNSqlDataSet::RoutineName(const char* routine) const
{
    const QString name = objectName().isEmpty() ? QString::fromLatin1(metaObject()->className()) : objectName();
    return name + u'.' + QLatin1String(routine) + QStringLiteral("()");
}

const std::vector<TNTableColumn>& TNSqlDataSet::TableColumns(const QString& table) const
{
    const QString cacheKey = table.toLower();
    auto it = m_tableColumns.find(cacheKey);
    if (it != m_tableColumns.end())
        return *it;
    QSqlQuery query(Database());
    std::vector<TNTableColumn> columns;
    if (query.exec(QStringLiteral("PRAGMA table_info(%1)").arg(QuoteName(table)))) {
        int keys = 0;
        while (query.next()) {
            TNTableColumn column;
            column.Name = query.value(1).toString();
            const QString type = query.value(2).toString();
            column.Kind = KindOfDeclaredType(type, &column.Size);
            column.IsKey =
                query.value(5).toInt() == 1 && type.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0;
            keys += query.value(5).toInt() > 0 ? 1 : 0;
            columns.push_back(column);
        }
        for (TNTableColumn& column : columns) {
            if (keys != 1)
                column.IsKey = false;
            if (column.IsKey)
                column.Kind = TFieldKind::fkAutoInc;
        }
    }
    return *m_tableColumns.insert(cacheKey, columns);
}

std::vector<TNColumnInfo> TNSqlDataSet::LoadRows(std::vector<std::unique_ptr<TNRow>>& rows)
{
    const QString routine = RoutineName("Open");
    const QString sql = SelectSql();
    QSqlQuery query = PrepareSql(Database(), sql, SelectParams(), routine);
    ExecPrepared(query, routine);
    if (!query.isSelect())
        Error(QStringLiteral("%1: the statement returns no rows").arg(routine));
    const QSqlRecord record = query.record();
    const int first = record.count() > 0 && record.fieldName(0) == QLatin1String(RowIdColumn) ? 1 : 0;
    const QString candidate = CandidateWriteTable();
    QStringList tables = SelectTables(sql);
    if (!candidate.isEmpty())
        tables.prepend(candidate);

    std::vector<TNColumnInfo> columns;
    int keyColumn = -1;
    for (int i = first; i < record.count(); ++i) {
        TNColumnInfo info;
        info.Name = record.fieldName(i);
        bool found = false;
        bool inCandidate = false;
        for (const QString& table : std::as_const(tables)) {
            for (const TNTableColumn& column : TableColumns(table)) {
                if (column.Name.compare(info.Name, Qt::CaseInsensitive) != 0)
                    continue;
                found = true;
                inCandidate = table.compare(candidate, Qt::CaseInsensitive) == 0;
                info.Kind = column.Kind;
                info.Size = column.Size;
                info.ReadOnly = column.IsKey;
                if (column.IsKey && inCandidate && keyColumn < 0)
                    keyColumn = i - first;
                break;
            }
            if (found)
                break;
        }
        if (!found) {
            info.Kind = KindOfMetaType(record.field(i).metaType().id());
            info.ReadOnly = true;  // a computed column
        }
        columns.push_back(info);
    }
    m_writable = !candidate.isEmpty() && (first == 1 || keyColumn >= 0);
    m_writeTable = m_writable ? candidate : QString();
    m_keyColumn = first == 1 ? -1 : keyColumn;
    m_columnNames.clear();
    m_columnKinds.clear();
    for (const TNColumnInfo& info : columns) {
        m_columnNames.push_back(info.Name);
        m_columnKinds.push_back(info.Kind);
    }

    const size_t count = columns.size();
    while (query.next()) {
        auto row = std::make_unique<TNRow>();
        std::vector<QVariant> values(count);
        for (size_t c = 0; c < count; ++c)
            values[c] = FromStored(m_columnKinds[c], query.value(int(c) + first));
        if (first == 1)
            row->Key = query.value(0);
        else if (m_keyColumn >= 0)
            row->Key = values[size_t(m_keyColumn)];
        row->Values = MakeRowValues(std::move(values));
        rows.push_back(std::move(row));
    }
    if (query.lastError().isValid())
        Error(QStringLiteral("%1: %2").arg(routine, query.lastError().text()));
    return columns;
}

void TNSqlDataSet::ReadBack(TNRow& row, const QVariant& rowId)
{
    const QString routine = RoutineName("Post");
    QSqlQuery query(Database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT rowid AS %1, * FROM %2 WHERE rowid = ?")
                      .arg(QLatin1String(RowIdColumn), QuoteName(m_writeTable)));
    query.addBindValue(rowId);
    ExecPrepared(query, routine);
    if (!query.next())
        Error(QStringLiteral("%1: the posted row cannot be read back").arg(routine));
    const QSqlRecord record = query.record();
    std::vector<QVariant> values = *row.Values;
    for (size_t c = 0; c < m_columnNames.size(); ++c) {
        for (int i = 1; i < record.count(); ++i) {
            if (record.fieldName(i).compare(m_columnNames[c], Qt::CaseInsensitive) == 0) {
                values[c] = FromStored(m_columnKinds[c], query.value(i));
                break;
            }
        }
    }
    row.Key = m_keyColumn >= 0 ? values[size_t(m_keyColumn)] : query.value(0);
    row.Values = MakeRowValues(std::move(values));
}

void TNSqlDataSet::StoreInsert(TNRow& row, const std::vector<QVariant>& values, const std::vector<bool>& assigned)
{
    const QString routine = RoutineName("Post");
    if (!m_writable)
        Error(QStringLiteral("%1: Cannot modify a read-only dataset").arg(routine));
    QStringList names;
    QStringList marks;
    QVariantList bound;
    for (size_t c = 0; c < values.size(); ++c) {
        if (!assigned[c])
            continue;
        names << QuoteName(m_columnNames[c]);
        marks << QStringLiteral("?");
        bound << ToSqlValue(values[c]);
    }
    const QString sql = names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(QuoteName(m_writeTable))
                                        : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                              .arg(QuoteName(m_writeTable), names.join(QStringLiteral(", ")),
                                                   marks.join(QStringLiteral(", ")));
    QSqlQuery query(Database());
    if (!query.prepare(sql))
        Error(QStringLiteral("%1: %2").arg(routine, query.lastError().text()));
    for (const QVariant& v : std::as_const(bound))
        query.addBindValue(v);
    ExecPrepared(query, routine);
    const QVariant rowId = query.lastInsertId();
    row.Values = MakeRowValues(values);
    ReadBack(row, rowId);
}

void TNSqlDataSet::StoreUpdate(TNRow& row, const std::vector<QVariant>& values, const std::vector<bool>& changed)
{
    const QString routine = RoutineName("Post");
    if (!m_writable)
        Error(QStringLiteral("%1: Cannot modify a read-only dataset").arg(routine));
    QStringList sets;
    QVariantList bound;
    for (size_t c = 0; c < values.size(); ++c) {
        if (!changed[c])
            continue;
        sets << QuoteName(m_columnNames[c]) + QStringLiteral(" = ?");
        bound << ToSqlValue(values[c]);
    }
    QSqlQuery query(Database());
    if (!query.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                           .arg(QuoteName(m_writeTable), sets.join(QStringLiteral(", ")))))
        Error(QStringLiteral("%1: %2").arg(routine, query.lastError().text()));
    for (const QVariant& v : std::as_const(bound))
        query.addBindValue(v);
    query.addBindValue(row.Key);
    ExecPrepared(query, routine);
    if (query.numRowsAffected() == 0)
        Error(QStringLiteral("%1: Row cannot be located for updating. Some values may have been changed since it "
                             "was last read.")
                  .arg(routine));
    row.Values = MakeRowValues(values);
    ReadBack(row, row.Key);
}

void TNSqlDataSet::StoreDelete(const TNRow& row)
{
    const QString routine = RoutineName("Delete");
    if (!m_writable)
        Error(QStringLiteral("%1: Cannot modify a read-only dataset").arg(routine));
    QSqlQuery query(Database());
    query.prepare(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(QuoteName(m_writeTable)));
    query.addBindValue(row.Key);
    // A row someone else deleted first is gone either way.
    ExecPrepared(query, routine);
}

// --- table

void TNSqlTable::SetTableName(const QString& name)
{
    if (name == m_tableName)
        return;
    Close();
    m_tableName = name;
}

QString TNSqlTable::SelectSql() const
{
    if (m_tableName.isEmpty())
        Error(QStringLiteral("No table name"));
    const std::vector<TNTableColumn>& columns = TableColumns(m_tableName);
    QStringList order;
    m_sortedBySql = true;
    for (const QString& part : IndexFieldNames().split(u';')) {
        QString name = part.trimmed();
        if (name.isEmpty())
            continue;
        QString direction;
        if (name.endsWith(QLatin1String(" desc"), Qt::CaseInsensitive)) {
            direction = QStringLiteral(" DESC");
            name.chop(5);
        } else if (name.endsWith(QLatin1String(" asc"), Qt::CaseInsensitive)) {
            name.chop(4);
        }
        name = name.trimmed();
        auto it = std::find_if(columns.begin(), columns.end(),
                               [&](const TNTableColumn& c) { return c.Name.compare(name, Qt::CaseInsensitive) == 0; });
        if (it == columns.end()) {
            m_sortedBySql = false;  // sorted in memory after the read
            order.clear();
            break;
        }
        order << QuoteName(it->Name) + (IsTextKind(it->Kind) ? QStringLiteral(" COLLATE NOCASE") : QString()) +
                     direction;
    }
    order << QStringLiteral("rowid");
    return QStringLiteral("SELECT rowid AS %1, * FROM %2 ORDER BY %3")
        .arg(QLatin1String(RowIdColumn), QuoteName(m_tableName), order.join(QStringLiteral(", ")));
}

// --- query

void TNSqlQuery::SetSQL(const QString& sql)
{
    Close();
    m_sql = sql;
    m_paramNames = SqlParamNames(sql);
}

QString TNSqlQuery::CheckedParamName(const QString& name) const
{
    for (const QString& known : m_paramNames) {
        if (known.compare(name, Qt::CaseInsensitive) == 0)
            return known.toLower();
    }
    Error(QStringLiteral("Parameter '%1' not found").arg(name));
}

void TNSqlQuery::SetParam(const QString& name, const QVariant& value)
{
    m_params.insert(CheckedParamName(name), value);
}

QVariant TNSqlQuery::Param(const QString& name) const
{
    return m_params.value(CheckedParamName(name));
}

void TNSqlQuery::ClearParams()
{
    m_params.clear();
}

TParamValueFunc TNSqlQuery::SelectParams() const
{
    const QHash<QString, QVariant> params = m_params;
    return [params](const QString& name) { return params.value(name.toLower()); };
}

QString TNSqlQuery::CandidateWriteTable() const
{
    return SingleSelectTable(m_sql);
}

int TNSqlQuery::ExecSQL()
{
    const QString routine = RoutineName("ExecSQL");
    Close();
    QSqlQuery query = PrepareSql(Database(), m_sql, SelectParams(), routine);
    ExecPrepared(query, routine);
    const int rows = query.numRowsAffected();
    return rows < 0 ? 0 : rows;
}
