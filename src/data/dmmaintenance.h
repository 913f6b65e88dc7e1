#pragma once
// TDModMaintenance: created last at start-up; empties the out-box at every
// start (messages queued in an earlier run are dropped) and, on the
// operator's command, the out-box or the sent-message log.
//
// It works on its own connection to the local database file named by the
// local data module. When start-up found a database file missing, it opens
// nothing (opening would create an empty "LocalData2.mdb"), so the program
// ends without touching the missing file. Main thread.

#include "data/outbox.h"

#include <QObject>
#include <QString>
#include <utility>

class TDModMaintenance : public QObject {
    Q_OBJECT
public:
    explicit TDModMaintenance(QObject* owner = nullptr);
    ~TDModMaintenance() override;

    // The operations of the main window's actions actClearOutMessagesTables
    // and actClearSentMessagesTables. Rows of a message go before its text,
    // in one transaction. Database errors raise.
    void ClearOutMessages();
    void ClearSentMessages();

    // False when start-up found a database file missing.
    bool Usable() const { return m_usable; }
    // What the last run left in the out-box that this start emptied, for the
    // operator (empty when it left nothing); shown once the start-up is
    // through.
    QString TakeStartNotice() { return std::exchange(m_startNotice, QString()); }

private:
    QString m_path;
    QString m_startNotice;
    bool m_usable = false;
};

extern TDModMaintenance* DModMaintenance;

// The operator's notice of what a run left in the out-box; empty when it
// left nothing.
QString LeftInOutBoxNotice(const OutBox::TNLeftInOutBox& left);
