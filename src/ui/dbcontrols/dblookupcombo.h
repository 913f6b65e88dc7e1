#pragma once
// TNDBLookupComboBox: a drop-down list of the rows of a list dataset that
// sets a key field of the current row (a contact's CarrierID from the
// carriers' ID, showing their Name).
//
// API:
//   SetDataSource(source); SetDataField("CarrierID");      the row's key field
//   SetListSource(listSource) or SetListDataSet(carriers);  where items come from
//   SetKeyField("ID"); SetListField("Name");                item key and text
//   KeyValue()                                              the chosen key (invalid: none)
// Items are the visible rows of the list dataset in its order, refilled when
// its rows change; the list dataset's cursor never moves. The item whose key
// equals the field is shown (none when no row matches). Choosing an item
// (mouse or keyboard) puts the row into edit state and writes its key at
// once; a refused write shows the field again and raises Link().WriteRefused.
// Disabled when the field cannot be changed, and always once SetReadOnly
// made it a box that only shows the value.
#include <QComboBox>
#include <QPointer>

#include "ui/dbcontrols/fielddatalink.h"

class TNDBLookupComboBox : public QComboBox, public TNDataAwareControl {
    Q_OBJECT
public:
    explicit TNDBLookupComboBox(QWidget* parent = nullptr);

    void SetListSource(TNDataSource* source);
    void SetListDataSet(TNDataSet* dataSet);
    TNDataSet* ListDataSet() const { return m_listDataSet.data(); }
    void SetKeyField(const QString& name);
    void SetListField(const QString& name);
    QVariant KeyValue() const;
    // A read-only box shows the field's value and stays disabled whatever
    // the row does.
    void SetReadOnly(bool readOnly);
    bool ReadOnly() const { return m_readOnly; }

private:
    void BindList();
    void FillItems();
    void ShowValue();

    QPointer<TNDataSource> m_listSource;
    QPointer<TNDataSet> m_listDataSet;
    QString m_keyField;
    QString m_listField;
    QList<QMetaObject::Connection> m_listConnections;
    QMetaObject::Connection m_listSourceConnection;
    bool m_readOnly = false;
};
