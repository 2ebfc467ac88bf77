// ctest-label: ui
#include "client_fixture.h"
#include "graphics/ui/graphics_panel.h"
#include "graphics/ui/graphics_subsystem.h"
#include "graphics/ui/picture_view.h"
#include "scripted_server.h"

#include <QtTest>
#include <QtWidgets>

// A 1x1 GIF of the given number of frames; colour picks the palette.
QByteArray gif(int frames, char colour)
{
    QByteArray b = "GIF89a\x01\x00\x01\x00\x80\x00\x00"_ba;
    b += QByteArray(1, colour) + "\x00\x00\xff\xff\xff"_ba;
    b += "\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"_ba;
    for (int i = 0; i < frames; ++i)
        b +=
            "\x21\xf9\x04\x00\x0a\x00\x00\x00\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00"_ba;
    return b + "\x3b"_ba;
}

struct FakeBrowser final : BrowserView
{
    explicit FakeBrowser(QList<QUrl> &log, QWidget *parent) : view(new QWidget(parent)), visited(log) {}
    QWidget *widget() override { return view; }
    void navigate(const QUrl &url) override { visited << url; }
    bool busy() const override { return false; }
    void stop() override {}
    void reload() override {}
    QWidget *view;
    QList<QUrl> &visited;
};

class TstGraphicsPanel : public QObject
{
    Q_OBJECT

    HttpResponder m_http;

private slots:
    void initTestCase()
    {
        QVERIFY(m_http.listen());
        m_http.setBody(u"/loop.gif"_s, gif(3, '\x10'));
        m_http.setBody(u"/still.gif"_s, gif(1, '\x20'));
        m_http.setBody(u"/off.gif"_s, gif(1, '\x30'));
    }

    // The main window's minute ticks show only the marked graphics, a failed one keeps the last
    // picture, and the views switch with the lists.
    void rotationAndViews()
    {
        ClientFixture w;
        GraphicsSubsystem &g = w.client->graphics();
        QList<QUrl> visited;
        g.setBrowserFactory(
            [&visited](QWidget *parent) { return std::make_unique<FakeBrowser>(visited, parent); });
        w.state.urlList = {1,
                           {{m_http.url(u"/loop.gif"_s), 1},
                            {m_http.url(u"/off.gif"_s), 0},
                            {m_http.url(u"/still.gif"_s), 1},
                            {m_http.url(u"/missing.gif"_s), 1},
                            {m_http.url(u"/chart.wmf"_s), 1}}};
        const QString picture = w.state.filePath(u"MessageGraphic.gif"_s);
        GraphicsPanel &panel = *g.panel();

        w.form->Timer2_Timer(); // 2 is off: 3
        QTRY_COMPARE(TestFiles::read(picture), gif(1, '\x20'));
        w.form->Timer2_Timer(); // 4 fails: 3 stays
        QTRY_COMPARE(w.statusLabel()->text(),
                     u"Error retrieving graphic.  An error occurred calling InternetOpenUrl function"_s);
        QCOMPARE(TestFiles::read(picture), gif(1, '\x20'));
        w.form->Timer2_Timer(); // 5 cannot be shown: said so, and not fetched
        QTRY_COMPARE(w.statusLabel()->text(),
                     u"picture format not supported: "_s + m_http.url(u"/chart.wmf"_s));
        QCOMPARE(m_http.requestCount(u"/chart.wmf"_s), 0);
        w.form->Timer2_Timer(); // 1, animated
        QTRY_COMPARE(TestFiles::read(picture), gif(3, '\x10'));
        QCOMPARE(m_http.requestCount(u"/off.gif"_s), 0);
        QCOMPARE(m_http.requestCount(u"/loop.gif"_s), 1);
        QVERIFY(panel.imgMainGraphic->animated());
        QVERIFY(TestFiles::read(w.state.filePath(u"createdURL.htm"_s)).contains("loop.gif"));

        // The graphic takes the lists' place; the browser is made on first show.
        w.form->show();
        QVERIFY(panel.browser() == nullptr);
        panel.cmdToggle->click();
        QCOMPARE(panel.cmdToggle->text(), u"View Lists"_s);
        QVERIFY(!w.panel().lst1->isVisible());
        QVERIFY(panel.imgMainGraphic->isVisible());
        QVERIFY(!panel.cmdFullScreen->isVisible());
        panel.Command1->click();
        QVERIFY(panel.browser());
        QCOMPARE(visited.value(0), QUrl::fromLocalFile(w.state.filePath(u"createdURL.htm"_s)));
        QVERIFY(panel.cmdFullScreen->isVisible());
        panel.cmdToggle->click();
        QVERIFY(w.panel().lst1->isVisible());
        QVERIFY(!panel.WebBrowser1->isVisible());

        // A click on the full picture opens web addresses only.
        g.imgMainGraphic_Click();
        QVERIFY(g.fullImage());
        w.state.urlList.entries[0].url = u"file:///etc/passwd.gif"_s;
        emit g.fullImage()->clicked();
        QVERIFY(w.shell.opened.isEmpty());
        w.state.urlList.entries[0].url = m_http.url(u"/loop.gif"_s);
        emit g.fullImage()->clicked();
        QCOMPARE(w.shell.opened.size(), 1);
        g.closeWindows();
    }

    // The built plugin loads as a browser; without one, "Switch to Browser" says why and the picture stays.
    void browserPlugin()
    {
        QString error;
        QVERIFY2(LoadBrowserPlugin(BrowserPluginPaths(), &error), qPrintable(error));
        QVERIFY(!LoadBrowserPlugin({u"/nonexistent/nimbrel_browser.so"_s}, &error));
        QVERIFY(error.contains(u"not installed"_s));

        qputenv("NIMBREL_BROWSER_PLUGIN", "/nonexistent/nimbrel_browser.so");
        ClientFixture w;
        GraphicsPanel &panel = *w.client->graphics().panel();
        w.form->show();
        panel.cmdToggle->click();
        panel.Command1->click();
        QVERIFY(!panel.browser());
        QCOMPARE(panel.Command1->text(), u"Switch to Browser"_s);
        QVERIFY(panel.imgMainGraphic->isVisible());
        QVERIFY(!panel.cmdFullScreen->isVisible());
        QVERIFY(w.statusLabel()->text().startsWith(u"The web browser could not be loaded: "_s));
        qunsetenv("NIMBREL_BROWSER_PLUGIN");
    }

    void selectionAndLinks()
    {
        ClientFixture w;
        GraphicsSubsystem &g = w.client->graphics();
        g.SetDefaults();
        g.imgGraphicURL_Click();
        frmImageSelection &s = *g.imageSelection();
        s.Text[1]->setText(u"http://x/two.gif"_s);
        s.Check[2]->setChecked(false);
        s.Text5->setText(u"0"_s);
        g.OpenMoreLinks();
        frmMoreLinks &links = *g.moreLinks();
        links.Text1->setText(u"   "_s);
        g.AddLink();
        QCOMPARE(links.List1->count(), 0);
        links.Text1->setText(u"http://x/extra.htm"_s);
        g.AddLink();
        QCOMPARE(links.List1->count(), 1);
        g.LinksDone();
        g.SelectionDone();
        const UrlList saved = *ReadUrlList(TestFiles::read(w.state.filePath(u"URLLists.txt"_s)));
        QCOMPARE(saved.rotationMinutes, 1.0);
        QCOMPARE(saved.entries.size(), 5);
        QCOMPARE(saved.entries[1].url, u"http://x/two.gif"_s);
        QCOMPARE(saved.entries[2].flag, 0);
        QCOMPARE(saved.entries[4], (UrlEntry{u"http://x/extra.htm"_s, 1}));
        QCOMPARE(g.rotation().counter, 2.0); // the next tick changes the graphic

        // Past 251 links the list refuses, saying so.
        g.OpenMoreLinks();
        for (int i = 0; i < Graphics::MaxExtraLinks; ++i)
            g.moreLinks()->List1->addItem(u"l"_s);
        g.moreLinks()->Text1->setText(u"one more"_s);
        g.AddLink();
        QCOMPARE(g.moreLinks()->List1->count(), Graphics::MaxExtraLinks + 1);
        QCOMPARE(w.dialogs.shown.size(), 1);
        g.closeWindows();
    }
};

QTEST_MAIN(TstGraphicsPanel)
#include "tst_graphics_panel.moc"
