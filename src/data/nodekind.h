#pragma once
// The kind of a folder-tree node and of a recipient.

#include <QtGlobal>

enum TNodeKind : quint8 {
    nkContact = 0,
    nkGroup = 1,
    nkFolder = 2,
    nkDatabase = 3,
};
