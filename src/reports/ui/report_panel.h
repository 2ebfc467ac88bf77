#pragma once

#include <QWidget>

class QCheckBox;
class QFont;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeView;
class ReportComposer;
class ReportListModel;
struct ClientState;

// The report list with its total, the report box with Send, and the main
// window's two phrase lists.
class ReportPanel final : public QWidget
{
    Q_OBJECT
public:
    ReportPanel(ReportListModel &model, ReportComposer &composer, ClientState &state,
                QWidget *parent = nullptr);

    void cmdSend_Click();
    // A routine formatted report: sent whole, however long its layout, and
    // never as a severe one, whatever the severe mark held.
    void SendRoutine(const QString &text);
    // A phrase picked from lst1 or lst2 with the keyboard modifiers held at
    // the click: Ctrl alone chains it to the text already in the box.
    void PhraseClicked(QListWidget *list, int row, Qt::KeyboardModifiers modifiers);
    // A phrase from any phrase list, the main window's or the Lists window's.
    void PickPhrase(const QString &phrase, Qt::KeyboardModifiers modifiers);
    // A column title was clicked: one sort by it, the order alternating on
    // every click whichever column it is.
    void SortByColumn(int column);
    // The widths of the report list's columns in twips.
    QList<int> ColumnWidthsTwips() const;
    // Escape in the main window: empties the report box and clears the
    // severe mark. Returns whether the box was empty already.
    bool EscapePressed();
    // Fills Lbl1/lst1 and Lbl2/lst2 from the phrase lists List6 and List7.
    void ReloadPhraseLists();
    // Column widths in twips, converted for this screen.
    void SetColumnWidthsTwips(const QList<int> &twips);
    // Puts a panel right under the report list, which gives it the lower
    // part of its height while it is shown and has it back when hidden.
    void PlaceUnderList(QWidget *panel);
    void focusReportBox();
    // The two phrase lists with their titles and More Lists, shown or hidden
    // as the place they share with the graphic switches.
    void showPhraseLists(bool shown);
    void applyListFont(const QFont &font);

    QTreeView *ListView1;
    QLabel *lblListTotal;
    QLabel *lblReport;
    QLineEdit *txtData;
    QCheckBox *chkSevere;
    QPushButton *cmdSend;
    QPushButton *cmdGetLast;
    QPushButton *cmdClear;
    QPushButton *cmdMoreLists;
    QLabel *Lbl1;
    QListWidget *lst1;
    QLabel *Lbl2;
    QListWidget *lst2;

signals:
    // Send was pressed before the server accepted the sign-on.
    void signOnRequested();
    // The blue title of lst1 (6) or lst2 (7) was clicked.
    void phraseTitleClicked(int listNumber);
    void moreListsRequested();
    void historicalDataRequested();
    // A row was clicked with no Shift, Ctrl or Alt held.
    void reportClicked(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Text the program puts in the box is kept whole: the box's limit is
    // for typing, and comes back when the box is emptied.
    void setBoxText(const QString &text);

    ReportListModel &m_model;
    ReportComposer &m_composer;
    ClientState &m_state;
    bool m_sortAscending = false; // the order flag all columns share
};
