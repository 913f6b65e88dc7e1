#include "ui/plugins/baseembededitor.h"

#include "platform/commatext.h"
#include "platform/messagedlg.h"
#include "ui/plugins/embedcontrols.h"
#include "ui/plugins/embedtext.h"

#include <QComboBox>

TFormBaseEmbedEditor::TFormBaseEmbedEditor(QWidget* owner) : QWidget(owner) {}

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
