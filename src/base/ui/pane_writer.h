#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QPlainTextEdit;
class QTimer;

// Appends a line after an empty line and drops characters from the front so
// the pane keeps its last `cap` characters, without rebuilding its text.
void AppendCapped(QPlainTextEdit *pane, const QString &line, int cap);

// Lines for one pane, written together on the next pass of the event loop:
// a pane lays out every insertion at once, so a burst of thousands of
// messages becomes one insertion, and what a burst pushes out at the front
// is never laid out at all. The pane ends up with the same text.
class PaneWriter final : public QObject
{
public:
    explicit PaneWriter(QPlainTextEdit *pane, int cap);
    void append(const QString &line);
    void flush();

private:
    QPlainTextEdit *m_pane;
    int m_cap;
    QStringList m_pending;
    qsizetype m_pendingChars = 0;
    QTimer *m_timer;
};
