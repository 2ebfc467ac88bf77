#include "base/ui/program_art.h"

#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>

QIcon ProgramIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/nimbrel-%1.png").arg(size), QSize(size, size));
    return icon;
}

QPixmap DefaultBanner(QSize size)
{
    size = size.expandedTo(QSize(200, 40));
    QPixmap banner(size);
    QPainter p(&banner);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, size.width(), 0);
    sky.setColorAt(0, QColor(29, 63, 114));
    sky.setColorAt(1, QColor(60, 110, 170));
    p.fillRect(banner.rect(), sky);

    const int iconSide = size.height() - 12;
    p.drawPixmap(8, 6, ProgramIcon().pixmap(iconSide, iconSide));
    const QRect textArea(iconSide + 20, 0, size.width() - iconSide - 28, size.height());
    QFont name = p.font();
    name.setBold(true);
    name.setPixelSize(qMax(12, size.height() * 2 / 5));
    p.setFont(name);
    p.setPen(Qt::white);
    p.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Nimbrel"));
    const int nameWidth = p.fontMetrics().horizontalAdvance(QStringLiteral("Nimbrel "));
    QFont tag = name;
    tag.setBold(false);
    const QString line = QStringLiteral("live severe-weather reports from spotters");
    const QRect tagArea = textArea.adjusted(nameWidth + 8, 0, 0, 0);
    // The whole line or a smaller font: a banner cut off mid-word looks broken.
    for (int px = qMax(10, size.height() / 4); px >= 7; --px) {
        tag.setPixelSize(px);
        if (QFontMetrics(tag).horizontalAdvance(line) <= tagArea.width())
            break;
    }
    p.setFont(tag);
    p.setPen(QColor(255, 200, 40));
    p.drawText(tagArea, Qt::AlignLeft | Qt::AlignVCenter, line);
    return banner;
}
