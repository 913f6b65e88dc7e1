#pragma once
// Embedded settings editors: small forms that turn a record's settings text
// (its Data field) into controls and back. A host window (the carrier,
// contact, address-book or server editor) creates the editor for the record's
// type through a registry (editorregistry.h), embeds it in a panel of its
// own, loads it with PutDataAsCSVString when the stored text is not empty,
// calls ValidateData when the record is accepted and stores
// GetDataAsCSVString.
//
// Main thread only, like every widget.

#include <QString>
#include <QStringList>
#include <QWidget>

class QComboBox;

class TFormBaseEmbedEditor : public QWidget {
    Q_OBJECT
public:
    // Owner: the host panel, or null (the host reparents the editor when it
    // embeds it and owns it from then on).
    explicit TFormBaseEmbedEditor(QWidget* owner = nullptr);

    // The settings text built from the controls.
    virtual QString GetDataAsCSVString() const = 0;
    // Loads the controls from a settings text; true when every item was
    // accepted. A missing or unconvertible item throws EEmbedEditorError
    // (embedtext.h); the items before it stay loaded.
    virtual bool PutDataAsCSVString(const QString& data) = 0;
    // False after warning the operator and focusing the offending control.
    virtual bool ValidateData() = 0;

    // The help topic opened by the help key (F1) while the editor has the
    // focus; 0 names none, and the key is left to the host window.
    virtual int HelpContext() const { return 0; }

protected:
    // F1 inside the editor opens its own topic ahead of the host's help.
    bool event(QEvent* event) override;

    // A warning box with one OK button; then Control takes the focus.
    static void Warn(const QString& text, QWidget* control = nullptr);
    // True when Problem is empty; otherwise warns with it and focuses Control.
    static bool Passes(const QString& problem, QWidget* control);
    // The concrete class's name, as the load warnings quote it.
    QString ClassName() const;
};

// Base of the nine carrier settings editors. Every concrete class also has
// the class operation "static int GetMaxLengthIndex()": the zero-based index
// of the settings item that holds the carrier's largest message length; the
// registry keeps it so it can be asked without creating a form.
class TFormBaseCarrierEditor : public TFormBaseEmbedEditor {
    Q_OBJECT
public:
    using TFormBaseEmbedEditor::TFormBaseEmbedEditor;
    int HelpContext() const override { return 1052; }

protected:
    // Selects the list value named by Items[Index]; when it is none, warns
    // "Error From "<class>.PutDataAsCSVString()" - wrong input data for
    // <What>: "<item>"", keeps the item shown and returns false.
    bool PutListValue(QComboBox* combo, const QStringList& items, int index, const QString& what);
    // Warns and returns false when the text had another number of items.
    bool CheckItemCount(const QStringList& items, int count);
};

// Base of the seven contact address editors. A contact settings text has
// two items: the address (for several fields a nested comma text) and the
// numeric-pager flag "true" or "false".
class TFormBaseEmbedContactEditor : public TFormBaseEmbedEditor {
    Q_OBJECT
public:
    using TFormBaseEmbedEditor::TFormBaseEmbedEditor;

protected:
    static QString ContactText(const QString& address, bool numeric);
    static QString ContactText(const QStringList& nestedFields, bool numeric);
    // Outer item 0 read as a nested comma text.
    static QStringList NestedItems(const QStringList& outer);
    // Ticked exactly when outer item 1, trimmed and lower-cased, is "true";
    // a text without item 1 clears the box.
    static bool NumericFlag(const QStringList& outer);
};

// Bases of the address-book and server settings editors.
class TFormBaseDatabaseEmbedEditor : public TFormBaseEmbedEditor {
    Q_OBJECT
public:
    using TFormBaseEmbedEditor::TFormBaseEmbedEditor;
};

class TFormBaseServerEmbedEditor : public TFormBaseEmbedEditor {
    Q_OBJECT
public:
    using TFormBaseEmbedEditor::TFormBaseEmbedEditor;
};
