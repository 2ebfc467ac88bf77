#include "community/ui/quick_chat_panel.h"
#include "base/content_filters.h"
#include "community/ui/frm_msg.h"

#include <QKeyEvent>

#include "base/ui/pane_writer.h"
#include "base/ui/program_art.h"
#include "base/ui/typing_filter.h"
#include "platform/shell.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// The received box says "chat" where the label and the send box say "Chat",
// which is how a screen reader tells them apart.
QString QuickChatTip(const QString &chat)
{
    return QStringLiteral("Quick ") + chat +
           QStringLiteral(" messages are displayed to all users on main form.  No alerts are fired.  Press "
                          "Ctrl M for more message features!");
}
} // namespace

QuickChatPanel::QuickChatPanel(Shell &shell, AlertSounds sounds, QWidget *parent)
    : QWidget(parent), m_shell(shell), m_sounds(sounds)
{
    setObjectName(QStringLiteral("QuickChatPanel"));
    m_label = new QLabel(QStringLiteral("Quick Chat"), this);
    m_label->setObjectName(QStringLiteral("QCLabel"));
    m_label->setToolTip(QuickChatTip(QStringLiteral("Chat")));
    m_audio = new QCheckBox(QStringLiteral("Play quick chat audio alert"), this);
    m_audio->setObjectName(QStringLiteral("QCCheck"));
    m_audio->setToolTip(
        QStringLiteral("Audio alerts are played as configured in Settings > Alert and Display Options."));
    m_received = new QPlainTextEdit(this);
    m_received->setObjectName(QStringLiteral("QCRec"));
    m_received->setReadOnly(true);
    m_received->setToolTip(QuickChatTip(QStringLiteral("chat")));
    m_writer = new PaneWriter(m_received, Messages::PaneCap);
    m_send = new QPlainTextEdit(this);
    m_send->setObjectName(QStringLiteral("txtQCSend"));
    m_send->setPlainText(QStringLiteral("Type quick chat text here and press enter to send!\r\n"));
    m_send->setToolTip(QuickChatTip(QStringLiteral("Chat")));
    m_send->setMaximumHeight(m_send->fontMetrics().lineSpacing() * 2 + 12);
    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("ImageAdd"));
    m_image->setTextFormat(Qt::PlainText);
    m_image->setAlignment(Qt::AlignCenter);
    m_image->setCursor(Qt::PointingHandCursor);
    m_image->setMinimumHeight(60);
    m_image->installEventFilter(this);
    m_send->installEventFilter(this);
    InstallCapitalKeys(m_send, CapitalKeys::First);
    // Until the server's picture arrives the area shows our own banner, not a blank band.
    m_image->setPixmap(DefaultBanner(QSize(480, 60)));

    m_timer3 = new QTimer(this);
    m_timer3->setObjectName(QStringLiteral("Timer3"));
    m_timer3->setInterval(20'000);
    m_timer3->setTimerType(Qt::VeryCoarseTimer);
    connect(m_timer3, &QTimer::timeout, this, &QuickChatPanel::Timer3_Timer);

    auto *top = new QHBoxLayout;
    top->addWidget(m_label);
    top->addStretch();
    top->addWidget(m_audio);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(m_received, 1);
    layout->addWidget(m_send);
    layout->addWidget(m_image, 1);
    // All four start hidden; ImageAdd holds their place until Timer3's first tick.
    setQuickChatShown(false);
}

void QuickChatPanel::setQuickChatShown(bool shown)
{
    for (QWidget *w : std::initializer_list<QWidget *>{m_label, m_received, m_send, m_audio})
        w->setVisible(shown);
}

bool QuickChatPanel::quickChatShown() const
{
    return !m_send->isHidden();
}

void QuickChatPanel::ShowAnnouncement(const QString &imagePath, const QString &tooltip, const QString &link)
{
    if (!imagePath.isEmpty()) {
        QPixmap pic(imagePath);
        if (!pic.isNull())
            m_image->setPixmap(pic.scaled(m_image->size().expandedTo(QSize(1, 60)), Qt::KeepAspectRatio,
                                          Qt::SmoothTransformation));
    }
    // Tool tips guess rich text; escaping inside a rich-text wrapper keeps
    // the server's text plain.
    m_image->setToolTip(tooltip.isEmpty() ? QString()
                                          : QStringLiteral("<p>%1</p>").arg(tooltip.toHtmlEscaped()));
    m_announcementLink = link;
    setQuickChatShown(false);
    m_image->show();
    m_timer3->start();
}

void QuickChatPanel::HideAnnouncement()
{
    setQuickChatShown(true);
    m_image->hide();
}

void QuickChatPanel::Timer3_Timer()
{
    m_timer3->stop();
    HideAnnouncement();
}

void QuickChatPanel::startAnnouncementTimer()
{
    m_timer3->start();
}

void QuickChatPanel::switchPlace()
{
    if (quickChatShown()) {
        setQuickChatShown(false);
        m_image->show();
        m_timer3->start(); // quick chat returns in twenty seconds
    } else {
        m_timer3->stop();
        HideAnnouncement();
    }
}

bool QuickChatPanel::sendBoxEmpty() const
{
    return m_send->toPlainText().isEmpty();
}

void QuickChatPanel::clearSendBox()
{
    m_send->clear();
}

void QuickChatPanel::ImageAdd_Click()
{
    if (m_announcementLink.isEmpty())
        return;
    const QUrl url(m_announcementLink);
    // The link came from the network: only web pages are opened.
    if (IsSafeNetworkUrl(url))
        m_shell.openUrl(url);
}

bool QuickChatPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_image && event->type() == QEvent::MouseButtonRelease) {
        ImageAdd_Click();
        return true;
    }
    if (watched == m_send && event->type() == QEvent::FocusIn &&
        m_send->toPlainText() == QStringLiteral("Type quick chat text here and press enter to send!\n"))
        m_send->clear();
    if (watched == m_send && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const QString text = m_send->toPlainText();
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (!text.trimmed().isEmpty())
                emit sendRequested(text);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void QuickChatPanel::setSendText(const QString &text)
{
    m_send->setPlainText(text);
}

void QuickChatPanel::AddQuickChatLine(const QString &line)
{
    if (!m_highlighted) {
        m_highlighted = true;
        QPalette cyan = m_received->palette();
        cyan.setColor(QPalette::Base, QColor(0, 255, 255));
        m_received->setPalette(cyan);
    }
    m_writer->append(line);
    if (m_audio->isChecked())
        m_sounds.PlayQuickChatSound();
}

void QuickChatPanel::EndHighlight()
{
    if (!m_highlighted)
        return;
    m_highlighted = false;
    m_received->setPalette(palette());
}
