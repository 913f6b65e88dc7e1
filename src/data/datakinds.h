#pragma once
// Names and numbers shared by every address book and the local database.

#include <QtGlobal>

// A dataset of an address book.
enum TDataKind : quint8 {
    dkCarrierTypes = 0,
    dkCarriers = 1,
    dkContacts = 2,
    dkTemplates = 3,
    dkGroups = 4,
    dkGroupAssigns = 5,
    dkFolders = 6,
    dkFolderAssigns = 7,
    dkServers = 8,  // local address books only
};
constexpr int DataKindCount = 9;

// Address-book types (Databases.TypeNo).
constexpr int DATABASE_TYPE_ACCESS_LOCAL_NO = 1;
constexpr int DATABASE_TYPE_ACCESS_SHARED_NO = 2;

// Server types (Servers.TypeNo, OutMessages.ServerTypeNo).
constexpr int SERVER_TYPE_TCP_NO = 1;
constexpr int SERVER_TYPE_COM_NO = 2;

// A reference column that refers to nothing (FolderAssigns).
constexpr qint32 NoneID = -2147483647 - 1;

// No message-length limit known.
constexpr qint32 NoMaxMessageLength = 2147483647;
