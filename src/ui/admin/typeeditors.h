#pragma once
// The address-book, address-book type, carrier-type and template editors.
// The address-book editor hosts the settings editor of the book's type; the
// other three have no embedded editor. Each warns with one OK button and
// leaves the offending control focused. Opened by their list windows for
// the list's current row. Main thread only.

#include "ui/admin/formbaseeditor.h"

class QLineEdit;
class QSpinBox;
class TNDBEdit;
class TNDBLookupComboBox;
class TNDBMemo;

// A row of the local Databases list (the list window's data source).
class TFormDatabaseEditor : public TFormBaseEditor {
    Q_OBJECT
public:
    TFormDatabaseEditor(QWidget* owner, int mode, TNListForm* listForm);
    ~TFormDatabaseEditor() override;

    bool IsModified() override;

    TNDBEdit* dbedtName = nullptr;
    TNDBLookupComboBox* dbcbTypeLookup = nullptr;

protected:
    const TEmbedEditorClass* GetEmbeddedEditorClass(quint8 typeNo) override;
    bool ValidateInput() override;
    void AcceptChanges() override;
    QWidget* FirstControl() const override;

private:
    qint32 RowTypeNo() const;
    QString RowData() const;
    void TypeCloseUp();

    QString m_initialName;
    int m_selectedTypeNo = 0;
    bool m_recordsWereOpen = false;
};

// A row of the local DatabaseTypes table.
class TFormDatabaseTypeEditor : public TFormBaseEditor {
    Q_OBJECT
public:
    TFormDatabaseTypeEditor(QWidget* owner, int mode, TNListForm* listForm);

    bool IsModified() override;

    TNDBEdit* dbedtName = nullptr;
    TNDBEdit* dbedtTypeNo = nullptr;

protected:
    const TEmbedEditorClass* GetEmbeddedEditorClass(quint8) override { return nullptr; }
    bool ValidateInput() override;
    void AcceptChanges() override;
    QWidget* FirstControl() const override;

private:
    QString m_initialName;
    QString m_initialTypeNo;
};

// A row of an address book's CarrierTypes: plain copies of the name and the
// type number (0 to 100), written to the row on OK.
class TFormCarrierTypesEditorNew : public TFormBaseEditor {
    Q_OBJECT
public:
    TFormCarrierTypesEditorNew(QWidget* owner, int mode, TNListForm* listForm);

    bool IsModified() override;

    QLineEdit* edtName = nullptr;
    QSpinBox* updTypeNo = nullptr;  // its text is the type-number edit

protected:
    const TEmbedEditorClass* GetEmbeddedEditorClass(quint8) override { return nullptr; }
    bool ValidateInput() override;
    void AcceptChanges() override;
    QWidget* FirstControl() const override;

private:
    QString RowText(const char* field) const;
    bool ValueExists(const char* field, const QVariant& value) const;
};

// A row of an address book's Templates.
class TFormTemplateEditor : public TFormBaseEditor {
    Q_OBJECT
public:
    TFormTemplateEditor(QWidget* owner, int mode, TNListForm* listForm);

    bool IsModified() override;

    TNDBEdit* dbedtName = nullptr;
    TNDBMemo* dbmemContent = nullptr;

protected:
    const TEmbedEditorClass* GetEmbeddedEditorClass(quint8) override { return nullptr; }
    bool ValidateInput() override;
    void AcceptChanges() override;
    QWidget* FirstControl() const override;
};

// The text of a failed whole-number conversion.
QString InvalidIntegerText(const QString& text);
