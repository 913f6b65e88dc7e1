#pragma once
// What the paging server does with the frames of its clients, apart from any
// transport: the TCP door (and later the automation and remote-data doors)
// hand it each received line and carry out the replies it returns.
//
// Thread rules: OnFrame, OpenConnection and CloseConnection run on the
// server's thread; SetOptions and Options may be called from any thread
// (the next frame sees the change).

#include "simoptions.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

// One thing the server does in answer to a frame: send Line (when not empty)
// DelayMs after the frame arrived, then close the connection when Close is
// set. Replies with equal delays go out in list order.
struct TSimReply {
    QString line;
    int delayMs = 0;
    bool close = false;
    bool report = false;  // a delivery report (held when its connection closes first)
};

class TSimCore {
public:
    explicit TSimCore(const TSimOptions& options);
    TSimCore(const TSimCore&) = delete;
    TSimCore& operator=(const TSimCore&) = delete;

    void SetOptions(const TSimOptions& options);
    TSimOptions Options() const;

    // A client connected; returns its connection ID (1, 2, ...).
    int OpenConnection();
    void CloseConnection(int connection);

    // The replies to one received line, read into its items.
    QList<TSimReply> OnFrame(int connection, const QStringList& items);

    // The door could not carry Replies before the connection closed: with
    // holdReports, their delivery reports wait for the next logon of the
    // connection's AppID. Called before CloseConnection.
    void HoldReports(int connection, const QList<TSimReply>& replies);

private:
    struct TConnection {
        int messages = 0;  // MESSAGE frames received
        QString appId;     // of its LOGON
    };

    QList<TSimReply> OnLogon(TConnection& state, const QStringList& items, const TSimOptions& o);
    QList<TSimReply> OnMessage(TConnection& state, const QStringList& items, const TSimOptions& o);

    mutable QMutex m_optionsLock;
    TSimOptions m_options;
    QHash<int, TConnection> m_connections;
    int m_lastConnection = 0;
    qint32 m_nextServerRecordId;
    QHash<QString, QStringList> m_heldReports;  // by AppID
};
