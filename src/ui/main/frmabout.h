#pragma once
// The splash window (TFormAbout, borderless, shown during start-up for at
// least a minimum time) and the about box (TFormAboutNew, modal). Both show
// the product, version, copyright and company from the version information,
// the running system and its memory. Main thread only.

#include "ui/main/abouttexts.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

class QLabel;
class QPushButton;
class QFrame;

class TFormAboutBase : public QDialog {
    Q_OBJECT
public:
    TFormAboutBase(TAboutStyle style, QWidget* parent);

    QFrame* pnlBottom;
    QLabel* imgLogo;
    QLabel* lblProductName;
    QLabel* lblProductVersion;
    QLabel* lblLegalCopyRight;
    QLabel* lblCompanyName;
    QLabel* lblURL;
    QLabel* lblWindowsVersion;
    QLabel* lblMemory;
    QPushButton* btnClose;
    QTimer TimerSplash;

    // The address the link label opens.
    static QString ProductUrl();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class TFormAbout : public TFormAboutBase {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* parent = nullptr);
    ~TFormAbout() override;

    quint32 MinShowMs = 0;
    bool AutoClose = false;
    bool CloseRequested = false;
    QElapsedTimer StartTick;

private:
    void TimerSplashTimer();
};

class TFormAboutNew : public TFormAboutBase {
    Q_OBJECT
public:
    explicit TFormAboutNew(QWidget* parent = nullptr);
};

// The splash while it is shown (cleared by HideSplash and when it closes).
extern TFormAbout* FormAbout;

// Shows the splash for at least MinShowMs, unless the program was started by
// the automation system. It closes itself (and is freed) at the first timer
// tick after the minimum time once HideSplash was called, or once the time
// is over when AutoClose is set.
void ShowSplash(quint32 minShowMs, bool autoClose);
void HideSplash();

// The about box, modal; CaptionSuffix is appended to its caption.
void ShowAboutBox(const QString& captionSuffix);
