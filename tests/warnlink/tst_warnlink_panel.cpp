// ctest-label: ui
#include "client_fixture.h"
#include "warnlink/ui/warnlink_subsystem.h"

#include <QtTest>
#include <QtWidgets>

class TstWarnlinkPanel : public QObject
{
    Q_OBJECT
private slots:
    // The input box's answer, and what is started and kept.
    void startWarningProgram_data()
    {
        QTest::addColumn<int>("answer"); // 0 cancel, 1 an existing file, 2 a missing one
        QTest::addColumn<bool>("started");
        QTest::addColumn<QString>("box");
        QTest::newRow("cancelled") << 0 << false << QString();
        QTest::newRow("found") << 1 << true << QString();
        QTest::newRow("missing") << 2 << false << u"Unable to find Tavrel."_s;
    }
    void startWarningProgram()
    {
        QFETCH(int, answer);
        ClientFixture w;
        WarnLinkSubsystem &link = w.client->warnLink();
        const QString before = w.state.settings.WarnProgramPath;
        const QString program = w.dir.filePath(u"tavrel"_s);
        QVERIFY(TestFiles::write(program, {}));
        if (answer == 1)
            w.dialogs.inputs.enqueue(program);
        else if (answer == 2)
            w.dialogs.inputs.enqueue(w.dir.filePath(u"nowhere"_s));
        link.StartWarningProgram();
        QCOMPARE(w.dialogs.shown.first().title, u"Can't Find Tavrel!"_s);
        QVERIFY(w.dialogs.shown.first().text.contains(u"\r\n\r\nIf Tavrel is installed"));
        QTEST(!w.shell.started.isEmpty(), "started");
        QTEST(w.dialogs.shown.size() > 1 ? w.dialogs.shown.last().title : QString(), "box");
        QCOMPARE(w.state.settings.WarnProgramPath, answer == 1 ? program : before);
    }

    // Only web pages from the list are opened; the menu turns the panel off.
    // The warnings sit under the report list, as wide, and the report list
    // has its room back when the link is off.
    void clickAndMenu()
    {
        ClientFixture w;
        WarnLinkSubsystem &link = w.client->warnLink();
        w.form->resize(1000, 700);
        w.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form));
        auto at = [&w](const char *name) {
            const auto *x = w.form->findChild<QWidget *>(QString::fromLatin1(name));
            return QRect(x->mapTo(w.form, QPoint()), x->size());
        };
        const int full = at("ListView1").height();
        w.state.settings.WarnLinkEnabled = 1;
        link.ShowWarningsPanel();
        QVERIFY(!link.panel()->isHidden());
        QTRY_VERIFY(at("ListView1").height() < full);
        QVERIFY(at("ListView1").bottom() < at("lblTavrel").top());
        QVERIFY(at("lblTavrel").bottom() < at("ListView2").top());
        QCOMPARE(at("ListView2").width(), at("ListView1").width());
        for (const QString &url : {u"file:///etc/passwd"_s, u"https://w.example/a"_s}) {
            WarningRow r;
            r.cells = {u"TX"_s, u"Tornado"_s, u"t"_s, u"1"_s, u"2"_s, url};
            link.model().InsertAtTop(r);
        }
        link.ListView2_ItemClick(link.model().index(0, 0));
        link.ListView2_ItemClick(link.model().index(1, 2));
        QCOMPARE(w.shell.opened, QList<QUrl>{QUrl(u"https://w.example/a"_s)});

        w.form->findChild<QAction *>(u"mnuTavrel"_s)->trigger();
        QCOMPARE(w.state.settings.WarnLinkEnabled, 0);
        QVERIFY(link.panel()->isHidden());
        QTRY_COMPARE(at("ListView1").height(), full);
        QVERIFY(!link.listener().isListening());
        QCOMPARE(link.model().rowCount(), 2);
    }
};

QTEST_MAIN(TstWarnlinkPanel)
#include "tst_warnlink_panel.moc"
