#include "ui/plugins/baseembededitor.h"

#include "foundation/helpfile.h"
#include "platform/commatext.h"
#include "platform/messagedlg.h"
#include "ui/plugins/embedcontrols.h"
#include "ui/plugins/embedtext.h"

#include <QComboBox>
#include <QKeyEvent>

TFormBaseEmbedEditor::TFormBaseEmbedEditor(QWidget* owner) : QWidget(owner) {}

bool TFormBaseEmbedEditor::event(QEvent* event)
{
    // The key reaches the editor from its focused control, which does not
    // use it. Taking the shortcut check first keeps a host's help shortcut
    // from firing instead; without a topic both are left to the host.
    const bool isKey = event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress;
    if (isKey && HelpContext() != 0) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
            if (event->type() == QEvent::KeyPress)
                ShowHelpTopic(HelpContext());
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void TFormBaseEmbedEditor::Warn(const QString& text, QWidget* control)
{
    MessageDlg(text, TMsgDlgType::mtWarning, mbOK);
    if (control)
        control->setFocus(Qt::OtherFocusReason);
}

bool TFormBaseEmbedEditor::Passes(const QString& problem, QWidget* control)
{
    if (problem.isEmpty())
        return true;
    Warn(problem, control);
    return false;
}

QString TFormBaseEmbedEditor::ClassName() const
{
    return QString::fromLatin1(metaObject()->className());
}

bool TFormBaseCarrierEditor::PutListValue(QComboBox* combo, const QStringList& items, int index, const QString& what)
{
    const QString& item = ItemAt(items, index);
    if (SelectListValue(combo, item))
        return true;
    Warn(QStringLiteral("Error From \"%1.PutDataAsCSVString()\" - wrong input data for %2: \"%3\"")
             .arg(ClassName(), what, item));
    return false;
}

bool TFormBaseCarrierEditor::CheckItemCount(const QStringList& items, int count)
{
    if (items.size() == count)
        return true;
    Warn(QStringLiteral("Error From \"%1.PutDataAsCSVString()\" - wrong number of input strings in data: \"%2\" "
                        "(correct is %3)")
             .arg(ClassName())
             .arg(items.size())
             .arg(count));
    return false;
}

QString TFormBaseEmbedContactEditor::ContactText(const QString& address, bool numeric)
{
    return CommaTextFromList({address, numeric ? QStringLiteral("true") : QStringLiteral("false")});
}

QString TFormBaseEmbedContactEditor::ContactText(const QStringList& nestedFields, bool numeric)
{
    return ContactText(CommaTextFromList(nestedFields), numeric);
}

QStringList TFormBaseEmbedContactEditor::NestedItems(const QStringList& outer)
{
    return CommaTextToList(ItemAt(outer, 0));
}

bool TFormBaseEmbedContactEditor::NumericFlag(const QStringList& outer)
{
    return outer.size() >= 2 && TrimBlanksAndControls(outer[1]).toLower() == QLatin1String("true");
}
