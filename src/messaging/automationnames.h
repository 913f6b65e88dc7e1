#pragma once
// The paging server's automation door on the D-Bus session bus: one
// well-known bus name, one object path, one interface.
//
//   bus name   org.tovix.PagingServer
//   object     /org/tovix/PagingServer
//   interface  org.tovix.PagingServer
//     method    PostClientMessage(s frame)   one framed line of the protocol
//     method    StartServer()                start the delivery engine
//     property  ServerRunning  b, read
//     property  ClientHostName s, write
//     property  ClientIpAddress s, write
//     signal    ReplyMessage(s frames)       one or more complete frames
//     signal    ServerStarted()
//     signal    ServerStopped()
//     signal    CloseConnectionRequest()
//
// The server sends ReplyMessage and CloseConnectionRequest to the one client
// they concern (signals with a destination); ServerStarted and
// ServerStopped go to every listener.

#include <QString>

inline QString AutomationServiceName()
{
    return QStringLiteral("org.tovix.PagingServer");
}
inline QString AutomationObjectPath()
{
    return QStringLiteral("/org/tovix/PagingServer");
}
inline QString AutomationInterfaceName()
{
    return QStringLiteral("org.tovix.PagingServer");
}
