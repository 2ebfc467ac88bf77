// ctest-label: ui
#include "app/client_state.h"
#include "app/list_files.h"
#include "community/ui/frm_filter.h"
#include "fakes.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

class TstFrmFilter : public QObject
{
    Q_OBJECT
private slots:
    void addRemoveSave();
    void closingOtherwiseDiscards();
    void limit();
};

void TstFrmFilter::addRemoveSave()
{
    QTemporaryDir dir;
    ClientState state;
    state.dataDir = dir.path();
    state.filterList = {u"ZED"_s, u"AL"_s};
    FakeDialogs dialogs;
    frmFilter w(state, dialogs);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.windowTitle(), u"Filter Reports and Messages"_s);
    QVERIFY(w.Label1->text().startsWith(u"Use this form to block reports"_s));
    QCOMPARE(w.List1->item(0)->text(), u"AL"_s);
    QTest::keyClicks(w.Text1, u"tr\"o:l|l^"_s);
    QCOMPARE(w.Text1->text(), u"TROLL"_s);
    QTest::keyClick(w.Text1, Qt::Key_Return);
    QCOMPARE(w.Text1->text(), QString());
    w.Text1->setText(u"   "_s);
    QTest::keyClick(w.Text1, Qt::Key_Return);
    w.Text1->setText(u"AL"_s); // duplicates are not refused
    QTest::mouseClick(w.Command2, Qt::LeftButton);
    QCOMPARE(w.List1->count(), 4);
    emit w.List1->itemDoubleClicked(w.List1->item(3));
    QCOMPARE(w.List1->count(), 3);
    QCOMPARE(state.filterList, (QStringList{u"ZED"_s, u"AL"_s}));
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    QCOMPARE(state.filterList, (QStringList{u"AL"_s, u"AL"_s, u"TROLL"_s}));
    QFile f(state.filePath(FilterListFileName));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("AL\r\nAL\r\nTROLL\r\n"));
}

void TstFrmFilter::closingOtherwiseDiscards()
{
    QTemporaryDir dir;
    ClientState state;
    state.dataDir = dir.path();
    FakeDialogs dialogs;
    {
        frmFilter w(state, dialogs);
        w.Text1->setText(u"X"_s);
        w.Command2_Click();
        w.reject();
    }
    QVERIFY(state.filterList.isEmpty());
    QVERIFY(!QFile::exists(state.filePath(FilterListFileName)));
}

void TstFrmFilter::limit()
{
    ClientState state;
    for (int i = 0; i < 2000; ++i)
        state.filterList << u"U%1"_s.arg(i);
    FakeDialogs dialogs;
    frmFilter w(state, dialogs);
    w.Text1->setText(u"ONE MORE"_s);
    w.Command2_Click();
    QCOMPARE(w.List1->count(), 2000);
    QCOMPARE(dialogs.shown.size(), 1);
    QVERIFY(dialogs.lastText().contains(u"2,000"_s));
}

QTEST_MAIN(TstFrmFilter)
#include "tst_frm_filter.moc"
