// editor-preview carrier|contact|server TYPE [SETTINGS] [--shot FILE.png]
//
// Shows the registered editor of a carrier, contact or server type in a
// window with its settings text below it: "Get" writes the editor's text there, "Put"
// loads the text into the editor, "Validate" runs its checks. With --shot
// the editor is drawn into FILE.png and the program ends (works on the
// offscreen platform too); no box is shown then: a warning the editor raises
// is written to the standard error output and answered with its default.
#include "foundation/messagebox.h"
#include "ui/plugins/editorregistration.h"
#include "ui/plugins/editorregistry.h"
#include "ui/plugins/embedtext.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovix 2"));
    QStringList args = QApplication::arguments().mid(1);
    QString shot;
    if (const qsizetype at = args.indexOf(QStringLiteral("--shot")); at >= 0 && at + 1 < args.size()) {
        shot = args[at + 1];
        args.remove(at, 2);
    }
    bool typeOk = false;
    const int type = args.size() >= 2 ? args[1].toInt(&typeOk) : 0;
    if (!typeOk || type < 0 || type > 255 ||
        (args[0] != QLatin1String("carrier") && args[0] != QLatin1String("contact") &&
         args[0] != QLatin1String("server"))) {
        std::fprintf(stderr, "usage: editor-preview carrier|contact|server TYPE [SETTINGS] [--shot FILE.png]\n");
        return 2;
    }
    // With --shot nobody answers a box (offscreen nobody could see it):
    // messages go to the standard error output instead.
    if (shot.isEmpty())
        InstallWidgetMessageBoxes();
    RegisterEmbeddedEditors();
    const TEmbedEditorClass* editorClass = args[0] == QLatin1String("carrier") ? GetCarrierEditorFormClass(quint8(type))
                                           : args[0] == QLatin1String("contact")
                                               ? GetContactEditorFormClass(quint8(type))
                                               : GetServerEditorFormClass(quint8(type));
    if (!editorClass) {
        std::fprintf(stderr, "no %s editor for type %d\n", qPrintable(args[0]), type);
        return 1;
    }

    QWidget window;
    window.setWindowTitle(editorClass->ClassName);
    auto* layout = new QVBoxLayout(&window);
    TFormBaseEmbedEditor* editor = editorClass->Create(&window);
    layout->addWidget(editor);
    auto* line = new QFrame(&window);
    line->setFrameShape(QFrame::HLine);
    layout->addWidget(line);
    auto* settings = new QLineEdit(&window);
    layout->addWidget(settings);
    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    auto addButton = [&](const QString& caption, auto action) {
        auto* button = new QPushButton(caption, &window);
        buttons->addWidget(button);
        QObject::connect(button, &QPushButton::clicked, &window, action);
    };
    addButton(QStringLiteral("Get"), [&] { settings->setText(editor->GetDataAsCSVString()); });
    addButton(QStringLiteral("Put"), [&] {
        try {
            const bool accepted = editor->PutDataAsCSVString(settings->text());
            window.setWindowTitle(editorClass->ClassName +
                                  (accepted ? QString() : QStringLiteral(" (rejected items)")));
        } catch (const EEmbedEditorError& e) {
            ShowMessage(e.Message());
        }
    });
    addButton(QStringLiteral("Validate"), [&] {
        if (editor->ValidateData())
            ShowMessage(QStringLiteral("Valid"));
    });

    if (args.size() >= 3) {
        settings->setText(args[2]);
        try {
            editor->PutDataAsCSVString(args[2]);
        } catch (const EEmbedEditorError& e) {
            std::fprintf(stderr, "%s\n", qPrintable(e.Message()));
        }
    } else {
        settings->setText(editor->GetDataAsCSVString());
    }

    if (!shot.isEmpty()) {
        window.resize(window.sizeHint());
        window.show();
        QApplication::processEvents();
        return editor->grab().save(shot) ? 0 : 1;
    }
    window.show();
    return QApplication::exec();
}
