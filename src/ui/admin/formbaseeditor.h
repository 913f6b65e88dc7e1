#pragma once
// TFormBaseEditor: the base of the modal record editors. Three panels from
// top to bottom: pnlBaseInfo (the record's own fields), pnlEmbedCustomEditor
// (the embedded settings editor of the record's type) and pnlButtons (O&K,
// &Cancel and the size grip).
//
// The framework hosts one embedded editor (CreateEmbeddedEditor swaps it and
// resizes the window by the difference of the sizes, never below the design
// size), moves its settings text in and out (GetEmbeddedData,
// SetEmbeddedData) and keeps one text per type number while the user
// switches types (GetTypeData, SetTypeData). OK is enabled exactly while
// IsModified holds (checked at idle time); OK runs AcceptChanges, which
// validates and closes with the OK result; Cancel, Esc without modifiers and
// the window's close run CancelChanges and close with the cancel result.
// An Alt+letter that is none of the window's accelerators types nothing.
//
// A derived editor's constructor ends with RestoreFormSettings() (placement
// from "FormSettings.ini", design size made the minimum) and its destructor
// starts with StoreFormSettings(). Main thread only.

#include "foundation/formbase.h"
#include "ui/admin/listform.h"

#include <QDialog>
#include <QList>
#include <QPair>
#include <QPointer>

#include "db/datasource.h"

class QAction;
class QLineEdit;
class QPushButton;
class TFormBaseEmbedEditor;
struct TEmbedEditorClass;

class TFormBaseEditor : public QDialog, public TFormBase {
    Q_OBJECT
public:
    ~TFormBaseEditor() override;

    int Mode() const { return m_mode; }
    TNListForm* ListForm() const { return m_listForm; }
    // Also takes the list window's data source and data client.
    void SetListForm(TNListForm* listForm);
    TNDataSource* DataSource() const { return m_dataSource; }
    TBaseDataClient* DataClient() const { return m_dataClient; }
    TFormBaseEmbedEditor* EmbeddedEditor() const { return m_embeddedEditor; }

    // Embeds the editor of the type; false (the current one stays) when the
    // type has none.
    bool CreateEmbeddedEditor(quint8 typeNo);
    // The embedded editor's settings text; empty without one.
    QString GetEmbeddedData() const;
    // Loads the embedded editor; false without one. A text the editor
    // cannot read raises its error (embedtext.h).
    bool SetEmbeddedData(const QString& text);
    // The text cached for the type; empty when none is.
    QString GetTypeData(quint8 typeNo) const;
    void SetTypeData(quint8 typeNo, const QString& text);

    // True when anything differs from the row as opened.
    virtual bool IsModified() = 0;
    // Run by the multi-database list window after it posted the row of an
    // accepted editor.
    virtual void AfterRecordPosted() {}
    // actOK enabled exactly while IsModified holds.
    void UpdateOkAction();

    void reject() override;  // Cancel, Esc, the window's close

    QWidget* pnlBaseInfo = nullptr;
    QWidget* pnlEmbedCustomEditor = nullptr;
    QWidget* pnlButtons = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
    QAction* actOK = nullptr;
    QAction* actCancel = nullptr;

    static constexpr int ButtonsHeight = 53;

protected:
    // Create (ListForm null) and CreateForList: caption "  Edit" or "  New"
    // by mode; a list window's data source and data client are taken.
    TFormBaseEditor(QWidget* owner, int mode, TNListForm* listForm);

    // The embedded-editor class of the type from the kind's registry; null
    // after the derived editor's warning when there is none.
    virtual const TEmbedEditorClass* GetEmbeddedEditorClass(quint8 typeNo) = 0;
    // False after a warning and focusing the offending control.
    virtual bool ValidateInput() = 0;
    virtual void AcceptChanges() {}
    virtual void CancelChanges() {}
    bool DesignSizeIsMinimum() const override { return true; }
    void keyPressEvent(QKeyEvent* event) override;

    // The caption "  Edit <Kind>" or "  New <Kind>" by mode.
    void SetKindCaption(const QString& kind);
    // Validation of the embedded part: its ValidateData, true without one.
    bool ValidateEmbeddedData();
    // Hides the embedding panel: the fields fill the window.
    void HideEmbedPanel();
    // The dataset of the row being edited (nullptr without a data source).
    TNDataSet* RowDataSet() const;
    // Puts the row into edit state unless it is being edited or inserted.
    void EditRow();
    // The design size: the fields panel's and the buttons' heights at Width.
    void ResizeToDesign(int width);
    // "Error: Name field can't be empty !" for an empty text (blanks pass),
    // focusing the edit; false then.
    static bool NameGiven(QWidget* edit, const QString& text);
    // A warning box with one OK button; then Control takes the focus.
    static void Warn(const QString& text, QWidget* control = nullptr);
    // EditorClass, or the warning when it is null (a type with no editor).
    static const TEmbedEditorClass* ClassOrWarn(const TEmbedEditorClass* editorClass, const QString& warning);
    // Embeds the type's editor unless it is SelectedTypeNo already, then
    // remembers the type and loads the text cached for it (if any).
    void ShowTypeEditor(int typeNo, int& selectedTypeNo);
    // Loads a stored settings text into the embedded editor when the window
    // is shown (at once when it is up already). A text with too few or
    // unreadable items shows its error once the window is up; the items
    // before that one stay loaded and the window stays open, so the record
    // can be corrected and saved.
    void LoadEmbeddedData(const QString& text);
    // A refused value goes back: the row's field and the edit showing it.
    void PutBack(QLineEdit* edit, const QString& fieldName, const QString& text);
    // The control that takes the focus when the window shows.
    virtual QWidget* FirstControl() const { return nullptr; }
    void showEvent(QShowEvent* event) override;

private:
    int m_mode;
    TNListForm* m_listForm = nullptr;
    QPointer<TNDataSource> m_dataSource;
    TBaseDataClient* m_dataClient = nullptr;
    TFormBaseEmbedEditor* m_embeddedEditor = nullptr;  // owned (child of the panel)
    QList<QPair<quint8, QString>> m_typeData;
    bool m_shown = false;
    bool m_dataPending = false;
    QString m_pendingData;  // for the embedded editor, until the window shows
};
