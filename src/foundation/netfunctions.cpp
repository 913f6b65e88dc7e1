#include "foundation/netfunctions.h"

#include "foundation/options.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
// A part of a dotted address: decimal with an optional sign, or "$" and
// hexadecimal digits.
bool ReadAddressPart(const QString& part, int& value)
{
    bool ok = false;
    qlonglong n = 0;
    if (part.size() > 1 && part[0] == u'$') {
        const QString digits = part.mid(1);
        for (QChar c : digits)
            if (!c.isDigit() && !QStringLiteral("abcdefABCDEF").contains(c))
                return false;
        n = digits.toLongLong(&ok, 16);
    } else {
        qsizetype start = (part.startsWith(u'+') || part.startsWith(u'-')) ? 1 : 0;
        if (start >= part.size())
            return false;
        for (qsizetype i = start; i < part.size(); ++i)
            if (part[i] < u'0' || part[i] > u'9')
                return false;
        n = part.toLongLong(&ok, 10);
    }
    if (!ok)
        return false;
    value = static_cast<int>(std::clamp<qlonglong>(n, -1, 256));
    return true;
}
}  // namespace

bool LookUpIPv4Address(const QString& hostName, QString& ipAddress, QString& errorText)
{
    ipAddress.clear();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    const int rc = getaddrinfo(hostName.toLocal8Bit().constData(), nullptr, &hints, &result);
    if (rc != 0 || !result) {
        const QString reason =
            rc == EAI_SYSTEM ? QString::fromLocal8Bit(std::strerror(errno)) : QString::fromLocal8Bit(gai_strerror(rc));
        errorText = QStringLiteral("The address of the host \"%1\" cannot be found: %2").arg(hostName, reason);
        if (result)
            freeaddrinfo(result);
        return false;
    }
    const auto* address = reinterpret_cast<const sockaddr_in*>(result->ai_addr);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&address->sin_addr.s_addr);
    ipAddress = QStringLiteral("%1.%2.%3.%4").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]).arg(bytes[3]);
    freeaddrinfo(result);
    return true;
}

bool GetLocalHostNameAndIP(QString& hostName, QString& ipAddress, QString& errorText)
{
    ipAddress.clear();
    char name[101] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
        errorText =
            QStringLiteral("The local host name cannot be found: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    hostName = QString::fromLocal8Bit(name);
    return LookUpIPv4Address(hostName, ipAddress, errorText);
}

bool IsValidIPAddress(const QString& text)
{
    const QString t = TrimBlanksAndControls(text);
    if (t.contains(u' '))
        return false;
    if (t.count(u'.') != 3)
        return false;
    const QStringList parts = t.split(u'.');
    for (const QString& part : parts) {
        int value = 0;
        if (!ReadAddressPart(part, value) || value < 0 || value > 255)
            return false;
    }
    return true;
}

bool IsSocketAlive(int socketFd)
{
    char buffer[6];
    ssize_t n = 0;
    do {
        n = recv(socketFd, buffer, sizeof buffer, MSG_PEEK);
    } while (n < 0 && errno == EINTR);
    return n != 0;
}
