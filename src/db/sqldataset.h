#pragma once
// Datasets over SQLite: TNSqlTable (a whole table in index order) and
// TNSqlQuery (a SELECT with ":Name" parameters, or a command). Both read all
// their rows in one statement when opened and write each post at once to the
// database: an insert writes the columns that were set and reads the stored
// row back (defaults and the new auto-number key), an edit writes the changed
// columns, a delete removes the row. A query can be edited and deleted
// through when it reads a single table and returns that table's key column.
//
// The connection must outlive the dataset; opening a dataset opens its
// connection. Same thread rule as TNDataSet.
#include <QHash>

#include "db/dataset.h"
#include "db/sqlexec.h"

class TNConnection;

// A column of a table as the database declares it.
struct TNTableColumn {
    QString Name;
    TFieldKind Kind = TFieldKind::fkUnknown;
    int Size = 0;
    bool IsKey = false;  // the INTEGER PRIMARY KEY (the auto-number)
};

class TNSqlDataSet : public TNDataSet {
    Q_OBJECT
public:
    explicit TNSqlDataSet(QObject* parent = nullptr) : TNDataSet(parent) {}

    void SetConnection(TNConnection* connection);
    TNConnection* Connection() const { return m_connection; }

protected:
    // The statement that reads the rows and the values of its parameters.
    virtual QString SelectSql() const = 0;
    virtual TParamValueFunc SelectParams() const { return TParamValueFunc(); }
    // The table posts would go to; empty when the rows cannot be written.
    // Posts are allowed when the rows read carry that table's key.
    virtual QString CandidateWriteTable() const = 0;

    std::vector<TNColumnInfo> LoadRows(std::vector<std::unique_ptr<TNRow>>& rows) override;
    void StoreInsert(TNRow& row, const std::vector<QVariant>& values, const std::vector<bool>& assigned) override;
    void StoreUpdate(TNRow& row, const std::vector<QVariant>& values, const std::vector<bool>& changed) override;
    void StoreDelete(const TNRow& row) override;
    bool StorageCanModify() const override { return m_writable; }
    void StorageClosed() override { m_writable = false; }

    QSqlDatabase Database() const;
    // The declared columns of a table (cached while the dataset lives).
    const std::vector<TNTableColumn>& TableColumns(const QString& table) const;
    // The column of a result that holds the row's key: "__rowid" when the
    // statement selects it (tables), else the write table's key column.
    static constexpr const char* RowIdColumn = "__rowid";

    // "<name>.<routine>()" for error texts.
    QString RoutineName(const char* routine) const;

private:
    void ReadBack(TNRow& row, const QVariant& rowId);

    TNConnection* m_connection = nullptr;
    bool m_writable = false;
    QString m_writeTable;
    int m_keyColumn = -1;  // the field column that holds the key; -1 when "__rowid" does
    std::vector<QString> m_columnNames;
    std::vector<TFieldKind> m_columnKinds;
    mutable QHash<QString, std::vector<TNTableColumn>> m_tableColumns;
};

// A whole table, in the order of IndexFieldNames (rows with equal keys, and
// all rows without an index, in the order they were added).
class TNSqlTable : public TNSqlDataSet {
    Q_OBJECT
public:
    explicit TNSqlTable(QObject* parent = nullptr) : TNSqlDataSet(parent) {}
    TDataSetKind Kind() const override { return TDataSetKind::dkTable; }

    const QString& TableName() const { return m_tableName; }
    void SetTableName(const QString& name);  // closes the table

protected:
    QString SelectSql() const override;
    QString CandidateWriteTable() const override { return m_tableName; }
    bool LoadedInIndexOrder() const override { return m_sortedBySql; }
    bool OrderByKey() const override { return true; }

private:
    QString m_tableName;
    mutable bool m_sortedBySql = false;
};

// A statement with parameters. Changing the text closes the query; values of
// parameters that keep their name are kept. Every parameter is bound (an
// unset one as NULL).
class TNSqlQuery : public TNSqlDataSet {
    Q_OBJECT
public:
    explicit TNSqlQuery(QObject* parent = nullptr) : TNSqlDataSet(parent) {}
    TDataSetKind Kind() const override { return TDataSetKind::dkQuery; }

    const QString& SQL() const { return m_sql; }
    void SetSQL(const QString& sql);
    QStringList ParamNames() const { return m_paramNames; }
    // Raises EDatabaseError for a name the text does not use.
    void SetParam(const QString& name, const QVariant& value);
    QVariant Param(const QString& name) const;
    void ClearParams();

    // Runs the text as a command (no rows); returns the rows it changed. An
    // open query is closed first.
    int ExecSQL();

protected:
    QString SelectSql() const override { return m_sql; }
    TParamValueFunc SelectParams() const override;
    QString CandidateWriteTable() const override;

private:
    QString CheckedParamName(const QString& name) const;

    QString m_sql;
    QStringList m_paramNames;
    QHash<QString, QVariant> m_params;  // by lower-case name
};
