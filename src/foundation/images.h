#pragma once
// The program's shared image lists (one object, DataModuleImages, made at
// start-up and owned by the application).
//
//   imglStatusBarIcons  16 px: 0 user role, 1 administrator role
//   imglFoldersSmall    16 px, imglFoldersLarge 32 px, the folder tree's
//                       images: 0 closed folder, 1 open folder, 2 and 3 group,
//                       4 and 5 contact, 6 local address book, 7 other
//                       (shared) address book
//   imglToolBar         24 px, the main tool bar: see TToolBarImage
//   imglForDragging     32 px, the folder tree's drag images: 0 one contact,
//                       1 one folder, 2 several folders, 3 contacts and
//                       groups, 4 folders with contacts or groups
//
// The pictures are this project's own SVG files (":/icons/<name>.svg"); when
// the SVG image plug-in is missing, a plain built-in picture stands in, so an
// index never yields an empty image. Main thread only.

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QSize>

class TNImageList {
public:
    explicit TNImageList(QSize size) : m_size(size) {}
    QSize IconSize() const { return m_size; }
    int Count() const { return static_cast<int>(m_icons.size()); }
    // An empty icon for an index out of range.
    QIcon Icon(int index) const;
    QPixmap Pixmap(int index) const { return Icon(index).pixmap(m_size); }
    int Add(const QIcon& icon);

private:
    QSize m_size;
    QList<QIcon> m_icons;
};

enum TToolBarImage : int {
    tbiContacts = 0,
    tbiGroups = 1,
    tbiTemplates = 2,
    tbiCarriers = 3,
    tbiServers = 4,
    tbiDatabases = 5,
    tbiSentMessages = 6,
    tbiHelp = 7,
};

// One of the program's icons by its file name without ".svg" ("folder-open",
// "logo"...); a built-in stand-in when the file cannot be drawn.
QIcon ProgramIcon(const QString& name);

class TDataModuleImages : public QObject {
    Q_OBJECT
public:
    explicit TDataModuleImages(QObject* owner = nullptr);
    ~TDataModuleImages() override;

    TNImageList imglStatusBarIcons{QSize(16, 16)};
    TNImageList imglFoldersSmall{QSize(16, 16)};
    TNImageList imglFoldersLarge{QSize(32, 32)};
    TNImageList imglToolBar{QSize(24, 24)};
    TNImageList imglForDragging{QSize(32, 32)};
};

// Set while the image module exists (made by the start-up sequence).
extern TDataModuleImages* DataModuleImages;
