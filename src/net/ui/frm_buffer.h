#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

// "Buffer Data": the maintainer's view of every piece received from the
// server, as it arrived.
class frmBuffer final : public QWidget
{
    Q_OBJECT
public:
    explicit frmBuffer(QWidget *parent = nullptr);

    // One arrival: the data and two line breaks, caret to the end.
    void appendArrival(const QString &data);

    void Command1_Click(); // "Done"
    void Command2_Click(); // "Clear"
    void Command3_Click(); // "Parse"

    QPlainTextEdit *Text1;
    QPushButton *Command1;
    QPushButton *Command2;
    QPushButton *Command3;

private:
    void trimToKept();
};
