#include "ui/dbcontrols/dblookupcombo.h"

#include <QSignalBlocker>

#include "db/field.h"

namespace {

// Keys compare by their kind: an integer ID read as text or number matches.
bool SameKey(const QVariant& a, const QVariant& b)
{
    if (IsNullValue(a) || IsNullValue(b))
        return false;
    bool okA = false;
    bool okB = false;
    const qlonglong na = a.toLongLong(&okA);
    const qlonglong nb = b.toLongLong(&okB);
    if (okA && okB)
        return na == nb;
    return a.toString() == b.toString();
}

}  // namespace

TNDBLookupComboBox::TNDBLookupComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
    connect(&m_link, &TNFieldDataLink::DataChanged, this, [this] { ShowValue(); });
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (!m_link.WriteValue(itemData(index))) {
            ShowValue();
        }
    });
    ShowValue();
}

void TNDBLookupComboBox::SetListSource(TNDataSource* source)
{
    disconnect(m_listSourceConnection);
    m_listSource = source;
    if (source)
        m_listSourceConnection = connect(source, &TNDataSource::DataSetChanged, this, [this] {
            m_listDataSet = m_listSource ? m_listSource->DataSet() : nullptr;
            BindList();
        });
    m_listDataSet = source ? source->DataSet() : nullptr;
    BindList();
}

void TNDBLookupComboBox::SetListDataSet(TNDataSet* dataSet)
{
    disconnect(m_listSourceConnection);
    m_listSource = nullptr;
    m_listDataSet = dataSet;
    BindList();
}

void TNDBLookupComboBox::SetKeyField(const QString& name)
{
    m_keyField = name;
    FillItems();
}

void TNDBLookupComboBox::SetListField(const QString& name)
{
    m_listField = name;
    FillItems();
}

void TNDBLookupComboBox::BindList()
{
    for (const QMetaObject::Connection& c : std::as_const(m_listConnections))
        disconnect(c);
    m_listConnections.clear();
    if (TNDataSet* ds = m_listDataSet.data()) {
        const auto refill = [this] { FillItems(); };
        m_listConnections << connect(ds, &TNDataSet::DataChanged, this, refill);
        m_listConnections << connect(ds, &QObject::destroyed, this, refill);
    }
    FillItems();
}

void TNDBLookupComboBox::FillItems()
{
    const QSignalBlocker block(this);
    clear();
    const TNDataSet* ds = m_listDataSet.data();
    const TNField* key = ds && ds->Active() && !m_keyField.isEmpty() ? ds->FindField(m_keyField) : nullptr;
    const TNField* text = ds && ds->Active() && !m_listField.isEmpty() ? ds->FindField(m_listField) : nullptr;
    if (key && text) {
        for (int row = 0; row < ds->RecordCount(); ++row)
            addItem(ds->RowText(row, text), ds->RowValue(row, key));
    }
    ShowValue();
}

void TNDBLookupComboBox::ShowValue()
{
    const QSignalBlocker block(this);
    setEnabled(m_link.CanModify() && !m_readOnly);
    const TNField* field = m_link.Field();
    const QVariant value = field ? field->Value() : QVariant();
    int found = -1;
    for (int i = 0; i < count() && found < 0; ++i) {
        if (SameKey(itemData(i), value))
            found = i;
    }
    setCurrentIndex(found);
}

void TNDBLookupComboBox::SetReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    ShowValue();
}

QVariant TNDBLookupComboBox::KeyValue() const
{
    return currentIndex() >= 0 ? itemData(currentIndex()) : QVariant();
}
