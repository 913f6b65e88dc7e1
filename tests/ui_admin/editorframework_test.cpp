// The record editor framework: captions by mode, hosting and resizing the
// embedded editor, the per-type cache, OK following IsModified, Esc.
#include "ui/admin/formbaseeditor.h"
#include "ui/plugins/baseembededitor.h"
#include "ui/plugins/editorregistry.h"

#include "support/messageanswerer.h"
#include "ui_main/eventwaits.h"

#include <gtest/gtest.h>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

namespace {
// Embedded editors of a fixed designed size holding one text.
class TSizedEditor : public TFormBaseEmbedEditor {
public:
    TSizedEditor(QSize size, QWidget* owner) : TFormBaseEmbedEditor(owner), m_size(size)
    {
        edit = new QLineEdit(this);
        (new QVBoxLayout(this))->addWidget(edit);
    }
    QSize sizeHint() const override { return m_size; }
    QSize minimumSizeHint() const override { return QSize(10, 10); }
    QString GetDataAsCSVString() const override { return edit->text(); }
    bool PutDataAsCSVString(const QString& data) override
    {
        edit->setText(data);
        return true;
    }
    bool ValidateData() override { return true; }
    QLineEdit* edit;

private:
    QSize m_size;
};

const TEmbedEditorClass* SizedClass(int type)
{
    static const TEmbedEditorClass big{
        QStringLiteral("Big"), [](QWidget* o) -> TFormBaseEmbedEditor* { return new TSizedEditor(QSize(700, 500), o); },
        nullptr};
    static const TEmbedEditorClass small{
        QStringLiteral("Small"), [](QWidget* o) -> TFormBaseEmbedEditor* { return new TSizedEditor(QSize(60, 40), o); },
        nullptr};
    static const TEmbedEditorClass medium{
        QStringLiteral("Medium"),
        [](QWidget* o) -> TFormBaseEmbedEditor* { return new TSizedEditor(QSize(520, 380), o); }, nullptr};
    switch (type) {
        case 1:
            return &big;
        case 2:
            return &small;
        case 3:
            return &medium;
        default:
            return nullptr;
    }
}

class TTestEditor : public TFormBaseEditor {
public:
    TTestEditor(int mode) : TFormBaseEditor(nullptr, mode, nullptr)
    {
        resize(400, 300);
        RestoreFormSettings();
    }
    const TEmbedEditorClass* GetEmbeddedEditorClass(quint8 typeNo) override
    {
        const TEmbedEditorClass* c = SizedClass(typeNo);
        if (!c)
            Warn(QStringLiteral("no editor %1").arg(typeNo));
        return c;
    }
    bool ValidateInput() override { return true; }
    bool IsModified() override { return modified; }
    void AcceptChanges() override { accept(); }
    void CancelChanges() override { ++cancels; }
    QLineEdit* Edit() const { return static_cast<TSizedEditor*>(EmbeddedEditor())->edit; }
    bool modified = false;
    int cancels = 0;
};
}  // namespace

TEST(RecordEditorFramework, CaptionsByModeAndTheTypeCache)
{
    EXPECT_EQ(TTestEditor(emNew).windowTitle(), QStringLiteral("  New"));
    EXPECT_EQ(TTestEditor(emEdit).windowTitle(), QStringLiteral("  Edit"));
    EXPECT_EQ(TTestEditor(7).windowTitle(), QStringLiteral("  Edit"));

    TTestEditor editor(emEdit);
    EXPECT_EQ(editor.GetEmbeddedData(), QString());
    EXPECT_FALSE(editor.SetEmbeddedData(QStringLiteral("x")));
    editor.SetTypeData(4, QStringLiteral("a"));
    editor.SetTypeData(5, QStringLiteral("b"));
    editor.SetTypeData(4, QStringLiteral("c"));  // replaces, no second entry
    EXPECT_EQ(editor.GetTypeData(4), QStringLiteral("c"));
    EXPECT_EQ(editor.GetTypeData(5), QStringLiteral("b"));
    EXPECT_EQ(editor.GetTypeData(6), QString());
}

TEST(RecordEditorFramework, EmbeddingGrowsAndShrinksByTheDifferenceNeverBelowTheDesign)
{
    MessageAnswerer answerer;
    TTestEditor editor(emEdit);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    const QSize design = editor.size();
    EXPECT_EQ(editor.minimumSize(), design);

    const QSize panel = editor.pnlEmbedCustomEditor->size();
    ASSERT_TRUE(editor.CreateEmbeddedEditor(1));
    EXPECT_EQ(editor.size(), design + (QSize(700, 500) - panel));
    QApplication::processEvents();
    EXPECT_EQ(editor.pnlEmbedCustomEditor->size(), QSize(700, 500));

    // Down to 520 x 380: a shrink by the difference, still above the design.
    ASSERT_TRUE(editor.CreateEmbeddedEditor(3));
    EXPECT_EQ(editor.size(), design + (QSize(520, 380) - panel));
    QApplication::processEvents();

    // A tiny editor would go below the design size: that shrink does not happen.
    const QSize before = editor.size();
    ASSERT_TRUE(editor.CreateEmbeddedEditor(2));
    EXPECT_EQ(editor.size(), before);

    // No editor for the type: false, a warning, and the one shown stays.
    editor.Edit()->setText(QStringLiteral("kept"));
    EXPECT_FALSE(editor.CreateEmbeddedEditor(9));
    EXPECT_EQ(answerer.Texts(), QStringList{QStringLiteral("no editor 9")});
    EXPECT_EQ(editor.GetEmbeddedData(), QStringLiteral("kept"));
    EXPECT_EQ(editor.findChildren<TSizedEditor*>().size(), 1);
}

TEST(RecordEditorFramework, OkFollowsIsModifiedAndEscCancelsOnlyWithoutModifiers)
{
    TTestEditor editor(emEdit);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    EXPECT_TRUE(WaitUntil([&] { return !editor.btnOK->isEnabled(); }));
    editor.modified = true;
    EXPECT_TRUE(WaitUntil([&] { return editor.btnOK->isEnabled() && editor.actOK->isEnabled(); }));
    EXPECT_TRUE(editor.actCancel->isEnabled());

    QTest::keyClick(&editor, Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(editor.cancels, 0);
    QTest::keyClick(&editor, Qt::Key_Escape);
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(editor.cancels, 1);
    EXPECT_EQ(editor.result(), QDialog::Rejected);
}
