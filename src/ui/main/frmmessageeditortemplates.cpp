#include "ui/main/frmmessageeditortemplates.h"

#include "data/basedataclient.h"
#include "data/recipientsdata.h"
#include "db/dataset.h"

#include <QCollator>
#include <algorithm>

QList<TTemplateRow> ReadTemplateNames(TBaseDataClient& client)
{
    TNDataSet* dataSet = client.GetDataSet(dkTemplates);
    QList<TTemplateRow> rows;
    {
        TNDataSetStateScope state(dataSet);
        TNDataSetPosition position(*dataSet);
        const TNField* name = dataSet->FieldByName(QStringLiteral("Name"));
        const TNField* id = dataSet->FieldByName(QStringLiteral("ID"));
        for (dataSet->First(); !dataSet->Eof(); dataSet->Next())
            rows.append({name->AsString(), id->AsInteger()});
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(rows.begin(), rows.end(), [&collator](const TTemplateRow& a, const TTemplateRow& b) {
        return collator.compare(a.Name, b.Name) < 0;
    });
    return rows;
}

std::optional<QString> LookupTemplateContent(TBaseDataClient& client, qint32 id)
{
    TNDataSet* dataSet = client.GetDataSet(dkTemplates);
    QVariant content;
    {
        TNDataSetStateScope state(dataSet);
        content = dataSet->Lookup(QStringLiteral("ID"), id, QStringLiteral("Content"));
    }
    if (!content.isValid())
        return std::nullopt;
    return content.isNull() ? QString() : content.toString();
}
