#include "data/bookdisplay.h"

#include "data/dataerror.h"
#include "data/datakinds.h"
#include "db/field.h"

QString MemoFieldOneLineText(const TNField& field, const QVariant& value)
{
    if (field.Kind() != TFieldKind::fkMemo)
        throw EDataError(QStringLiteral("From TLocalAccessClient.MyMemoFieldOnGetText() - wrong field type."));
    QString text = value.toString();
    text.remove(u'\r');
    text.replace(u'\n', u' ');
    return text;
}

QString ServerTypeText(const TNField&, const QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return QStringLiteral("UNKNOWN");
    switch (value.toInt()) {
        case SERVER_TYPE_TCP_NO:
            return QStringLiteral("TCP");
        case SERVER_TYPE_COM_NO:
            return QStringLiteral("COM");
        default:
            return QStringLiteral("UNKNOWN");
    }
}
