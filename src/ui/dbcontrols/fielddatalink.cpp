#include "ui/dbcontrols/fielddatalink.h"

#include "db/dberror.h"

TNFieldDataLink::TNFieldDataLink(QObject* parent) : QObject(parent) {}

void TNFieldDataLink::SetDataSource(TNDataSource* source)
{
    if (source == m_source)
        return;
    disconnect(m_sourceConnection);
    m_source = source;
    if (source)
        m_sourceConnection = connect(source, &TNDataSource::DataSetChanged, this, [this] { BindDataSet(); });
    BindDataSet();
}

void TNFieldDataLink::SetDataField(const QString& name)
{
    m_fieldName = name;
    Announce();
}

void TNFieldDataLink::BindDataSet()
{
    for (const QMetaObject::Connection& c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_dataSet = m_source ? m_source->DataSet() : nullptr;
    if (TNDataSet* ds = m_dataSet.data()) {
        const auto announce = [this] { Announce(); };
        m_connections << connect(ds, &TNDataSet::CurrentRowChanged, this, announce);
        m_connections << connect(ds, &TNDataSet::StateChanged, this, announce);
        m_connections << connect(ds, &TNDataSet::FieldChanged, this, announce);
        m_connections << connect(ds, &TNDataSet::DataChanged, this, announce);
        m_connections << connect(ds, &QObject::destroyed, this, announce);
    }
    Announce();
}

void TNFieldDataLink::Announce()
{
    if (!m_writing)
        emit DataChanged();
}

TNDataSet* TNFieldDataLink::DataSet() const
{
    return m_dataSet.data();
}

TNField* TNFieldDataLink::Field() const
{
    TNDataSet* ds = m_dataSet.data();
    if (!ds || !ds->Active() || m_fieldName.isEmpty())
        return nullptr;
    return ds->FindField(m_fieldName);
}

bool TNFieldDataLink::CanModify() const
{
    const TNField* field = Field();
    return field && field->FieldClass() == TFieldClass::fcData && !field->ReadOnly() && m_dataSet->CanModify();
}

bool TNFieldDataLink::WriteValue(const QVariant& value)
{
    m_lastError.clear();
    TNField* field = Field();
    if (!field || !CanModify()) {
        m_lastError = QStringLiteral("Field '%1' cannot be modified").arg(m_fieldName);
        emit WriteRefused(m_lastError);
        return false;
    }
    m_writing = true;
    try {
        if (m_dataSet->State() == TDataSetState::dsBrowse)
            m_dataSet->Edit();
        field->SetValue(value);
    } catch (const EDatabaseError& e) {
        m_lastError = e.Message();
    } catch (const std::exception& e) {
        m_lastError = QString::fromLocal8Bit(e.what());
    }
    m_writing = false;
    if (!m_lastError.isEmpty())
        emit WriteRefused(m_lastError);
    return m_lastError.isEmpty();
}
