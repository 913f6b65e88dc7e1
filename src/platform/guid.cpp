#include "platform/guid.h"

#include <QUuid>

QString CreateGUIDText()
{
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}
