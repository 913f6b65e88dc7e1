#include "ui/main/frmsentmessagescells.h"

QString DispatchedText(const QVariant& receiveConfirmed)
{
    return receiveConfirmed.toBool() ? QStringLiteral("Yes") : QString();
}

QString SentResultText(const QVariant& sendConfirmed, const QVariant& errorStatus)
{
    if (!sendConfirmed.toBool())
        return QString();
    return errorStatus.toInt() != 0 ? QStringLiteral("Failed") : QStringLiteral("Succeeded");
}

QString StatusOfMessageText(const QVariant& errorStatus, const QVariant& sendConfirmed)
{
    const int code = errorStatus.toInt();
    if (code == 0)
        return QStringLiteral("OK");
    return sendConfirmed.toBool() ? QStringLiteral("E%1").arg(code) : QString();
}

QString MessageLineText(const QString& message)
{
    QString line = message;
    line.remove(QLatin1Char('\r'));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}
