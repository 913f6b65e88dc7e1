#include "ui/main/optionsrules.h"

#include "foundation/options.h"
#include "platform/messagedlg.h"
#include "platform/profilefile.h"
#include "platform/programfolder.h"
#include "ui/main/frmlogon.h"

#include <algorithm>

TNDelayEdit PopupDelayEdit(const QString& text, int storedDelay)
{
    bool ok = false;
    const int typed = ParseDelphiInteger(text.trimmed(), &ok);
    TNDelayEdit edit;
    edit.Position = std::clamp(ok ? typed : storedDelay, PopupDelayMin, PopupDelayMax);
    edit.Text = QString::number(edit.Position);
    return edit;
}

bool NewPasswordDiffers(const QString& typed, const QString& current)
{
    return !LogonPasswordMatches(typed, current);
}

TNPasswordCheck CheckNewPassword(const QString& newText, const QString& confirmText, const QString& roleWord)
{
    TNPasswordCheck check;
    check.Matched = LogonPasswordMatches(newText, confirmText);
    check.Message =
        check.Matched
            ? QStringLiteral("New %1 Password set successfully.").arg(roleWord)
            : QStringLiteral("The two values entered don't match. %1 password was NOT changed.").arg(roleWord);
    return check;
}

int PageToShow(int storedIndex, int pageCount, int designedPage)
{
    return storedIndex >= 0 && storedIndex < pageCount ? storedIndex : designedPage;
}

quint32 BGRFromColor(const QColor& color)
{
    return quint32(color.red()) | (quint32(color.green()) << 8) | (quint32(color.blue()) << 16);
}

QString ProgramFolderWithoutSeparator()
{
    QString folder = ProgramFolder();
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

bool TNOptionsApplier::Apply()
{
    try {
        m_options.ApplyChanges();
    } catch (const EProfileFileError& error) {
        // The options written before the failure are saved; the others keep
        // their new values, pending, and are in effect already.
        for (int i = 0; i < m_options.Count(); ++i) {
            const QString name = m_options.At(i)->Name();
            if (m_options.At(i)->Modified() && !m_inEffectUnsaved.contains(name))
                m_inEffectUnsaved << name;
        }
        MessageDlg(error.Message(), TMsgDlgType::mtError, mbOK);
        return false;
    }
    // An option put into effect at a failed OK and changed back since then
    // ran no handler now: its saved value goes back into effect.
    for (const QString& name : std::as_const(m_inEffectUnsaved))
        m_options.OptionByName(name)->ApplyValue();
    m_inEffectUnsaved.clear();
    return true;
}

void TNOptionsApplier::Cancel()
{
    m_options.CancelChanges();
    for (const QString& name : std::as_const(m_inEffectUnsaved))
        m_options.OptionByName(name)->ApplyValue();
    m_inEffectUnsaved.clear();
}
