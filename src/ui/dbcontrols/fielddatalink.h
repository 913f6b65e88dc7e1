#pragma once
// TNFieldDataLink: what every data-aware control shares. It follows one field
// (DataField, by name) of the dataset behind a data source, tells the control
// when to show the field's value again (DataChanged), and writes what the user
// typed into the current row.
//
// API:
//   SetDataSource(source), SetDataField("Name")   bind (either may come later)
//   Field()              the bound field, nullptr when unbound or closed
//   CanModify()          the user may change it (writable field, dataset open)
//   WriteValue(v)        puts the row into edit state (insert stays insert),
//                        then sets the field; false when the dataset refused
//                        (LastError() holds its text, and WriteRefused(text)
//                        is raised)
//   signal DataChanged() the control reloads: the row moved, a field or the
//                        state changed, the dataset opened, closed or swapped
//
// A write does not bounce back: DataChanged is not raised for the link's own
// write, so a control keeps its caret. Main thread only.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include "db/datasource.h"

class TNFieldDataLink : public QObject {
    Q_OBJECT
public:
    explicit TNFieldDataLink(QObject* parent = nullptr);

    TNDataSource* DataSource() const { return m_source.data(); }
    void SetDataSource(TNDataSource* source);
    const QString& DataField() const { return m_fieldName; }
    void SetDataField(const QString& name);

    TNDataSet* DataSet() const;
    TNField* Field() const;
    bool CanModify() const;
    bool WriteValue(const QVariant& value);
    const QString& LastError() const { return m_lastError; }

signals:
    void DataChanged();
    void WriteRefused(const QString& message);

private:
    void BindDataSet();
    void Announce();

    QPointer<TNDataSource> m_source;
    QPointer<TNDataSet> m_dataSet;
    QString m_fieldName;
    QString m_lastError;
    bool m_writing = false;
    QList<QMetaObject::Connection> m_connections;
    QMetaObject::Connection m_sourceConnection;
};

// The binding every data-aware control carries: the link and its two setters.
class TNDataAwareControl {
public:
    void SetDataSource(TNDataSource* source) { m_link.SetDataSource(source); }
    void SetDataField(const QString& name) { m_link.SetDataField(name); }
    TNFieldDataLink& Link() { return m_link; }

protected:
    TNFieldDataLink m_link;
};
