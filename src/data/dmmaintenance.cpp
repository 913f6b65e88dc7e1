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
    if (!m_usable)
        return;
    // What the last run left is told before it goes: messages that were on
    // the wire with no answer logged may have reached their pagers, and the
    // sent-messages log holds no trace of them.
    m_startNotice = LeftInOutBoxNotice(OutBox::LeftInOutBox(ThreadDatabase(m_path)));
    ClearOutMessages();
}

QString LeftInOutBoxNotice(const OutBox::TNLeftInOutBox& left)
{
    if (left.Rows == 0)
        return {};
    const auto messages = [](int n) {
        return n == 1 ? QStringLiteral("1 message") : QStringLiteral("%1 messages").arg(n);
    };
    QString text = QStringLiteral("The last run of Tovix 2 left %1 in the OutBox; they are removed now and not sent.")
                       .arg(messages(left.Rows));
    if (left.MayHaveReached > 0)
        text += QStringLiteral(
                    "\r\rUp to %1 had been sent to the Server with no answer logged: %2 may have reached %3 "
                    "pagers although the sent-messages log does not list %4.")
                    .arg(messages(left.MayHaveReached),
                         left.MayHaveReached == 1 ? QStringLiteral("it") : QStringLiteral("they"),
                         left.MayHaveReached == 1 ? QStringLiteral("its") : QStringLiteral("their"),
                         left.MayHaveReached == 1 ? QStringLiteral("it") : QStringLiteral("them"));
    if (left.Accepted > 0)
        text += QStringLiteral(
                    "\r\r%1 had been accepted by the Server (the sent-messages log lists %2) with no delivery "
                    "report.")
                    .arg(messages(left.Accepted), left.Accepted == 1 ? QStringLiteral("it") : QStringLiteral("them"));
    return text;
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
