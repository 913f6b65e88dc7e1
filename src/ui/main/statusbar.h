#pragma once
// The main window's status bar: fixed-width panels, each with an optional
// icon and text, or drawn by the owner; a message (showMessage) covers them
// while it stands. Also the send-progress drawing of
// panels 1 and 2 (logic without a window, so it can be checked directly).
// Main thread only.

#include <QIcon>
#include <QList>
#include <QStatusBar>
#include <functional>

// Panel 1's text: "Msg <current> of <total>" while 1 <= current <= total,
// otherwise empty.
QString SendProgressText(int current, int total);
// Panel 2's filled width out of Width: Width * current / total while
// current > 0; never more than Width, 0 without a positive total.
int SendProgressFillWidth(int width, int current, int total);

class TNStatusBar : public QStatusBar {
    Q_OBJECT
public:
    using DrawPanel = std::function<void(QPainter& painter, int panel, const QRect& rect)>;

    explicit TNStatusBar(QWidget* parent = nullptr);

    void SetPanelWidths(const QList<int>& widths);
    // Widens the panel, never narrows it, so that the text shows whole in
    // this bar's font.
    void FitPanelToText(int panel, const QString& text);
    int PanelCount() const { return static_cast<int>(m_panels.size()); }
    // The panel's rectangle in the bar; empty for an unknown panel.
    QRect PanelRect(int panel) const;
    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const;
    void SetPanelIcon(int panel, const QIcon& icon);
    QIcon PanelIcon(int panel) const;
    // Owner-drawn panels call the handler instead of showing icon and text.
    void SetOwnerDrawn(int panel, bool ownerDrawn);
    void SetDrawPanel(DrawPanel handler) { m_drawPanel = std::move(handler); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Panel {
        int Width = 0;
        QString Text;
        QIcon Icon;
        bool OwnerDrawn = false;
    };
    QList<Panel> m_panels;
    DrawPanel m_drawPanel;
};
