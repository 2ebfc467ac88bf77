#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>

class Dialogs;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class ReportPanel;
struct ClientState;

// A phrase list's blue title, which opens the list's editor when clicked.
QLabel *PhraseTitleLabel(QWidget *parent, const QString &objectName);

// The row a key picks in a phrase list, or -1: Enter and Space take the
// current row, the arrows and Home and End move to a row and pick it, as a
// click would. Every phrase list takes the keyboard this way.
int PhraseKeyRow(int current, int count, int key);

// The editor of one phrase list: a title, and phrases that can only be
// appended or removed.
class frmEditList final : public QDialog
{
    Q_OBJECT
public:
    explicit frmEditList(QWidget *parent = nullptr);

    void Command1_Click(); // Add

    QLineEdit *txtTitle;
    QListWidget *List1;
    QLineEdit *Text1;
    QPushButton *Command1;
    QPushButton *Command2;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// "Lists": the five phrase lists beyond the main window's two.
class frmLists final : public QWidget
{
    Q_OBJECT
public:
    explicit frmLists(QWidget *parent = nullptr);

    // Index 0..4 for List1..List5.
    std::array<QLabel *, 5> titles{};
    std::array<QListWidget *, 5> lists{};
    QPushButton *Command1;

signals:
    void phraseClicked(const QString &phrase, Qt::KeyboardModifiers modifiers);
    void titleClicked(int listNumber); // 1..5

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// The seven phrase lists of the reports flow: showing the Lists window,
// editing a list and saving its file.
class PhraseLists final : public QObject
{
    Q_OBJECT
public:
    PhraseLists(ClientState &state, Dialogs &dialogs, QObject *parent = nullptr);
    ~PhraseLists() override;

    void attach(ReportPanel *panel, QWidget *window);

    // Shows the Lists window, creating it on first use.
    void ShowLists();
    frmLists *listsWindow() const { return m_lists; }
    // The title click of list n (1..7): edit, show and save it.
    void EditList(int n);

    // Runs the editor modally; tests replace it so nothing waits on a user.
    std::function<void(frmEditList &)> runEditor;

private:
    void ensureLists();
    void refresh(int n);

    ClientState &m_state;
    Dialogs &m_dialogs;
    QPointer<ReportPanel> m_panel;
    QPointer<QWidget> m_window;
    QPointer<frmLists> m_lists;
};
