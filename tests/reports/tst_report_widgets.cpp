// ctest-label: ui
#include "client_fixture.h"
#include "community/ui/community_subsystem.h"
#include "community/ui/frm_msg.h"
#include "composer_fixture.h"
#include "reports/report_list_model.h"
#include "reports/ui/frm_options.h"
#include "reports/ui/phrase_windows.h"
#include "reports/ui/report_tool_windows.h"
#include "scripted_server.h"

#include <QtTest>
#include <QtWidgets>

// The report panel alone, over a composer that records what it sends.
struct Panel : ComposerFixture
{
    ReportListModel model;
    ReportPanel panel{model, composer, state};

    Panel()
    {
        panel.show();
        panel.activateWindow();
    }
    QByteArray lastWire() const
    {
        return sender.sent.isEmpty() ? QByteArray() : WireCodec::encode(sender.sent.last());
    }
};

struct AddressServer // listening before the window is built with its port
{
    HttpResponder http;
    AddressServer() { http.listen(); }
};
// A client in a real window, signed on to a scripted server, so that what
// the windows send can be read back.
struct Connected : AddressServer, ClientFixture
{
    ScriptedServer server;
    Connected() : ClientFixture(u"CARL"_s, http.port())
    {
        server.listen();
        http.setAddressFile("127.0.0.1:" + QByteArray::number(server.port()));
        form->resize(1000, 700);
        form->show();
        link->Connect();
    }
    bool ready()
    {
        return QTest::qWaitFor([this] { return link->state() == LinkState::Connected; }, 5000);
    }
    ReportToolWindows &tools() { return reports->tools(); }
    void clickRow(int row, Qt::KeyboardModifiers modifiers = {})
    {
        QTreeView *view = panel().ListView1;
        const QRect r = view->visualRect(reports->reports().index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, r.center());
    }
    QStringList sent(const QString &code)
    {
        QTest::qWait(100);
        return server.receivedWithCode(code);
    }
};

// On the indicator: a radio button reacts only on its indicator and caption.
void clickRadio(QRadioButton *b)
{
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}

class TstReportWidgets : public QObject
{
    Q_OBJECT
private slots:
    // ---- report panel --------------------------------------------------
    void sendPaths_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("severe");
        QTest::addColumn<bool>("signedOn");
        QTest::addColumn<bool>("byEnter");
        QTest::addColumn<QByteArray>("wire"); // empty: nothing sent
        QTest::addColumn<QString>("boxAfter");
        QTest::addColumn<bool>("severeAfter");
        QTest::addColumn<int>("signOnShown");
        QTest::newRow("routine by button")
            << "Heavy rain" << false << true << false
            << QByteArray(":RPT|R: Heavy rain|MD|HARFORD|21014|JOE|Bel Air|^") << "" << false << 0;
        QTest::newRow("severe by enter")
            << "Heavy rain" << true << true << true
            << QByteArray(":RPT|Heavy rain|MD|HARFORD|21014|JOE|Bel Air|^") << "" << false << 0;
        QTest::newRow("spaces only") << "   " << true << true << true << QByteArray() << "" << false << 0;
        QTest::newRow("not signed on")
            << "Hail " << true << false << false << QByteArray() << "Hail" << false << 1;
        QTest::newRow("offensive") << "oh shit" << true << true << true << QByteArray() << "" << true << 0;
    }

    void sendPaths()
    {
        QFETCH(QString, text);
        QFETCH(bool, severe);
        QFETCH(bool, signedOn);
        QFETCH(bool, byEnter);
        QFETCH(QByteArray, wire);
        Panel fx;
        fx.state.signedOn = signedOn;
        QSignalSpy signOn(&fx.panel, &ReportPanel::signOnRequested);
        fx.panel.txtData->setText(text);
        fx.panel.chkSevere->setChecked(severe);
        if (byEnter)
            QTest::keyClick(fx.panel.txtData, Qt::Key_Return);
        else
            QTest::mouseClick(fx.panel.cmdSend, Qt::LeftButton);
        QCOMPARE(fx.lastWire(), wire);
        QCOMPARE(fx.sender.sent.size(), wire.isEmpty() ? 0 : 1);
        QTEST(fx.panel.txtData->text(), "boxAfter");
        QTEST(fx.panel.chkSevere->isChecked(), "severeAfter");
        QTEST(int(signOn.count()), "signOnShown");
    }

    void firstLetterTypedIsACapital()
    {
        Panel fx;
        QTest::keyClicks(fx.panel.txtData, u"abc"_s);
        QCOMPARE(fx.panel.txtData->text(), u"Abc"_s);
    }

    void phrasePick_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("how"); // click, or the key that picks (the list has the focus)
        QTest::addColumn<bool>("ctrl");
        QTest::addColumn<QString>("expected");
        QTest::newRow("click replaces") << u"Hail"_s << u"click"_s << false << u"Funnel Cloud: "_s;
        QTest::newRow("ctrl click chains") << u"Hail "_s << u"click"_s << true << u"Hail > Funnel Cloud: "_s;
        QTest::newRow("arrow down picks") << u"Hail"_s << u"down"_s << false << u"Funnel Cloud: "_s;
        QTest::newRow("ctrl arrow chains") << u"Hail"_s << u"down"_s << true << u"Hail > Funnel Cloud: "_s;
        QTest::newRow("space picks") << u""_s << u"space"_s << false << u"Funnel Cloud: "_s;
        QTest::newRow("enter picks") << u""_s << u"enter"_s << false << u"Funnel Cloud: "_s;
    }

    void phrasePick()
    {
        QFETCH(QString, typed);
        QFETCH(QString, how);
        QFETCH(bool, ctrl);
        QFETCH(QString, expected);
        Panel fx;
        fx.panel.txtData->setText(typed);
        QListWidget *list = fx.panel.lst1;
        const int row = list->row(list->findItems(u"Funnel Cloud: "_s, Qt::MatchExactly).value(0));
        QVERIFY(row >= 1);
        const Qt::KeyboardModifiers mods = ctrl ? Qt::ControlModifier : Qt::NoModifier;
        if (how == u"click") {
            fx.panel.PhraseClicked(list, row, mods);
        } else {
            list->setFocus();
            list->setCurrentRow(how == u"down" ? row - 1 : row);
            fx.panel.txtData->setText(typed); // moving the current row is no pick
            const Qt::Key key = how == u"down"    ? Qt::Key_Down
                                : how == u"space" ? Qt::Key_Space
                                                  : Qt::Key_Return;
            QTest::keyClick(list, key, mods);
        }
        QCOMPARE(fx.panel.txtData->text(), expected);
        QVERIFY(fx.panel.chkSevere->isChecked());
        QVERIFY(list->selectedItems().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(fx.panel.cmdSend->hasFocus(), 2000);
        // The second Enter or click sends it as a severe report, trimmed.
        if (how == u"click")
            QTest::mouseClick(fx.panel.cmdSend, Qt::LeftButton);
        else
            QTest::keyClick(fx.panel.cmdSend, Qt::Key_Return);
        const QString sentText = expected.trimmed().replace(u':', QChar(0x81));
        QCOMPARE(fx.lastWire(),
                 WireCodec::encode(QString(u":RPT|"_s + sentText + u"|MD|HARFORD|21014|JOE|Bel Air|^"_s)));
    }
    // ---- options window ------------------------------------------------
    void optionsLoad_data()
    {
        QTest::addColumn<QString>("display");
        QTest::addColumn<int>("hideRoutine");
        QTest::addColumn<int>("routineSound");
        QTest::addColumn<QList<int>>("checked");
        // Defaults: display ALL, sound ALL, restore COUNTY, front COUNTY.
        QTest::newRow("defaults") << u"ALL"_s << 0 << 1 << QList<int>{1, 4, 10, 15, 17, 20};
        QTest::newRow("hidden routine") << u"OFF"_s << 1 << 0 << QList<int>{4, 7, 10, 15, 18, 19};
        QTest::newRow("unknown level") << u"SOME"_s << 0 << 0 << QList<int>{4, 10, 15, 17, 19};
    }
    void optionsLoad()
    {
        QFETCH(QString, display);
        QFETCH(int, hideRoutine);
        QFETCH(int, routineSound);
        SettingsRecord s;
        s.DisplayLevel = display;
        s.HideRoutine = hideRoutine;
        s.RoutineSound = routineSound;
        frmOptions w(s);
        QList<int> got;
        for (int n = 1; n <= 20; ++n)
            if (w.option(n)->isChecked())
                got << n;
        QTEST(got, "checked");
        QCOMPARE(w.routineAudioGroup()->isEnabled(), hideRoutine == 0);
    }

    void clicksChangeTheSettings()
    {
        SettingsRecord s;
        frmOptions w(s);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // The numbers follow the form: the display group's OFF is 7, the restore group runs backwards.
        for (int n : {7, 5, 12, 13})
            clickRadio(w.option(n));
        QCOMPARE((QStringList{s.DisplayLevel, s.SoundLevel, s.RestoreLevel, s.FrontLevel}),
                 (QStringList{u"OFF"_s, u"STATE"_s, u"ALL"_s, u"ALL"_s}));
        // "No" turns routine audio off and greys its group out.
        clickRadio(w.option(18));
        QVERIFY(s.HideRoutine == 1 && s.RoutineSound == 0 && !w.routineAudioGroup()->isEnabled());
        // "Yes" again leaves routine audio at "No" until the user changes it.
        clickRadio(w.option(17));
        QVERIFY(s.HideRoutine == 0 && s.RoutineSound == 0 && w.routineAudioGroup()->isEnabled());
        QVERIFY(w.option(19)->isChecked());
        clickRadio(w.option(20));
        QCOMPARE(s.RoutineSound, 1);
        QTest::mouseClick(w.cmdDone, Qt::LeftButton);
        QCOMPARE(w.result(), int(QDialog::Accepted));
    }
    // ---- tool windows --------------------------------------------------
    void editingAList_data()
    {
        QTest::addColumn<int>("list");
        QTest::addColumn<QString>("title");   // typed over the title
        QTest::addColumn<QString>("typed");   // into the entry box, then Enter
        QTest::addColumn<QString>("pasted");  // inserted, then Add
        QTest::addColumn<bool>("unwritable"); // the list's file cannot be replaced
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("lastPhrase");
        QTest::newRow("done without changes")
            << 6 << QString() << QString() << QString() << false << u"Severe / Wind"_s << u"Funnel Cloud: "_s;
        QTest::newRow("rename and add") << 7 << u"Water: Flood|"_s << u"Sleet: heavy"_s << u"Ice ^jam:"_s
                                        << false << u"Water Flood"_s << u"Ice jam"_s;
        QTest::newRow("lists window, file cannot be written")
            << 3 << u"Rain"_s << u"Downpour"_s << QString() << true << u"Rain"_s << u"Downpour"_s;
    }
    void editingAList()
    {
        QFETCH(int, list);
        QFETCH(QString, title);
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(bool, unwritable);
        ClientFixture fx;
        const QString file = fx.state.filePath(PhraseListFileName(list));
        if (unwritable)
            QVERIFY(QDir().mkpath(file)); // a folder where the file would go
        PhraseLists &lists = fx.reports->tools().phraseLists();
        lists.runEditor = [&](frmEditList &e) {
            QCOMPARE(e.windowTitle(), u"Edit "_s + e.txtTitle->text());
            if (!title.isEmpty()) {
                e.txtTitle->clear();
                QTest::keyClicks(e.txtTitle, title);
            }
            if (!typed.isEmpty()) {
                QTest::keyClicks(e.Text1, typed);
                QTest::keyClick(e.Text1, Qt::Key_Return);
            }
            if (!pasted.isEmpty()) {
                e.Text1->insert(pasted);
                e.Command1->click();
            }
            e.Command2->click();
        };
        QAction *item = fx.form->findChild<QAction *>(u"mnuList%1"_s.arg(list));
        const QString caption = item->text();
        item->trigger();

        QLabel *shown = list >= 6 ? (list == 6 ? fx.panel().Lbl1 : fx.panel().Lbl2)
                                  : lists.listsWindow()->titles[std::size_t(list - 1)];
        QListWidget *box = list >= 6 ? (list == 6 ? fx.panel().lst1 : fx.panel().lst2)
                                     : lists.listsWindow()->lists[std::size_t(list - 1)];
        QTEST(shown->text(), "label");
        QTEST(box->item(box->count() - 1)->text(), "lastPhrase");
        QCOMPARE(item->text(), caption);
        if (unwritable) {
            QVERIFY(fx.dialogs.lastText().contains(PhraseListFileName(list)));
        } else {
            QVERIFY(fx.dialogs.shown.isEmpty());
            QCOMPARE(TestFiles::read(file), WritePhraseList(fx.state.phraseLists[std::size_t(list - 1)]));
        }
    }

    // A phrase from the Lists window, by click or key, lands in the report
    // box and leaves the keyboard on Send in the main window.
    void listsWindowPhrasesGoToTheReportBox_data()
    {
        QTest::addColumn<QString>("how"); // click, or the key that picks
        QTest::addColumn<bool>("ctrl");
        QTest::addColumn<QString>("expected");
        const QString hail = u"Hail - 1\" Quarter Size "_s;
        QTest::newRow("ctrl click chains") << u"click"_s << true << u"Tornado > "_s + hail;
        QTest::newRow("enter picks") << u"enter"_s << false << hail;
        QTest::newRow("ctrl arrow chains") << u"down"_s << true << u"Tornado > "_s + hail;
        QTest::newRow("space picks") << u"space"_s << false << hail;
    }
    void listsWindowPhrasesGoToTheReportBox()
    {
        QFETCH(QString, how);
        QFETCH(bool, ctrl);
        Connected fx;
        QVERIFY(fx.ready());
        fx.state.signedOn = true;
        fx.panel().txtData->setText(u"Tornado"_s);
        fx.form->findChild<QAction *>(u"mnuLists"_s)->trigger();
        frmLists *w = fx.reports->tools().phraseLists().listsWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QListWidget *list = w->lists[3];
        QCOMPARE(list->count(), 14);
        const int row = 4;
        const Qt::KeyboardModifiers mods = ctrl ? Qt::ControlModifier : Qt::NoModifier;
        if (how == u"click") {
            emit w->phraseClicked(list->item(row)->text(), mods);
        } else {
            list->setFocus();
            list->setCurrentRow(how == u"down" ? row - 1 : row);
            QTest::keyClick(list,
                            how == u"down"    ? Qt::Key_Down
                            : how == u"space" ? Qt::Key_Space
                                              : Qt::Key_Return,
                            mods);
        }
        QTEST(fx.panel().txtData->text(), "expected");
        QVERIFY(fx.panel().chkSevere->isChecked());
        QTRY_VERIFY(fx.form->isActiveWindow() && fx.panel().cmdSend->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(fx.panel().txtData->text().isEmpty()); // sent
        w->Command1->click();
        QVERIFY(!w->isVisible());
    }

    // A routine report goes out whole, past the report box's limit, and as
    // a routine one even when a phrase checked the severe mark and Ctrl+R
    // only brought the open window forward.
    void routineGoesOutWhole_data()
    {
        QTest::addColumn<QString>("observed");
        QTest::addColumn<bool>("phraseThenCtrlR");
        QTest::newRow("past the box's limit") << QString(180, u'A') << false;
        QTest::newRow("phrase, then Ctrl+R") << u"Clear"_s << true;
    }
    void routineGoesOutWhole()
    {
        QFETCH(QString, observed);
        QFETCH(bool, phraseThenCtrlR);
        Connected fx;
        QVERIFY(fx.ready());
        fx.state.signedOn = true;
        QAction *ctrlR = fx.form->findChild<QAction *>(u"mnuRoutineReport"_s);
        ctrlR->trigger();
        frmRoutineReport *w = fx.tools().routineWindow();
        w->txtObserved->setText(observed);
        w->box(ReportTools::Temperature)->setText(u"75"_s);
        w->box(ReportTools::Humidity)->setText(u"80"_s);
        w->box(ReportTools::DewPoint)->setText(u"60"_s);
        if (phraseThenCtrlR) {
            fx.panel().PhraseClicked(fx.panel().lst1, 0, {});
            ctrlR->trigger();
            QCOMPARE(fx.tools().routineWindow(), w);
        }
        w->Command1->click();
        const QString text = u"[ "_s + observed + u" / Temp = 75F ///// Hum = 80 / Dew Pnt = 60 /]"_s;
        QCOMPARE(fx.sent(u"RPT"_s),
                 QStringList{u":RPT|R: "_s + text + u"|MD|HARFORD|21014|CARL|Bel Air|^"_s});
    }

    void routineEntry()
    {
        ClientFixture fx;
        fx.form->show();
        fx.panel().txtData->setText(u"clear"_s);
        fx.panel().chkSevere->setChecked(true);
        ReportToolWindows &tools = fx.reports->tools();
        tools.mnuRoutineReport_Click();
        frmRoutineReport *w = tools.routineWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QCOMPARE(w->txtObserved->text(), u"clear"_s);
        QVERIFY(fx.panel().txtData->text().isEmpty() && !fx.panel().chkSevere->isChecked());

        QLineEdit *temp = w->box(ReportTools::Temperature);
        temp->setFocus();
        QTest::keyClicks(temp, u"7a/5"_s);
        QCOMPARE(temp->text(), u"75"_s);
        QTest::keyClick(temp, Qt::Key_Space);
        QVERIFY(w->box(ReportTools::WindSpeed)->hasFocus());
        QTest::keyClicks(w->box(ReportTools::WindSpeed), u"10"_s);
        QTest::keyClick(w->box(ReportTools::WindSpeed), Qt::Key_Down);
        QTest::keyClicks(w->box(ReportTools::WindDirection), u"nw"_s);
        QCOMPARE(w->box(ReportTools::WindDirection)->text(), u"NW"_s);
        w->Option2->click();

        // Not signed on: the formatted text waits in the report box.
        w->Command1->click();
        QCOMPARE(fx.panel().txtData->text(),
                 u"[ clear / Temp = 75C / Wnd Spd = 10 MPH / Wnd Dir = NW /////]"_s);
        QTRY_VERIFY(!tools.routineWindow());
        ClientState reread;
        ReadSettings(TestFiles::read(fx.state.filePath(SettingsFileName)), reread.settings);
        QCOMPARE(reread.settings.RoutineCelsius, 1);

        // Celsius is remembered; an empty report sends nothing; the first
        // letter typed is a capital; no station: the setup message.
        fx.panel().txtData->clear();
        tools.mnuRoutineReport_Click();
        w = tools.routineWindow();
        QVERIFY(w->Option2->isChecked() && w->Option7->isChecked());
        QTest::keyClicks(w->txtObserved, u"sunny"_s);
        QCOMPARE(w->txtObserved->text(), u"Sunny"_s);
        w->Command3->click();
        QCOMPARE(fx.dialogs.shown.last().title, u"Home Weather Station Setup"_s);
        const QWidgetList windows = QApplication::topLevelWidgets();
        QVERIFY(std::any_of(windows.begin(), windows.end(), [](QWidget *w) {
            return w->objectName() == u"frmWeatherStation"_s && w->isVisible();
        }));
        w->txtObserved->clear();
        w->Command1->click();
        QVERIFY(fx.panel().txtData->text().isEmpty());

        // A station set up: its values fill the boxes.
        QStringList values;
        for (int i = 1; i <= 39; ++i)
            values << QString::number(i);
        const QString station = fx.state.filePath(u"station.csv"_s);
        QVERIFY(TestFiles::write(station, values.join(u',').toLatin1()));
        fx.state.settings.StationAutomation = 3;
        fx.state.settings.StationDataPath = station;
        tools.mnuRoutineReport_Click();
        tools.routineWindow()->Command3->click();
        QTRY_COMPARE(tools.routineWindow()->box(ReportTools::Temperature)->text(), u"14"_s);
        QCOMPARE(tools.routineWindow()->box(ReportTools::WindDirection)->text(), u"N"_s);
    }

    // Which viewer a click opens, and that it shows peers' text as text.
    void viewers()
    {
        QTcpServer trap;
        QVERIFY(trap.listen(QHostAddress::LocalHost, 0));
        const QString html = u"<b>x</b><img src=\"http://127.0.0.1:%1/x.gif\">"_s.arg(trap.serverPort());
        Connected fx;
        QVERIFY(fx.ready());
        fx.arrive(report(html));
        // "/" ends a routine field, so the routine row's markup has none.
        const QString markup = u"<b>x<img src=x.gif>"_s;
        fx.arrive(report(u"R: [ " + markup + u" / Temp = 75F //////]"));
        QTRY_COMPARE(fx.rows(), 2);
        ReportToolWindows &tools = fx.tools();

        fx.clickRow(0, Qt::ControlModifier);
        QVERIFY(!tools.routineViewer() && !tools.reportWindow());
        fx.clickRow(0);
        frmDisplayRoutine *routine = tools.routineViewer();
        QVERIFY(routine && routine->isVisible());
        QCOMPARE(routine->box(ReportTools::Observed)->text(), u' ' + markup + u' ');
        QCOMPARE(routine->box(ReportTools::Temperature)->text(), u" 75F "_s);
        QCOMPARE(routine->txtUser->text(), u"SPOTTER"_s);

        // Ctrl+K reveals Delete; Delete asks the relay to retract the row.
        QVERIFY(!routine->cmdDelete->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(routine));
        // A read-only box would take Ctrl+K as "delete to the end of the line".
        QTest::keyClick(routine->txtUser, Qt::Key_K, Qt::ControlModifier);
        QVERIFY(routine->cmdDelete->isVisible());
        routine->cmdDelete->click();
        QVERIFY(!routine->isVisible() && !routine->cmdDelete->isVisibleTo(routine));
        QCOMPARE(fx.sent(u"XRP"_s), QStringList{u":XRP|R: [ "_s + markup + u" / Temp = 75F //////]|^"_s});

        fx.clickRow(1);
        FrmReport *plain = tools.reportWindow();
        QVERIFY(plain && plain->isVisible());
        QCOMPARE(plain->txtReport->toPlainText(), html);
        plain->repaint();
        QTest::qWait(200);
        QVERIFY(!trap.hasPendingConnections());

        // "Send Message" addresses the messenger to the report's user.
        plain->Command2->click();
        QVERIFY(!plain->isVisible());
        QCOMPARE(fx.client->community().messenger().txtCall->text(), u"SPOTTER"_s);
    }

    void listCommands()
    {
        Connected fx;
        QVERIFY(fx.ready());
        fx.arrive(report(u"Hail"_s));
        QTRY_COMPARE(fx.rows(), 1);

        // History: a word for hours asks for 2; the list empties only when
        // the first record comes.
        fx.dialogs.inputs.enqueue(u"abc"_s);
        fx.panel().cmdGetLast->click();
        QCOMPARE(fx.sent(u"GLD"_s), QStringList{u":GLD|2|^"_s});
        QCOMPARE(fx.rows(), 1);
        fx.server.send(u":GLD|Old flood|MD|HARFORD|21014|ANN|Bel Air|12/06 10:00|^"_s);
        QTRY_COMPARE(fx.topText(), u"Old flood"_s);
        QCOMPARE(fx.rows(), 1);

        // Copy with nothing selected gives the header line alone.
        fx.form->findChild<QAction *>(u"mnuCopySelcted"_s)->trigger();
        QCOMPARE(QApplication::clipboard()->text(),
                 u"Report\tDate/Time\tST\tCounty\tZip\tObserver\tLocation\r\n"_s);
        fx.form->findChild<QAction *>(u"mnuCopyList"_s)->trigger();
        const QString all = QApplication::clipboard()->text();
        QVERIFY2(all.startsWith(u"Report\t"_s) && all.count(u"\r\n"_s) == 2 &&
                     all.contains(u"\r\nOld flood\t"_s) &&
                     all.endsWith(u"\tMD\tHARFORD\t21014\tANN\tBel Air\r\n"_s),
                 qPrintable(all));

        // A column dragged shut is saved as 50 twips; the font goes to both lists.
        fx.panel().ListView1->setColumnWidth(2, 0);
        fx.form->findChild<QAction *>(u"mnuSaveColumns"_s)->trigger();
        QCOMPARE(ReadColumnWidths(TestFiles::read(fx.state.filePath(ColumnWidthsFileName))).at(2), 50);
        fx.dialogs.fonts.enqueue(Dialogs::Font{u"Courier"_s, 14, true, false});
        fx.form->findChild<QAction *>(u"mnuFont"_s)->trigger();
        for (const char *name : {"ListView1", "ListView2"}) {
            const QFont f = fx.form->findChild<QTreeView *>(QString::fromLatin1(name))->font();
            QVERIFY2(f.pointSize() == 14 && f.bold(), name);
        }
        QCOMPARE(fx.state.settings.FontName, u"Courier"_s);

        fx.panel().cmdClear->click();
        QCOMPARE(fx.panel().lblListTotal->text(), u"0  Listed Reports"_s);
    }
};

QTEST_MAIN(TstReportWidgets)
#include "tst_report_widgets.moc"
