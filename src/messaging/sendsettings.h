#pragma once
// The option values the send threads use, copied on the main thread when a
// send starts (the options dialog may change the globals at any time; the
// threads read only this copy).

#include <QString>

struct TNSendSettings {
    QString AppID;
    // The local database file; each thread opens its own connection on it.
    QString LocalDatabasePath;
    // The host's own IPv4 address (a local link answers for it and for
    // 127.0.0.1); empty when unknown.
    QString LocalIpAddress;
    bool AddDisplayNameToMessage = false;
    bool PrefixAddInEditor = false;
    QString FollowedByChar = QStringLiteral(":");
    QString NumericAllowedChars = QStringLiteral("0123456789[]-");
    int MaxNumericLength = 20;
};

// Main thread: the option globals of the moment, with the AppID given. The
// popup flags of the reports are refreshed too (they are read at each
// report, not from this copy).
TNSendSettings CaptureSendSettings(const QString& appId);
// Main thread: makes Settings the copy that every send thread reads.
void PublishSendSettings(const TNSendSettings& settings);
// Any thread: the copy last published.
TNSendSettings CurrentSendSettings();
