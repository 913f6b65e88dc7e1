#pragma once
// Local network functions: the local host's name and IPv4 address, dotted
// IPv4 text checks, and whether a connected socket is still open.
// All run on the calling thread; any thread may call them.

#include <QString>

// HostName and IPAddress of this computer (the first IPv4 address its name
// resolves to). On failure: false, IPAddress empty and ErrorText saying what
// failed (always set anew, never left from an earlier call).
bool GetLocalHostNameAndIP(QString& hostName, QString& ipAddress, QString& errorText);

// The first IPv4 address HostName resolves to, as dotted text; on failure
// false with ErrorText naming the host and the resolver's reason.
bool LookUpIPv4Address(const QString& hostName, QString& ipAddress, QString& errorText);

// Dotted IPv4 text: trimmed; no blank inside; exactly four parts, each a
// whole number 0..255 (decimal with an optional sign, or "$" hexadecimal).
bool IsValidIPAddress(const QString& text);

// False only when the peer has closed the connection in order; data waiting
// and errors give true. Peeks (the data stay queued); blocks on a blocking
// socket until data arrive or the peer closes.
bool IsSocketAlive(int socketFd);
