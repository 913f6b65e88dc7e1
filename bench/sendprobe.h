#pragma once
// What the send benchmarks watch: a count read from the local database and
// a stand-in for the send bar that counts its window messages.
#include "messaging/messagetable.h"
#include "platform/windowmessages.h"

#include <QLatin1String>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace bench {

// The first column of the first row of Sql, or -1.
inline int Count(const QSqlDatabase& db, const char* sql)
{
    QSqlQuery query(db);
    return query.exec(QLatin1String(sql)) && query.next() ? query.value(0).toInt() : -1;
}

// Counts WM_SEND_DONE and the progress posts.
class TSendBar : public QObject {
public:
    TNWindowHandle Handle() const { return m_window.Handle(); }
    int Done = 0;
    int Progress = 0;

protected:
    void customEvent(QEvent* event) override
    {
        if (const TNMessageEvent* m = TNMessageEvent::From(event)) {
            if (m->Msg == WM_SEND_DONE && m->WParam == 0)
                ++Done;
            else
                ++Progress;
        }
    }

private:
    TNMessageWindow m_window{this};
};

}  // namespace bench
