#include "base/status_line.h"

StatusLine::StatusLine(QObject *parent) : QObject(parent)
{
    m_flash.setObjectName(QStringLiteral("tmrStatusFlash"));
    m_flash.setSingleShot(true);
    m_flash.setInterval(FlashMs);
    m_flash.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_flash, &QTimer::timeout, this, &StatusLine::endFlash);
}

void StatusLine::show(const QString &text, StatusStyle style)
{
    m_text = text;
    if (style == StatusStyle::Red)
        m_back = Rgb{255, 0, 0};
    else if (style == StatusStyle::ButtonFace)
        m_back.reset();
    emit changed();
}

void StatusLine::showHeld(const QString &text)
{
    m_text = text;
    emit heldLineShown();
    emit changed();
}

void StatusLine::flash(const Rgb &fore, const Rgb &back)
{
    m_fore = fore;
    m_back = back;
    m_flash.start();
    emit changed();
}

void StatusLine::endFlash()
{
    m_flash.stop();
    m_fore.reset();
    m_back.reset();
    emit changed();
    emit flashEnded();
}
