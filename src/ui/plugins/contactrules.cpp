#include "ui/plugins/contactrules.h"

#include "ui/plugins/embedtext.h"

namespace {
constexpr int MinPagerIdLength = 3;
constexpr int MaxPagerIdLength = 18;
constexpr int MinDestinationLength = 6;
constexpr int MaxDestinationLength = 18;
}  // namespace

QString PagerIdProblem(const QString& pagerId)
{
    const QString trimmed = TrimBlanksAndControls(pagerId);
    if (trimmed.isEmpty())
        return QStringLiteral("Error - Pager ID is empty !");
    qint64 value = 0;
    if (!TryStrToInt64(trimmed, &value) || value == -1)
        return QStringLiteral("Error - Pager ID: \"%1\" is not a valid numeric string !").arg(pagerId);
    if (trimmed.size() < MinPagerIdLength)
        return QStringLiteral("Error - Pager ID less than %1 digits !").arg(MinPagerIdLength);
    if (trimmed.size() > MaxPagerIdLength)
        return QStringLiteral("Error - Pager ID greater than %1 digits  !").arg(MaxPagerIdLength);
    return QString();
}

QString DestinationAddressProblem(const QString& address, const QString& word)
{
    const QString trimmed = TrimBlanksAndControls(address);
    if (trimmed.isEmpty())
        return QStringLiteral("Error - %1 Destionation Address is empty !").arg(word);
    if (!IsPhoneNumberText(trimmed))
        return QStringLiteral("Error - %1 Destination Address: \"%2\" is not a valid format!").arg(word, address);
    if (trimmed.size() < MinDestinationLength)
        return QStringLiteral("Error - %1 Destination Address less than %2 digits !")
            .arg(word)
            .arg(MinDestinationLength);
    if (trimmed.size() > MaxDestinationLength)
        return QStringLiteral("Error - %1 Destination Address greater than %2 digits  !")
            .arg(word)
            .arg(MaxDestinationLength);
    return QString();
}
