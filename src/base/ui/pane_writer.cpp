#include "base/ui/pane_writer.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>

using namespace Qt::StringLiterals;

void AppendCapped(QPlainTextEdit *pane, const QString &line, int cap)
{
    QTextCursor end(pane->document());
    end.movePosition(QTextCursor::End);
    // The pane's lines end in one break, so a CR LF counts as one character.
    QString text = line;
    text.replace(u"\r\n"_s, u"\n"_s);
    end.insertText(pane->document()->isEmpty() ? text : u"\n\n"_s + text);
    // characterCount includes the document's closing paragraph mark.
    const int excess = pane->document()->characterCount() - 1 - cap;
    if (excess > 0) {
        QTextCursor front(pane->document());
        front.setPosition(excess, QTextCursor::KeepAnchor);
        front.removeSelectedText();
    }
    pane->moveCursor(QTextCursor::End);
}

PaneWriter::PaneWriter(QPlainTextEdit *pane, int cap)
    : QObject(pane), m_pane(pane), m_cap(cap), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(0);
    connect(m_timer, &QTimer::timeout, this, &PaneWriter::flush);
}

void PaneWriter::append(const QString &line)
{
    m_pending << line;
    m_pendingChars += line.size() + 2;
    // Lines pushed out by later ones in the same burst need not be kept.
    while (m_pending.size() > 1 && m_pendingChars - m_pending.first().size() - 2 > 2 * qsizetype(m_cap)) {
        m_pendingChars -= m_pending.first().size() + 2;
        m_pending.removeFirst();
    }
    m_timer->start();
}

void PaneWriter::flush()
{
    m_timer->stop();
    if (m_pending.isEmpty())
        return;
    QString joined = m_pending.join(u"\n\n"_s);
    m_pending.clear();
    m_pendingChars = 0;
    joined.replace(u"\r\n"_s, u"\n"_s);
    if (joined.size() >= m_cap) {
        // Everything the pane held goes out at the front.
        m_pane->setPlainText(joined.right(m_cap));
        m_pane->moveCursor(QTextCursor::End);
    } else {
        AppendCapped(m_pane, joined, m_cap);
    }
}
