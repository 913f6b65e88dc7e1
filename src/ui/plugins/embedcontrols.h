#pragma once
// Small control helpers shared by the embedded settings editors: labelled
// rows with working accelerators, the digit filter, the blank toggle and the
// drop-down rules of the settings texts.

#include <QString>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QWidget;

// The form layout of an editor: labels in one aligned column, edits
// growing with the editor, drop-downs at the width of their entries.
QFormLayout* NewFormLayout(QWidget* editor);

// Adds "Caption" (with its "&" accelerator) and Field as one row of Form;
// the label's buddy is Field (or its focus proxy), so Alt+letter focuses it.
QLabel* AddLabelledRow(QFormLayout* form, const QString& caption, QWidget* field);

// As AddLabelledRow, with Trailer (a check box or a hint) right of Field.
QLabel* AddLabelledRow(QFormLayout* form, const QString& caption, QWidget* field, QWidget* trailer);

// A check box named Name.
QCheckBox* NewCheckBox(QWidget* parent, const QString& caption, const QString& name, bool checked = false);

// An edit named Name with the given text, of unlimited length (as the
// edits of drop-downs with free text).
QLineEdit* NewEdit(QWidget* parent, const QString& name, const QString& text = QString());
// A masked edit (passwords).
QLineEdit* NewPasswordEdit(QWidget* parent, const QString& name, const QString& text = QString());

// A drop-down with free text: the operator may pick an entry or type.
QComboBox* NewTextCombo(QWidget* parent, const QString& name, const QStringList& items);
// A drop-down list: the text changes only by picking an entry (or by Put).
// With no entry selected it can still show a text (ShowComboText), so a
// stored value that is not a list value is kept and shown, not replaced; it
// is drawn in the colour of a selected entry.
QComboBox* NewPickCombo(QWidget* parent, const QString& name, const QStringList& items);

// Digit filter. An edit (or a drop-down's edit) refuses every change that
// would leave a character other than "0" to "9" in its text, however it
// comes (typed, committed by an input method, pasted); a text set by Put is
// kept as it is. A drop-down list discards typed characters and input-method
// commits other than digits.
void InstallDigitFilter(QWidget* target);
// Every key except focus movement (Tab, Backtab) and Enter/Escape, and every
// input-method commit, is discarded: the drop-down changes only by mouse.
void InstallKeyboardBlock(QWidget* target);

// Blank toggle: ticked empties Edit, disables it and paints it in the
// button-face colour; not ticked enables it and paints it in the window
// colour. BindBlankToggle applies the state on every click of Box.
void ApplyBlankToggle(QCheckBox* box, QLineEdit* edit);
void BindBlankToggle(QCheckBox* box, QLineEdit* edit);
// Loads a settings item into a blank-toggled edit: the trimmed text, and the
// box ticked exactly when that text is empty.
void PutBlankToggled(QCheckBox* box, QLineEdit* edit, const QString& item);

// The text a drop-down shows: its edit's text, the selected entry, or with
// no entry selected the text given to ShowComboText.
QString ComboText(const QComboBox* combo);
// Shows Text with no entry selected.
void ShowComboText(QComboBox* combo, const QString& text);
// Selects the entry equal to Text when there is one, else shows Text with
// no entry selected.
void SetComboText(QComboBox* combo, const QString& text);
// Selects the entry equal to the trimmed Item without regard to letter case
// and returns true; otherwise shows the trimmed item with no entry selected
// and returns false.
bool SelectListValue(QComboBox* combo, const QString& item);

// Drop-downs whose settings item is the index of the selected entry. The
// editor selects its default entry when it is created, so a record saved as
// first shown names that entry.
//
// The item Get writes: the selected entry's index in decimal; with none
// selected, the number PutComboIndex kept.
QString ComboIndexText(const QComboBox* combo);
// Loads a stored index. An entry's index selects it. -1 means "no entry
// chosen" (how a drop-down left as first shown, with no entry selected, was
// saved before editors selected their default) and selects DefaultIndex, the
// entry that was shown. Both return true. Any other number is kept: shown
// with no entry selected and written back unchanged; false.
bool PutComboIndex(QComboBox* combo, int index, int defaultIndex);
