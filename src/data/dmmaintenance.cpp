#include "data/dmmaintenance.h"

#include "data/dmlocaldata.h"
#include "data/outbox.h"
#include "data/threadconnections.h"

TDModMaintenance* DModMaintenance = nullptr;

TDModMaintenance::TDModMaintenance(QObject* owner) : QObject(owner)
{
    DModMaintenance = this;
    if (DModLocalData) {
        m_path = DModLocalData->DatabasePath();
        m_usable = !DModLocalData->LocalFilesMissing();
    }
    if (m_usable)
        ClearOutMessages();
}

TDModMaintenance::~TDModMaintenance()
{
    if (DModMaintenance == this)
        DModMaintenance = nullptr;
}

void TDModMaintenance::ClearOutMessages()
{
    if (m_usable)
        OutBox::ClearOutMessages(ThreadDatabase(m_path));
}

void TDModMaintenance::ClearSentMessages()
{
    if (m_usable)
        OutBox::ClearSentMessages(ThreadDatabase(m_path));
}
