#include "foundation/dmoptions.h"

#include "platform/closereport.h"
#include "platform/profilefile.h"

bool AddDisplayNameToMessage = false;
bool PrefixAddInEditor = false;
bool EntryInUpperCase = false;
QString FollowedByChar = QStringLiteral(":");
QString NumericAllowedChars = QStringLiteral("0123456789[]-");
int MaxNumericLength = 20;
quint32 DatabaseCaptionColor = 16711680;
quint8 PopupWinPos = 3;
int PopupWinDelay = 60;
std::atomic<bool> PopupForSuccess{false};
std::atomic<bool> PopupForFailure{true};

std::function<void(bool)> OnLargeTreeIconsChanged;
std::function<void()> OnMessageEditorOptionsChanged;
std::function<void()> OnDatabaseCaptionColorChanged;

namespace {
void MessageEditorRecounts()
{
    if (OnMessageEditorOptionsChanged)
        OnMessageEditorOptionsChanged();
}
}  // namespace

void RefreshPopupReportFlags()
{
    if (!Options)
        return;
    if (const TNOption* success = Options->FindOption(QStringLiteral("PopupForSuccess")))
        PopupForSuccess = success->AsBool();
    if (const TNOption* failure = Options->FindOption(QStringLiteral("PopupForFailure")))
        PopupForFailure = failure->AsBool();
}

int PopupEdgeCode(int optionValue)
{
    return optionValue >= 0 && optionValue <= 3 ? 3 - optionValue : -1;
}

TDModOptions::TDModOptions(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("DModOptions"));
    auto bind = [this](void (TDModOptions::*handler)(TNOption*)) -> TOnApplyChangesEvent {
        return [this, handler](TNOption* sender) { (this->*handler)(sender); };
    };
    // Options whose handler has no effect: applying them only writes them.
    const TOnApplyChangesEvent none = [](TNOption*) {};
    const QVariant empty;

    TSCGOptions& o = m_options;
    o.SetFileName(QStringLiteral("Settings.ini"));
    o.AddOption("TreeView", "LargeTreeIcons", okBool, false, bind(&TDModOptions::OnApplyLargeTreeIcons));
    o.AddOption("SharedData", "SharedDataFolder", okString, QStringLiteral("SharedData"));
    o.AddOption("MessageEditor", "AddDisplayNameToMessage", okBool, false,
                bind(&TDModOptions::OnApplyAddDisplayNameToMessage));
    o.AddOption("MessageEditor", "FollowedByChar", okString, QStringLiteral(":"),
                bind(&TDModOptions::OnApplyFollowedByChar));
    o.AddOption("MessageEditor", "EntryInUpperCase", okBool, false, bind(&TDModOptions::OnApplyEntryInUpperCase));
    o.AddOption("Logon", "UserPassword", okString, QStringLiteral("Rimo"), none);
    o.AddOption("Logon", "AdminPassword", okString, QStringLiteral("Brask"), none);
    o.AddOption("MessageEditor", "ClearMessageOnSend", okBool, false, none);
    o.AddOption("Recipients", "ClearRecipientsOnSend", okBool, false, none);
    o.AddOption("Logon", "LogonOnStart", okBool, false, none);
    o.AddOption("MessageEditor", "MaxNumericLength", okInteger, 20, bind(&TDModOptions::OnApplyMaxNumericLength));
    o.AddOption("MessageEditor", "NumericAllowedChars", okString, QStringLiteral("][-0123456789"),
                bind(&TDModOptions::OnApplyNumericAllowedChars));
    o.AddOption("Identification", "AppID", okString, empty);
    o.AddOption("MessageEditor", "AllowSendingEmptyMessages", okBool, QStringLiteral("True"));
    o.AddOption("MessageEditor", "WarnOnEmptyMessages", okBool, false);
    o.AddOption("Logon", "LogonAsUser", okBool, QStringLiteral("False"));
    o.AddOption("Logon", "LogonAsAdmin", okBool, QStringLiteral("True"));
    o.AddOption("TreeView", "DatabaseCaptionColor", okInteger, 16711680,
                bind(&TDModOptions::OnApplyDatabaseCaptionColor));
    o.AddOption("MessageEditor", "ShowContactNamesOfGroups", okBool, false, none);
    o.AddOption("Recipients", "MessagesToGroupMembersSequentially", okBool, false, none);
    o.AddOption("Recipients", "EnableTextFileRecipients", okBool, false, none);
    o.AddOption("MessageEditor", "PrefixAddInEditor", okBool, false, bind(&TDModOptions::OnApplyPrefixAddInEditor));
    o.AddOption("PopupWin", "PopupWinDelay", okInteger, 5, bind(&TDModOptions::OnApplyPopupWinDelay));
    o.AddOption("PopupWin", "PopupWinPos", okInteger, 0, bind(&TDModOptions::OnApplyPopupWinPos));
    o.AddOption("PopupWin", "PopupForSuccess", okBool, false, bind(&TDModOptions::OnApplyPopupForSuccess));
    o.AddOption("PopupWin", "PopupForFailure", okBool, true, bind(&TDModOptions::OnApplyPopupForFailure));

    o.LoadFromFile();
    Options = &m_options;
    OnProgramClose(this, [this] { SaveOnce(); });
    NumericAllowedChars = o.OptionByName("NumericAllowedChars")->AsString();
    MaxNumericLength = o.OptionByName("MaxNumericLength")->AsInteger();
    DatabaseCaptionColor = static_cast<quint32>(o.OptionByName("DatabaseCaptionColor")->AsInteger());
    RefreshPopupReportFlags();
}

TDModOptions::~TDModOptions()
{
    SaveOnce();
    if (Options == &m_options)
        Options = nullptr;
}

void TDModOptions::SaveOnce() noexcept
{
    // Every option's current value is written, applied or not. A failure
    // must not end the program: the operator is told and shut-down goes on.
    if (m_saved)
        return;
    m_saved = true;
    try {
        m_options.SaveToFile();
    } catch (const EProfileFileError& e) {
        ReportCloseFailure(e.Message());
    } catch (const std::exception& e) {
        ReportCloseFailure(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ReportCloseFailure(QStringLiteral("Unable to write to %1").arg(m_options.FilePath()));
    }
}

void TDModOptions::OnApplyLargeTreeIcons(TNOption* sender)
{
    if (OnLargeTreeIconsChanged)
        OnLargeTreeIconsChanged(sender->AsBool());
}

void TDModOptions::OnApplyAddDisplayNameToMessage(TNOption* sender)
{
    AddDisplayNameToMessage = sender->AsBool();
    MessageEditorRecounts();
}

void TDModOptions::OnApplyFollowedByChar(TNOption* sender)
{
    FollowedByChar = sender->AsString();
    MessageEditorRecounts();
}

void TDModOptions::OnApplyEntryInUpperCase(TNOption*)
{
    EntryInUpperCase = m_options.OptionByName("EntryInUpperCase")->AsBool();
}

void TDModOptions::OnApplyMaxNumericLength(TNOption*)
{
    MaxNumericLength = m_options.OptionByName("MaxNumericLength")->AsInteger();
}

void TDModOptions::OnApplyNumericAllowedChars(TNOption*)
{
    NumericAllowedChars = m_options.OptionByName("NumericAllowedChars")->AsString();
}

void TDModOptions::OnApplyDatabaseCaptionColor(TNOption* sender)
{
    DatabaseCaptionColor = static_cast<quint32>(sender->AsInteger());
    if (OnDatabaseCaptionColorChanged)
        OnDatabaseCaptionColorChanged();
}

void TDModOptions::OnApplyPrefixAddInEditor(TNOption* sender)
{
    PrefixAddInEditor = sender->AsBool();
}

void TDModOptions::OnApplyPopupWinDelay(TNOption*)
{
    PopupWinDelay = m_options.OptionByName("PopupWinDelay")->AsInteger();
}

void TDModOptions::OnApplyPopupWinPos(TNOption*)
{
    // A value outside the four positions leaves the popup where it was.
    const int code = PopupEdgeCode(m_options.OptionByName("PopupWinPos")->AsInteger());
    if (code >= 0)
        PopupWinPos = static_cast<quint8>(code);
}

void TDModOptions::OnApplyPopupForSuccess(TNOption* sender)
{
    PopupForSuccess = sender->AsBool();
}

void TDModOptions::OnApplyPopupForFailure(TNOption* sender)
{
    PopupForFailure = sender->AsBool();
}
