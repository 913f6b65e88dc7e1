// What the editors take from the operator and from stored texts: items of
// any length, digits only where a filter says so (however they are typed),
// pick-only lists, stored values drawn as values, and the help key.
#include "ui/plugins/carrierpacnet.h"
#include "ui/plugins/carriersms.h"
#include "ui/plugins/carriertap.h"
#include "ui/plugins/contactpager.h"
#include "ui/plugins/editorregistration.h"
#include "ui/plugins/editorregistry.h"
#include "ui/plugins/embedcontrols.h"

#include "foundation/helpfile.h"
#include "platform/commatext.h"
#include "support/messageanswerer.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QShortcut>
#include <QTest>
#include <QVBoxLayout>
#include <map>
#include <memory>

#include "editorfixture.h"

namespace {
// The items that hold free text: an outer index, and for a nested contact
// text the field inside it.
struct TTextItem {
    int Item;
    int Nested = -1;
};

const std::map<QString, QList<TTextItem>> textItems = {
    {"TFormCarrierTapDirect", {{1}, {2}}},
    {"TFormCarrierPacnet", {{0}, {1}}},
    {"TFormCarrierTAPModem", {{0}, {2}}},
    {"TFormCarrierSMS", {{0}, {2}}},
    {"TFormCarrierSMTP", {{0}}},
    {"TFormCarrierSNPP", {{0}}},
    {"TFormCarrierWCTP", {{0}}},
    {"TFormCarrierMSG", {{0}}},
    {"TFormCarrierACU", {{1}}},
    {"TFormEmbedTapContactEditor", {{0}}},
    {"TFormEmbedSMSContactEditor", {{0}}},
    {"TFormEmbedSMTPContactEditor", {{0, 1}}},
    {"TFormEmbedSNPPContactEditor", {{0, 1}}},
    {"TFormEmbedWCTPContactEditor", {{0, 2}}},
    {"TFormEmbedMSGContactEditor", {{0, 0}}},
    {"TFormEmbedACUContactEditor", {{0, 0}}},
};

QString WithItem(const QString& text, TTextItem at, const QString& value)
{
    QStringList items = CommaTextToList(text);
    if (at.Nested < 0) {
        items[at.Item] = value;
    } else {
        QStringList nested = CommaTextToList(items[at.Item]);
        nested[at.Nested] = value;
        items[at.Item] = CommaTextFromList(nested);
    }
    return CommaTextFromList(items);
}

void Commit(QWidget* target, const QString& text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(target, &event);
}
}  // namespace

TEST(EditorInput, LongItemsComeBackWholeThroughEveryEditor)
{
    MessageAnswerer answerer;  // a new SMTP carrier's "-1" warns on load
    CarrierEditorsList().Clear();
    ContactEditorsList().Clear();
    RegisterEmbeddedEditors();
    const QString longItem(40000, u'7');
    QStringList tried;
    const QList<const TBaseEmbedEditorsList*> lists{&CarrierEditorsList(), &ContactEditorsList()};
    for (const TBaseEmbedEditorsList* list : lists) {
        TEmbedEditorRec rec;
        for (int i = 0; i < list->GetCount(); ++i) {
            list->GetItem(i, rec);
            if (tried.contains(rec.EditorClass->ClassName))
                continue;
            tried << rec.EditorClass->ClassName;
            SCOPED_TRACE(rec.EditorClass->ClassName.toStdString());
            ASSERT_TRUE(textItems.count(rec.EditorClass->ClassName));
            for (TTextItem at : textItems.at(rec.EditorClass->ClassName)) {
                std::unique_ptr<TFormBaseEmbedEditor> editor(rec.EditorClass->Create(nullptr));
                const QString text = WithItem(editor->GetDataAsCSVString(), at, longItem);
                editor->PutDataAsCSVString(text);
                EXPECT_EQ(editor->GetDataAsCSVString(), text) << "item " << at.Item;
            }
        }
    }
    EXPECT_EQ(tried.size(), 16);
}

TEST(EditorInput, BaudRatesArePickOnlyListsAndDigitFiltersCheckTheText)
{
    MessageAnswerer answerer;
    TFormCarrierTAPModem modem;
    TFormCarrierTapDirect direct;
    TFormCarrierSMS sms;
    for (QWidget* editor :
         {static_cast<QWidget*>(&modem), static_cast<QWidget*>(&direct), static_cast<QWidget*>(&sms)}) {
        // Typing searches the list; whatever is typed, the value is an entry.
        auto* baud = Control<QComboBox>(editor, "cbBaudRate");
        EXPECT_FALSE(baud->isEditable());
        QTest::keyClicks(baud, QStringLiteral("300"));
        QTest::keyClick(baud, Qt::Key_Backspace);
        Commit(baud, QStringLiteral("x"));
        EXPECT_TRUE(CarrierBaudRates().contains(ComboText(baud))) << ComboText(baud).toStdString();
        EXPECT_GE(baud->currentIndex(), 0);
    }

    // A text committed by an input method (a dead key, a full-width digit)
    // does not get past the filter, so the length stays a number.
    QLineEdit* length = Control<QComboBox>(&modem, "cbMaxMessLength")->lineEdit();
    length->setFocus();
    length->selectAll();
    Commit(length, QString::fromUtf8("\u00E9"));
    Commit(length, QString::fromUtf8("\uFF12"));
    EXPECT_EQ(length->text(), QStringLiteral("240"));
    length->selectAll();
    Commit(length, QStringLiteral("99"));
    EXPECT_EQ(length->text(), QStringLiteral("99"));
    EXPECT_EQ(CarrierMaxLengthFromSettings(1, modem.GetDataAsCSVString()), 99);
}

TEST(EditorInput, StoredValuesInListsAreDrawnAsValues)
{
    MessageAnswerer answerer;
    TFormCarrierPacnet pacnet;
    auto* speed = Control<QComboBox>(&pacnet, "cbSpeed");
    EXPECT_EQ(speed->currentIndex(), -1);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        EXPECT_EQ(speed->palette().color(group, QPalette::PlaceholderText),
                  speed->palette().color(group, QPalette::ButtonText));
}

TEST(EditorInput, HelpKeyOpensTheCarrierEditorsTopicAndLeavesContactEditorsToTheHost)
{
    TempFolder dir;
    const QString helpFile = dir.File("Help.chm");
    QFile(helpFile).open(QIODevice::WriteOnly);
    SetHelpFile(helpFile);
    int opened = 0;
    SetHelpOpener([&opened](const QUrl&) { return ++opened > 0; });

    const auto pressHelp = [](TFormBaseEmbedEditor* editor) {
        QWidget host;
        int hostHelp = 0;
        auto* shortcut = new QShortcut(QKeySequence(Qt::Key_F1), &host);
        QObject::connect(shortcut, &QShortcut::activated, &host, [&hostHelp] { ++hostHelp; });
        (new QVBoxLayout(&host))->addWidget(editor);
        host.show();
        host.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&host));
        editor->findChild<QLineEdit*>()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        return hostHelp;
    };
    EXPECT_EQ(pressHelp(new TFormCarrierTapDirect), 0);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(pressHelp(new TFormEmbedTapContactEditor), 1);
    EXPECT_EQ(opened, 1);
    SetHelpOpener({});
    SetHelpFile(QString());
}
