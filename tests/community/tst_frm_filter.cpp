// ctest-label: ui
#include "base/client_state.h"
#include "base/list_files.h"
#include "community/ui/frm_filter.h"
#include "fakes.h"
#include "reports/ui/frm_add_counties.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

// The two list windows over one state; "filter" or "counties".
QStringList &stored(const QString &kind, ClientState &state)
{
    return kind == u"filter"_s ? state.filterList : state.additionalCounties;
}

std::unique_ptr<ListEditorWindow> open(const QString &kind, ClientState &state, Dialogs &dialogs)
{
    if (kind == u"filter"_s)
        return std::make_unique<frmFilter>(state, dialogs);
    return std::make_unique<frmAddCounties>(state, dialogs);
}

} // namespace

class TstFrmFilter : public QObject
{
    Q_OBJECT
private slots:
    void addRemoveStore_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("initial");
        QTest::addColumn<QByteArray>("file");
        // Only the filter keeps its names in alphabetical order, whatever their
        // case; both keep duplicates and trailing spaces as typed.
        QTest::newRow("filter") << u"filter"_s << QStringList{u"ZED"_s, u"AL"_s, u"bob"_s}
                                << QByteArray("AL\r\nAL\r\nbob\r\nTROLL \r\n");
        QTest::newRow("counties") << u"counties"_s << QStringList{u"ZED"_s} << QByteArray("TROLL \r\nAL\r\n");
    }
    void addRemoveStore()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, initial);
        QTemporaryDir dir;
        ClientState state;
        state.dataDir = dir.path();
        stored(kind, state) = initial;
        FakeDialogs dialogs;
        const auto window = open(kind, state, dialogs);
        ListEditorWindow &w = *window;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::keyClicks(w.Text1, u"tr\"o:l|l^ "_s);
        QCOMPARE(w.Text1->text(), u"TROLL "_s);
        QTest::keyClick(w.Text1, Qt::Key_Return);
        QCOMPARE(w.Text1->text(), QString());
        w.Text1->setText(u"   "_s);
        QTest::keyClick(w.Text1, Qt::Key_Return);
        w.Text1->setText(u"AL"_s);
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        emit w.List1->itemDoubleClicked(w.List1->findItems(u"ZED"_s, Qt::MatchExactly).first());
        QCOMPARE(w.List1->count(), initial.size() + 1);
        QCOMPARE(stored(kind, state), initial);
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        QCOMPARE(w.result(), int(QDialog::Accepted));
        // The menu command stores the counties once Done has closed the window.
        if (auto *counties = qobject_cast<frmAddCounties *>(&w))
            QVERIFY(counties->StoreEntries());
        QCOMPARE(stored(kind, state), w.entries());
        QFile f(state.filePath(kind == u"filter"_s ? FilterListFileName : AddCountiesFileName));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QTEST(f.readAll(), "file");
    }

    // A full list refuses one more with a box; closing other than by Done discards the edits.
    void limitAndDiscard_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("limit");
        QTest::newRow("filter") << u"filter"_s << 2000;
        QTest::newRow("counties") << u"counties"_s << 1000;
    }
    void limitAndDiscard()
    {
        QFETCH(QString, kind);
        QFETCH(int, limit);
        QTemporaryDir dir;
        ClientState state;
        state.dataDir = dir.path();
        for (int i = 0; i < limit; ++i)
            stored(kind, state) << u"MD C%1"_s.arg(i);
        const QStringList before = stored(kind, state);
        FakeDialogs dialogs;
        const auto w = open(kind, state, dialogs);
        w->Text1->setText(u"MD ONE MORE"_s);
        w->Command2_Click();
        QCOMPARE(w->List1->count(), limit);
        QCOMPARE(w->Text1->text(), u"MD ONE MORE"_s);
        QCOMPARE(dialogs.shown.size(), 1);
        emit w->List1->itemDoubleClicked(w->List1->item(0));
        w->Command2_Click();
        QCOMPARE(w->List1->count(), limit);
        w->reject();
        QCOMPARE(stored(kind, state), before);
        QVERIFY(!QFile::exists(state.filePath(FilterListFileName)) &&
                !QFile::exists(state.filePath(AddCountiesFileName)));
    }
};

QTEST_MAIN(TstFrmFilter)
#include "tst_frm_filter.moc"
