#pragma once
// TBaseGridListForm: the simpler list window over one data source handed to
// it: a grid, Add/Edit/Delete through a record editor and an optional
// selection mode; no choice of address book, no sort menu, no search. New
// rows of an in-memory client dataset get temporary IDs below every existing
// ID (-1, -2, ... on an empty one), given when the editor is accepted.
// Built by Create<T> (never with new alone). Main thread only.

#include "ui/admin/listformbase.h"

class TBaseGridListForm : public TNListFormBase {
    Q_OBJECT
public:
    template <class T>
    static std::unique_ptr<T> Create(QWidget* owner, TRecordEditorClass editorClass, TNDataSource* source,
                                     bool forSelection, TNSelectionList* resultList)
    {
        std::unique_ptr<T> form(new T(owner, editorClass));
        form->Init(source, forSelection, resultList);
        return form;
    }

    // The next temporary ID (then one less for the next).
    qint32 NextTempID() { return m_tempID--; }

    static constexpr int DesignWidth = 560;
    static constexpr int DesignHeight = 380;

protected:
    TBaseGridListForm(QWidget* owner, TRecordEditorClass editorClass);

    // The smallest ID of a client dataset (0 at most) less one; -1 for any
    // other dataset.
    qint32 FindFirstTempID();
    void BeforeNewRowPosted(TNItemInfo& info) override;

private:
    void Init(TNDataSource* source, bool forSelection, TNSelectionList* resultList);

    qint32 m_tempID = -1;
};
