#include "foundation/images.h"

#include "foundation/logonrole.h"

#include <QColor>
#include <QFile>
#include <QPainter>

TDataModuleImages* DataModuleImages = nullptr;

QIcon TNImageList::Icon(int index) const
{
    if (index < 0 || index >= m_icons.size())
        return QIcon();
    return m_icons.at(index);
}

int TNImageList::Add(const QIcon& icon)
{
    m_icons << icon;
    return Count() - 1;
}

namespace {
// A plain stand-in: a rounded square in a colour of the name with its first
// letter, so a missing picture still tells its images apart.
QIcon StandInIcon(const QString& name)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour = QColor::fromHsv(static_cast<int>(qHash(name) % 360), 160, 200);
    painter.setBrush(colour);
    painter.setPen(colour.darker(160));
    painter.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 6, 6);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(20);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, name.left(1).toUpper());
    painter.end();
    return QIcon(pixmap);
}

// Fills an image list with the named pictures in index order.
void Fill(TNImageList& list, std::initializer_list<const char*> names)
{
    for (const char* name : names)
        list.Add(ProgramIcon(QString::fromLatin1(name)));
}
}  // namespace

QIcon ProgramIcon(const QString& name)
{
    const QString path = QStringLiteral(":/icons/%1.svg").arg(name);
    if (QFile::exists(path)) {
        QIcon icon(path);
        // Without the SVG plug-in the icon exists but draws nothing.
        if (!icon.pixmap(QSize(16, 16)).isNull())
            return icon;
    }
    return StandInIcon(name);
}

TDataModuleImages::TDataModuleImages(QObject* owner) : QObject(owner)
{
    setObjectName(QStringLiteral("DataModuleImages"));
    Fill(imglStatusBarIcons, {"user", "administrator"});
    const auto folders = {"folder-closed", "folder-open", "group",          "group",
                          "contact",       "contact",     "database-local", "database-shared"};
    Fill(imglFoldersSmall, folders);
    Fill(imglFoldersLarge, folders);
    Fill(imglToolBar,
         {"contact", "group", "templates", "carriers", "servers", "database-local", "sentmessages", "help"});
    Fill(imglForDragging, {"contact", "folder-closed", "folder-open", "group", "folder-open"});
    DataModuleImages = this;
    // The status bar's role display takes its two icons from here.
    SetRoleIconProvider([this](int index) { return imglStatusBarIcons.Icon(index); });
}

TDataModuleImages::~TDataModuleImages()
{
    if (DataModuleImages == this) {
        DataModuleImages = nullptr;
        SetRoleIconProvider({});
    }
}
