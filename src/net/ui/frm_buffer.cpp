#include "net/ui/frm_buffer.h"

#include "base/ui/scale_window.h"
#include "net/raw_view.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

frmBuffer::frmBuffer(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmBuffer"));
    setWindowTitle(QStringLiteral("Buffer Data"));

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    // Server text is never interpreted, and the undo history of a flood
    // would hold every arrival a second time.
    Text1->setUndoRedoEnabled(false);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    Command1 = new QPushButton(QStringLiteral("Done"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(QStringLiteral("Clear"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command3 = new QPushButton(QStringLiteral("Parse"), this);
    Command3->setObjectName(QStringLiteral("Command3"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    buttons->addWidget(Command3);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Text1, 1);
    layout->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, &frmBuffer::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmBuffer::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmBuffer::Command3_Click);

    ScaleWindow(this, FormScaling::WindowGroup::Other, QSize(640, 480));
}

void frmBuffer::appendArrival(const QString &data)
{
    QString piece = data;
    piece += RawView::Separator;
    if (piece.size() >= RawView::KeptCharacters) {
        Text1->clear();
        piece = piece.right(RawView::KeptCharacters);
    }
    Text1->moveCursor(QTextCursor::End);
    Text1->insertPlainText(piece);
    trimToKept();
    Text1->moveCursor(QTextCursor::End);
}

void frmBuffer::Command1_Click()
{
    hide();
}

void frmBuffer::Command2_Click()
{
    Text1->clear();
}

void frmBuffer::Command3_Click()
{
    Text1->setPlainText(ParseRawView(Text1->toPlainText()));
    trimToKept();
    Text1->moveCursor(QTextCursor::End);
}

void frmBuffer::trimToKept()
{
    // The document counts one more character than its text (the final
    // paragraph end).
    const qsizetype excess = Text1->document()->characterCount() - 1 - RawView::KeptCharacters;
    if (excess <= 0)
        return;
    QTextCursor cursor(Text1->document());
    cursor.setPosition(int(excess), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}
