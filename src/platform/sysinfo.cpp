#include "platform/sysinfo.h"

#include <QFile>
#include <QRegularExpression>
#include <QSysInfo>

QString OperatingSystemText()
{
    const QString name = QSysInfo::prettyProductName();
    // "6.1.0-18-amd64" gives the build "6.1.0".
    static const QRegularExpression version(QStringLiteral("^\\d+(\\.\\d+)*"));
    const QString build = version.match(QSysInfo::kernelVersion()).captured(0);
    return build.isEmpty() ? name : QStringLiteral("%1 (Build %2)").arg(name, build);
}

quint64 TotalMemoryBytes()
{
    QFile file(QStringLiteral("/proc/meminfo"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    static const QRegularExpression memTotal(QStringLiteral("^MemTotal:\\s*(\\d+)\\s*kB"),
                                             QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = memTotal.match(QString::fromLatin1(file.readAll()));
    return m.hasMatch() ? m.captured(1).toULongLong() * 1024 : 0;
}

QString FormatMemoryKB(quint64 bytes, const QLocale& locale)
{
    if (bytes < 1024)
        return {};
    const QString digits = QString::number(bytes / 1024);
    const QString separator = locale.groupSeparator();
    QString text;
    const qsizetype first = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
    text = digits.left(first);
    for (qsizetype i = first; i < digits.size(); i += 3)
        text += separator + digits.mid(i, 3);
    return text;
}

QString GetTotalMemoryText()
{
    return FormatMemoryKB(TotalMemoryBytes());
}
