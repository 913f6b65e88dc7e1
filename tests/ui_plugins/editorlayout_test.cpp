// Every registered editor shown alone: accelerators reach their controls,
// no caption is clipped, labels line up and Tab moves down the form. With
// TOVIX_EDITOR_SHOTS set to a folder, each editor is also saved there as a
// PNG for a look by eye.
#include "ui/plugins/editorregistration.h"
#include "ui/plugins/editorregistry.h"

#include "support/messageanswerer.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QTest>
#include <memory>

#include "editorfixture.h"

namespace {
struct TShownEditor {
    QString Title;
    const TEmbedEditorClass* Class;
};

QList<TShownEditor> RegisteredEditors()
{
    MessageAnswerer answerer;
    CarrierEditorsList().Clear();
    ContactEditorsList().Clear();
    RegisterEmbeddedEditors();
    QList<TShownEditor> editors;
    QList<const TEmbedEditorClass*> seen;
    const QList<const TBaseEmbedEditorsList*> lists{&CarrierEditorsList(), &ContactEditorsList()};
    for (const TBaseEmbedEditorsList* list : lists) {
        TEmbedEditorRec rec;
        for (int i = 0; i < list->GetCount(); ++i) {
            list->GetItem(i, rec);
            if (seen.contains(rec.EditorClass))
                continue;
            seen << rec.EditorClass;
            editors << TShownEditor{rec.EditorClass->ClassName, rec.EditorClass};
        }
    }
    return editors;
}

QPoint PositionIn(const QWidget* widget, const QWidget* editor)
{
    return widget->mapTo(editor, QPoint(0, 0));
}
}  // namespace

TEST(EditorLayout, EveryEditorShowsTidilyAlone)
{
    const QList<TShownEditor> editors = RegisteredEditors();
    ASSERT_EQ(editors.size(), 16);
    const QString shots = qEnvironmentVariable("TOVIX_EDITOR_SHOTS");
    int acceleratorsTried = 0;
    for (const TShownEditor& shown : editors) {
        SCOPED_TRACE(shown.Title.toStdString());
        std::unique_ptr<TFormBaseEmbedEditor> editor(shown.Class->Create(nullptr));
        editor->resize(editor->sizeHint());
        editor->show();
        QApplication::processEvents();

        QList<int> labelColumn;
        for (QLabel* label : editor->findChildren<QLabel*>()) {
            if (!label->isVisible())
                continue;
            if (label->text().contains(u'&')) {
                EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
            }
            EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
            if (label->buddy())
                labelColumn << PositionIn(label, editor.get()).x();
        }
        for (QAbstractButton* button : editor->findChildren<QAbstractButton*>()) {
            if (button->isVisible() && !button->text().isEmpty()) {
                EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
            }
        }
        for (int x : labelColumn)
            EXPECT_EQ(x, labelColumn.first());

        // Tab visits the controls from top to bottom (left to right in a row).
        QPoint previous(-1, -1);
        int visited = 0;
        for (QWidget* w = editor->nextInFocusChain(); w != editor.get(); w = w->nextInFocusChain()) {
            if (!w->isVisible() || !w->isEnabled() || !(w->focusPolicy() & Qt::TabFocus) || w->focusProxy())
                continue;
            const QPoint at = PositionIn(w, editor.get());
            const bool sameRow = qAbs(at.y() - previous.y()) < w->height() / 2;
            EXPECT_TRUE(sameRow ? at.x() > previous.x() : at.y() > previous.y())
                << w->objectName().toStdString() << " comes after a control below or right of it";
            previous = at;
            ++visited;
        }
        EXPECT_GT(visited, 0);

        // Alt+letter of each caption focuses its control.
        editor->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(editor.get()));
        for (QLabel* label : editor->findChildren<QLabel*>()) {
            const qsizetype amp = label->text().indexOf(u'&');
            if (!label->isVisible() || amp < 0 || !label->buddy() || !label->buddy()->isEnabled())
                continue;
            const QChar letter = label->text().at(amp + 1).toUpper();
            QTest::keyClick(editor.get(), Qt::Key(letter.unicode()), Qt::AltModifier);
            QWidget* focused = QApplication::focusWidget();
            EXPECT_TRUE(focused == label->buddy() || label->buddy()->isAncestorOf(focused))
                << label->text().toStdString();
            ++acceleratorsTried;
        }

        if (!shots.isEmpty())
            editor->grab().save(QDir(shots).filePath(shown.Title + QStringLiteral(".png")));
    }
    EXPECT_GT(acceleratorsTried, 40);
}
