#include "ui/main/statusbar.h"

#include <QPainter>
#include <QStyle>

QString SendProgressText(int current, int total)
{
    if (current >= 1 && current <= total)
        return QStringLiteral("Msg %1 of %2").arg(current).arg(total);
    return QString();
}

int SendProgressFillWidth(int width, int current, int total)
{
    // A total of 0 or less would divide by zero: nothing is filled then.
    if (current <= 0 || total <= 0 || width <= 0)
        return 0;
    const qint64 fill = qint64(width) * current / total;
    return static_cast<int>(qMin<qint64>(fill, width));
}

TNStatusBar::TNStatusBar(QWidget* parent) : QStatusBar(parent)
{
    setObjectName(QStringLiteral("stbStatusBar"));
    setSizeGripEnabled(false);
    connect(this, &QStatusBar::messageChanged, this, [this] { update(); });
}

void TNStatusBar::SetPanelWidths(const QList<int>& widths)
{
    m_panels.resize(widths.size());
    for (int i = 0; i < widths.size(); ++i)
        m_panels[i].Width = widths[i];
    updateGeometry();
    update();
}

void TNStatusBar::FitPanelToText(int panel, const QString& text)
{
    if (panel < 0 || panel >= m_panels.size())
        return;
    // The text's advance with room for the panel's edges either side.
    const int width = fontMetrics().horizontalAdvance(text) + 8;
    if (width <= m_panels[panel].Width)
        return;
    m_panels[panel].Width = width;
    updateGeometry();
    update();
}

QRect TNStatusBar::PanelRect(int panel) const
{
    if (panel < 0 || panel >= m_panels.size())
        return QRect();
    int left = 0;
    for (int i = 0; i < panel; ++i)
        left += m_panels[i].Width + 2;
    return QRect(left, 2, m_panels[panel].Width, height() - 3);
}

void TNStatusBar::SetPanelText(int panel, const QString& text)
{
    if (panel < 0 || panel >= m_panels.size())
        return;
    m_panels[panel].Text = text;
    update(PanelRect(panel));
}

QString TNStatusBar::PanelText(int panel) const
{
    return panel >= 0 && panel < m_panels.size() ? m_panels[panel].Text : QString();
}

void TNStatusBar::SetPanelIcon(int panel, const QIcon& icon)
{
    if (panel < 0 || panel >= m_panels.size())
        return;
    m_panels[panel].Icon = icon;
    update(PanelRect(panel));
}

QIcon TNStatusBar::PanelIcon(int panel) const
{
    return panel >= 0 && panel < m_panels.size() ? m_panels[panel].Icon : QIcon();
}

void TNStatusBar::SetOwnerDrawn(int panel, bool ownerDrawn)
{
    if (panel >= 0 && panel < m_panels.size())
        m_panels[panel].OwnerDrawn = ownerDrawn;
}

QSize TNStatusBar::sizeHint() const
{
    int width = 0;
    for (const Panel& p : m_panels)
        width += p.Width + 2;
    return QSize(width, qMax(fontMetrics().height() + 8, 22));
}

void TNStatusBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    // A message (what a running exchange with a server does) covers the
    // panels while it stands.
    if (!currentMessage().isEmpty()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect().adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft, currentMessage());
        return;
    }
    for (int i = 0; i < m_panels.size(); ++i) {
        const QRect r = PanelRect(i);
        const Panel& p = m_panels[i];
        if (p.OwnerDrawn && m_drawPanel) {
            painter.save();
            m_drawPanel(painter, i, r);
            painter.restore();
        } else {
            int textLeft = r.left() + 3;
            if (!p.Icon.isNull()) {
                const int side = qMin(16, r.height());
                p.Icon.paint(&painter, QRect(textLeft, r.top() + (r.height() - side) / 2, side, side));
                textLeft += side + 3;
            }
            painter.setPen(palette().color(QPalette::WindowText));
            painter.drawText(QRect(textLeft, r.top(), r.right() - textLeft, r.height()),
                             Qt::AlignVCenter | Qt::AlignLeft, p.Text);
        }
        // A sunken panel edge.
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawLine(r.topLeft() - QPoint(1, 1), r.topRight() + QPoint(1, -1));
        painter.drawLine(r.topLeft() - QPoint(1, 1), r.bottomLeft() + QPoint(-1, 1));
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(r.bottomLeft() + QPoint(-1, 1), r.bottomRight() + QPoint(1, 1));
        painter.drawLine(r.topRight() + QPoint(1, -1), r.bottomRight() + QPoint(1, 1));
    }
}
