#pragma once
// TPopupWin: the small borderless topmost window that shows a result or a
// server's text. It appears just outside the work area at the edge that
// PopupWinPos names, slides in, waits PopupWinDelay seconds (0: until it is
// clicked), slides out and frees itself. A click anywhere on it starts the
// slide-out. Several can be open at once, each at the same place.
//
// Every sliding popup is moved by one shared timer, to the place its elapsed
// time gives (popupgeometry.h): however many are open, each reaches its final
// place inside the work area in the same time and the main thread does one
// round of moves per tick. A popup keeps its own idea of its place and puts
// the window back there, whatever the window system did with it meanwhile.
// Main thread only.

#include <QElapsedTimer>
#include <QImage>
#include <QList>
#include <QString>
#include <QWidget>

class QLabel;
class QTimer;

// Popup kinds: 0 error, 1 success, 2 message; other values show as success.
enum TPopupKind : quint8 { pkError = 0, pkSuccess = 1, pkMessage = 2 };

class TPopupWin : public QWidget {
    Q_OBJECT
public:
    TPopupWin();
    ~TPopupWin() override;

    QString Text() const { return m_text; }
    void SetText(const QString& text);
    quint8 Kind() const { return m_kind; }
    void SetKind(quint8 kind);
    quint8 Position() const { return m_position; }
    void SetPosition(quint8 position) { m_position = position; }

    // Grows the window for a long text, shows it without activating it just
    // outside the work area and starts the slide-in with the given delay.
    void Popup(int delaySeconds);
    // Stops the slide-in or the wait and starts the slide-out.
    void StartSlideOut();

    bool SlidingIn() const;
    bool Waiting() const;
    bool SlidingOut() const;
    // How long the popup waits once it is in place, in milliseconds.
    int DelayMs() const;
    quint32 Color1() const { return m_color1; }
    quint32 Color2() const { return m_color2; }
    const QImage& Background() const { return m_bitmap; }

    // One tick of the shared slide timer: the place the elapsed time gives.
    // True while the popup still needs ticks (sliding, or settling in place).
    bool Animate();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    enum class TPhase { Made, SlidingIn, Waiting, SlidingOut, Closed };
    void MoveTo(const QPoint& place);
    // A modal dialog blocks the input of every window that is not its own:
    // a popup shown while one is open belongs to the dialog until it closes
    // (so it can be clicked away), then stands alone again.
    void FollowModalDialog();
    void LeaveDialog();
    void PaintBackground();

    QString m_text;
    QImage m_bitmap;
    quint8 m_kind = pkSuccess;
    quint32 m_color1 = 0xFFFFFF;
    quint32 m_color2 = 0xF0E080;
    quint8 m_position = 3;
    int m_step = 0;
    bool m_painting = false;
    bool m_stayUntilClicked = false;
    TPhase m_phase = TPhase::Made;
    QElapsedTimer m_clock;  // since the current slide began
    QPoint m_start;         // where the slide-in began
    QPoint m_final;         // where it ends
    QPoint m_place;         // where the popup is meant to be now
    QPoint m_outFrom;       // where the slide-out began
    int m_outStep = 0;      // the step count the slide-out started from
    QTimer* m_delayTimer = nullptr;
    QLabel* m_lblMsg = nullptr;
    QLabel* m_lblIcon = nullptr;
    QLabel* m_imgWarning = nullptr;
    QLabel* m_imgError = nullptr;
    QLabel* m_imgInfo = nullptr;
};

// Shows one popup with the current PopupWinPos and PopupWinDelay.
TPopupWin* ShowPopupWin(const QString& text, quint8 kind);
// The popups open now, oldest first.
const QList<TPopupWin*>& OpenPopupWins();
// Frees every open popup, last to first (shut-down).
void FreeAllPopupWins();
// The text as the label shows it: each CR (or CR LF) starts a new line.
QString PopupDisplayText(const QString& text);
