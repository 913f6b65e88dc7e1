#include "data/bookfields.h"

#include "data/bookdisplay.h"
#include "db/dataset.h"
#include "db/field.h"

void AddBookFields(const std::array<TNDataSet*, DataKindCount>& dataSets)
{
    TNDataSet* carrierTypes = dataSets[dkCarrierTypes];
    TNDataSet* carriers = dataSets[dkCarriers];
    TNDataSet* contacts = dataSets[dkContacts];
    TNDataSet* groups = dataSets[dkGroups];

    carriers->AddLookupField(QStringLiteral("FLCarrierTypes_Name"), QStringLiteral("TypeNo"), carrierTypes,
                             QStringLiteral("TypeNo"), QStringLiteral("Name"), 50);
    contacts->AddLookupField(QStringLiteral("FLCarriers_Name"), QStringLiteral("CarrierID"), carriers,
                             QStringLiteral("ID"), QStringLiteral("Name"), 50);
    TNDataSet* groupAssigns = dataSets[dkGroupAssigns];
    for (const char* column : {"Name", "FirstName", "LastName", "Company", "JobTitle", "FLCarriers_Name"}) {
        const QString name = QString::fromLatin1(column);
        groupAssigns->AddLookupField(QStringLiteral("FLContacts_") + name, QStringLiteral("ContactID"), contacts,
                                     QStringLiteral("ID"), name, 50);
    }
    TNDataSet* folderAssigns = dataSets[dkFolderAssigns];
    folderAssigns->AddLookupField(QStringLiteral("FLContacts_Name"), QStringLiteral("ContactID"), contacts,
                                  QStringLiteral("ID"), QStringLiteral("Name"), 50);
    folderAssigns->AddLookupField(QStringLiteral("FLGroups_Name"), QStringLiteral("GroupID"), groups,
                                  QStringLiteral("ID"), QStringLiteral("Name"), 50);

    dataSets[dkTemplates]->DefineField(QStringLiteral("Content"))->SetOnGetText(MemoFieldOneLineText);
    dataSets[dkGroups]->DefineField(QStringLiteral("Description"))->SetOnGetText(MemoFieldOneLineText);
    if (TNDataSet* servers = dataSets[dkServers]) {
        servers->DefineField(QStringLiteral("Data"))->SetOnGetText(MemoFieldOneLineText);
        servers->DefineField(QStringLiteral("TypeNo"))->SetOnGetText(ServerTypeText);
    }
}
