// The recipient's look-ups in its address book: the carrier's length limit
// and the details text.
#include "data/recipientsdata.h"

#include "data/basedataclient.h"
#include "data/datasetstate.h"
#include "data/recipients.h"
#include "db/dataset.h"

#include <QVariantList>

namespace {
TCarrierMaxLengthHook g_carrierMaxLength;

QString TextOf(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

// One value of the row whose key field equals Key, read without moving the
// dataset's cursor; the dataset is opened for the look-up and put back.
QVariant LookupIn(TBaseDataClient& client, TDataKind kind, const QString& keyField, qint32 key,
                  const QString& resultFields)
{
    TNDataSet* dataSet = client.GetDataSet(kind);
    TNDataSetStateScope scope(dataSet);
    return dataSet->Lookup(keyField, key, resultFields);
}
}  // namespace

TNDataSetStateScope::TNDataSetStateScope(TNDataSet* dataSet) : m_dataSet(dataSet)
{
    SaveDataSetState(m_dataSet, true);
}

TNDataSetStateScope::~TNDataSetStateScope()
{
    try {
        RestoreDataSetState(m_dataSet);
    } catch (const std::exception& e) {
        qWarning("TNDataSetStateScope: %s", e.what());
    }
}

void SetCarrierMaxLengthHook(TCarrierMaxLengthHook hook)
{
    g_carrierMaxLength = std::move(hook);
}

qint32 TNRecipient::GetMaxMessageLength() const
{
    if (!Database)
        return NoMaxMessageLength;
    qint32 contactID = 0;
    if (Kind == nkContact) {
        contactID = ID;
    } else if (Kind == nkGroup) {
        // A group's limit is its first member's.
        const QVariant member =
            LookupIn(*Database, dkGroupAssigns, QStringLiteral("GroupID"), ID, QStringLiteral("ContactID"));
        if (!member.isValid() || member.isNull())
            return NoMaxMessageLength;
        contactID = member.toInt();
    } else {
        return NoMaxMessageLength;
    }
    const QVariant carrierID =
        LookupIn(*Database, dkContacts, QStringLiteral("ID"), contactID, QStringLiteral("CarrierID"));
    if (!carrierID.isValid() || carrierID.isNull())
        return NoMaxMessageLength;
    const QVariant carrier =
        LookupIn(*Database, dkCarriers, QStringLiteral("ID"), carrierID.toInt(), QStringLiteral("TypeNo;Data"));
    if (!carrier.isValid())
        return NoMaxMessageLength;
    const QVariantList values = carrier.toList();
    if (values.size() != 2 || values[0].isNull() || !g_carrierMaxLength)
        return NoMaxMessageLength;
    return g_carrierMaxLength(values[0].toInt(), TextOf(values[1]));
}

void TNRecipient::GetDetails(QString& text) const
{
    if (Kind == nkFolder) {
        text.clear();
        return;
    }
    if (Kind != nkContact && Kind != nkGroup)
        return;
    text.clear();
    if (!Database)
        return;
    TNDataSet* dataSet = Database->GetDataSet(Kind == nkContact ? dkContacts : dkGroups);
    // Opened when needed and put back as it was, at the row it was on.
    TNDataSetScope scope(*dataSet);
    if (Kind == nkContact) {
        const QVariant row =
            dataSet->Lookup(QStringLiteral("ID"), ID, QStringLiteral("FirstName;LastName;Company;JobTitle"));
        if (!row.isValid())
            return;
        const QVariantList v = row.toList();
        if (v.size() == 4)
            text = TextOf(v[0]) + QLatin1Char(' ') + TextOf(v[1]) + QLatin1Char(',') + TextOf(v[2]) + QLatin1Char(',') +
                   TextOf(v[3]);
    } else {
        const QVariant description = dataSet->Lookup(QStringLiteral("ID"), ID, QStringLiteral("Description"));
        if (description.isValid())
            text = TextOf(description);
    }
}
