#pragma once
// Text rules of the message editor that need no window: how the message is
// counted, how it is queued, how the length counters read, how the template
// type-ahead finds its entry and how upper-case entry changes a typed
// character.

#include <QString>
#include <QStringList>

// The largest number of characters queued for one message.
inline constexpr int MaxQueuedMessageLength = 1000;
// A recipient whose carrier names no limit counts as this.
inline constexpr int NoMessageLengthLimit = 2147483647;

// Drops every CR and LF, then trims characters of code 32 or less at both
// ends.
QString NormalizeMessageText(const QString& text);

// The counted length of a memo text: its 8-bit form, normalised. Line breaks
// do not count.
int CalcMessageLengthOf(const QString& memoText);

// The queued form of a memo text: its 8-bit form (back in Unicode, so every
// character is one the code page holds), each CR a blank, every LF dropped,
// trimmed, and cut to MaxQueuedMessageLength characters.
QString MessageTextForSending(const QString& memoText);

// What the three bottom labels of the editor show.
struct TNCounterInput {
    int Length = 0;                  // the counted length of the text
    bool HaveRecipientList = false;  // false before the recipients pane exists
    int RecipientCount = 0;
    int MinMaxMessageLength = NoMessageLengthLimit;  // tightest limit of 1 or more
    int MaxNameLength = 0;                           // longest recipient name
    bool AddDisplayName = false;                     // option AddDisplayNameToMessage
    QString FollowedBy;                              // option FollowedByChar
};

struct TNCounterDisplay {
    QString CharCount;        // lblCharCount
    bool CountRed = false;    // red when over the limit, else blue
    QString Remaining;        // lblRemaining, e.g. "(-1)"; empty without recipients or limit
    QString PrefixIndicator;  // lblPrefixIndicator, "(Name:)"
    bool PrefixVisible = false;
};

TNCounterDisplay ComputeCounters(const TNCounterInput& input);

// Type-ahead: the index of the first name that begins with Typed, compared
// without regard to case in the user's locale; an empty Typed matches the
// first name; -1 when none matches.
int FindTemplateByPrefix(const QStringList& names, const QString& typed);

// Upper-case entry: the typed character in upper case as the 8-bit code page
// has it. A character the code page lacks, or whose upper case it lacks, is
// kept as typed rather than turned into "?".
QString UpperCaseEntryText(const QString& typed);
