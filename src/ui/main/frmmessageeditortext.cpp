#include "ui/main/frmmessageeditortext.h"

#include "platform/codepage.h"
#include "platform/textutil.h"

#include <QLocale>

namespace {

}  // namespace

QString NormalizeMessageText(const QString& text)
{
    QString out = text;
    out.remove(QLatin1Char('\r'));
    out.remove(QLatin1Char('\n'));
    return TrimBlanksAndControls(out);
}

int CalcMessageLengthOf(const QString& memoText)
{
    return static_cast<int>(NormalizeMessageText(ThroughCodePage(memoText)).size());
}

QString MessageTextForSending(const QString& memoText)
{
    QString text = ThroughCodePage(memoText);
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.remove(QLatin1Char('\n'));
    text = TrimBlanksAndControls(text);
    if (text.size() > MaxQueuedMessageLength)
        text.truncate(MaxQueuedMessageLength);
    return text;
}

TNCounterDisplay ComputeCounters(const TNCounterInput& input)
{
    TNCounterDisplay out;
    out.CharCount = QString::number(input.Length);
    if (input.HaveRecipientList) {
        qint64 limit = input.MinMaxMessageLength;
        if (input.AddDisplayName)
            limit -= input.MaxNameLength + input.FollowedBy.size();
        // No recipient's carrier names a limit: nothing to count down.
        const bool limited = input.MinMaxMessageLength < NoMessageLengthLimit;
        out.CountRed = limited && limit < input.Length;
        if (input.RecipientCount > 0 && limited)
            out.Remaining = QStringLiteral("(%1)").arg(limit - input.Length);
    }
    out.PrefixIndicator = QStringLiteral("(Name") + input.FollowedBy + QLatin1Char(')');
    out.PrefixVisible = input.AddDisplayName;
    return out;
}

int FindTemplateByPrefix(const QStringList& names, const QString& typed)
{
    const QLocale locale;
    const QString wanted = locale.toLower(typed);
    for (int i = 0; i < names.size(); ++i) {
        const QString& name = names[i];
        if (name.size() < typed.size())
            continue;
        if (locale.toLower(name.left(typed.size())) == wanted)
            return i;
    }
    return -1;
}

QString UpperCaseEntryText(const QString& typed)
{
    QString out;
    for (const QChar c : typed) {
        const QString one(c);
        const QString upper = QLocale().toUpper(one);
        // Only a one-character upper case that survives the code page is
        // taken; "ß" stays "ß", a character outside the code page stays.
        if (ThroughCodePage(one) == one && upper.size() == 1 && ThroughCodePage(upper) == upper)
            out += upper;
        else
            out += c;
    }
    return out;
}
