#pragma once

#include <QDialog>
#include <QListWidgetItem>
#include <QString>
#include <QStringList>

class Dialogs;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// A list row that sorts as people read: "bob" between "AL" and "TROLL",
// not after every capitalised name.
class CaselessItem final : public QListWidgetItem
{
public:
    using QListWidgetItem::QListWidgetItem;
    bool operator<(const QListWidgetItem &other) const override
    {
        const int c = text().compare(other.text(), Qt::CaseInsensitive);
        return c != 0 ? c < 0 : text() < other.text();
    }
};

// A small modal list of typed entries: an explanation, the list, a box that
// takes an entry in capitals and without the protocol's delimiters, "&Add"
// and "&Done". A double click removes an entry. Nothing leaves the window
// until its owner stores the entries.
class ListEditorWindow : public QDialog
{
    Q_OBJECT
public:
    struct Rules
    {
        QString objectName;
        QString caption;
        QString explanation;
        int maxEntries = 0;
        QString fullMessage; // shown when an entry would pass maxEntries
        bool sorted = false; // kept in alphabetical order
    };

    void Command2_Click(); // Add
    // "&Done" hides the window.
    virtual void Command1_Click();
    QStringList entries() const;

    QLabel *Label1;
    QListWidget *List1;
    QLineEdit *Text1;
    QPushButton *Command2;
    QPushButton *Command1;

protected:
    ListEditorWindow(const Rules &rules, const QStringList &entries, Dialogs &dialogs, QWidget *parent);
    // Shows a save's failure notice (empty: nothing to say).
    void tellUnsaved(const QString &notice);

private:
    void addEntry(const QString &text);
    Dialogs &m_dialogs;
    int m_maxEntries;
    QString m_fullMessage;
};
