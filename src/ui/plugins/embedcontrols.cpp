#include "ui/plugins/embedcontrols.h"

#include "ui/plugins/embedtext.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <limits>

namespace {
// Discards key presses and input-method commits that a drop-down list must
// not receive (a list searches its entries for typed text). Parented to the
// control it filters, so it lives exactly as long as that control.
class TKeyFilter : public QObject {
public:
    enum class Mode { Digits, Block };
    TKeyFilter(QObject* target, Mode mode) : QObject(target), m_mode(mode) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::InputMethod) {
            const QString text = static_cast<QInputMethodEvent*>(event)->commitString();
            return m_mode == Mode::Block ? !text.isEmpty() : !IsDigitText(text);
        }
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
            case Qt::Key_Tab:
            case Qt::Key_Backtab:
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Escape:
                return false;
            default:
                break;
        }
        if (m_mode == Mode::Block)
            return true;
        // Keys without text (arrows, Delete) and shortcuts pass.
        for (QChar c : key->text()) {
            if (!c.isPrint())
                return false;
        }
        return !IsDigitText(key->text());
    }

private:
    static bool IsDigitText(const QString& text)
    {
        for (QChar c : text)
            if (c < u'0' || c > u'9')
                return false;
        return true;
    }

    Mode m_mode;
};

void InstallKeyFilter(QWidget* target, TKeyFilter::Mode mode)
{
    target->installEventFilter(new TKeyFilter(target, mode));
}

// Edits hold texts of any length: a stored item longer than the library's
// default limit (32,767 characters) must come back whole.
void LiftLengthLimit(QLineEdit* edit)
{
    edit->setMaxLength(std::numeric_limits<int>::max());
}
}  // namespace

QFormLayout* NewFormLayout(QWidget* editor)
{
    auto* form = new QFormLayout(editor);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    form->setFormAlignment(Qt::AlignLeft | Qt::AlignTop);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setRowWrapPolicy(QFormLayout::DontWrapRows);
    return form;
}

QLabel* AddLabelledRow(QFormLayout* form, const QString& caption, QWidget* field)
{
    auto* label = new QLabel(caption, form->parentWidget());
    label->setBuddy(field);
    form->addRow(label, field);
    return label;
}

QLabel* AddLabelledRow(QFormLayout* form, const QString& caption, QWidget* field, QWidget* trailer)
{
    auto* label = new QLabel(caption, form->parentWidget());
    label->setBuddy(field);
    auto* row = new QHBoxLayout;
    row->addWidget(field, 1);
    row->addWidget(trailer);
    form->addRow(label, row);
    return label;
}

QCheckBox* NewCheckBox(QWidget* parent, const QString& caption, const QString& name, bool checked)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setChecked(checked);
    return box;
}

QLineEdit* NewEdit(QWidget* parent, const QString& name, const QString& text)
{
    auto* edit = new QLineEdit(parent);
    LiftLengthLimit(edit);
    edit->setText(text);
    edit->setObjectName(name);
    // Room for a host name or an e-mail address without scrolling.
    edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 28);
    return edit;
}

QLineEdit* NewPasswordEdit(QWidget* parent, const QString& name, const QString& text)
{
    QLineEdit* edit = NewEdit(parent, name, text);
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

QComboBox* NewTextCombo(QWidget* parent, const QString& name, const QStringList& items)
{
    QComboBox* combo = NewPickCombo(parent, name, items);
    combo->setEditable(true);
    LiftLengthLimit(combo->lineEdit());
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCompleter(nullptr);
    return combo;
}

QComboBox* NewPickCombo(QWidget* parent, const QString& name, const QStringList& items)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->addItems(items);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    combo->setMinimumContentsLength(8);
    combo->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // A kept value with no entry selected is shown as the placeholder text:
    // it is a setting, not a hint, so it is drawn like a selected entry.
    QPalette palette = combo->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::PlaceholderText, palette.color(group, QPalette::ButtonText));
    combo->setPalette(palette);
    return combo;
}

void InstallDigitFilter(QWidget* target)
{
    // An edit checks its text, whatever way it comes in (keys, an input
    // method's commit, pasting); a list only filters what is typed at it.
    QLineEdit* edit = qobject_cast<QLineEdit*>(target);
    if (auto* combo = qobject_cast<QComboBox*>(target))
        edit = combo->lineEdit();
    if (edit)
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    else
        InstallKeyFilter(target, TKeyFilter::Mode::Digits);
}

void InstallKeyboardBlock(QWidget* target)
{
    InstallKeyFilter(target, TKeyFilter::Mode::Block);
}

void ApplyBlankToggle(QCheckBox* box, QLineEdit* edit)
{
    const bool blank = box->isChecked();
    if (blank)
        edit->clear();
    edit->setEnabled(!blank);
    QPalette palette = edit->palette();
    const QPalette standard = QApplication::palette(edit);
    palette.setColor(QPalette::Base, blank ? standard.color(QPalette::Button) : standard.color(QPalette::Base));
    edit->setPalette(palette);
}

void BindBlankToggle(QCheckBox* box, QLineEdit* edit)
{
    QObject::connect(box, &QCheckBox::clicked, edit, [box, edit] { ApplyBlankToggle(box, edit); });
    ApplyBlankToggle(box, edit);
}

void PutBlankToggled(QCheckBox* box, QLineEdit* edit, const QString& item)
{
    const QString text = TrimBlanksAndControls(item);
    edit->setText(text);
    box->setChecked(text.isEmpty());
    ApplyBlankToggle(box, edit);
}

QString ComboText(const QComboBox* combo)
{
    if (combo->isEditable() || combo->currentIndex() >= 0)
        return combo->currentText();
    return combo->placeholderText();
}

void ShowComboText(QComboBox* combo, const QString& text)
{
    if (combo->isEditable()) {
        combo->setCurrentIndex(-1);
        combo->setEditText(text);
    } else {
        // In this order: clearing the placeholder of a combo without a
        // selection would select the first entry.
        combo->setPlaceholderText(text);
        combo->setCurrentIndex(-1);
    }
}

void SetComboText(QComboBox* combo, const QString& text)
{
    const int index = combo->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (index >= 0)
        combo->setCurrentIndex(index);
    else
        ShowComboText(combo, text);
}

bool SelectListValue(QComboBox* combo, const QString& item)
{
    const QString trimmed = TrimBlanksAndControls(item);
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i).compare(trimmed, Qt::CaseInsensitive) == 0) {
            combo->setCurrentIndex(i);
            return true;
        }
    }
    ShowComboText(combo, trimmed);
    return false;
}

QString ComboIndexText(const QComboBox* combo)
{
    if (combo->currentIndex() >= 0)
        return QString::number(combo->currentIndex());
    // The kept number; a drop-down that never held one reads as none chosen.
    int kept = -1;
    return TryDecimalToInt(combo->placeholderText(), &kept) ? combo->placeholderText() : QStringLiteral("-1");
}

bool PutComboIndex(QComboBox* combo, int index, int defaultIndex)
{
    if (index == -1)
        index = defaultIndex;
    if (index >= 0 && index < combo->count()) {
        combo->setCurrentIndex(index);
        return true;
    }
    ShowComboText(combo, QString::number(index));
    return false;
}
