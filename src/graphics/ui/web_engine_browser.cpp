// The browser plugin: the only code that links the web engine, so that a
// client that never shows a page never maps it.
#include "graphics/ui/browser_view.h"

#include <QObject>
#include <QWebEngineView>

#include <unistd.h>

namespace {

class WebEngineBrowser final : public BrowserView
{
public:
    explicit WebEngineBrowser(QWidget *parent) : m_view(new QWebEngineView(parent))
    {
        QObject::connect(m_view, &QWebEngineView::loadStarted, m_view, [this] { m_busy = true; });
        QObject::connect(m_view, &QWebEngineView::loadFinished, m_view, [this] { m_busy = false; });
    }
    ~WebEngineBrowser() override { delete m_view; }
    QWidget *widget() override { return m_view; }
    void navigate(const QUrl &url) override { m_view->load(url); }
    bool busy() const override { return m_busy; }
    void stop() override
    {
        m_view->stop();
        m_busy = false;
    }
    void reload() override { m_view->reload(); }

private:
    QWebEngineView *m_view;
    bool m_busy = false;
};

} // namespace

class WebEngineBrowserPlugin final : public QObject, public BrowserPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID NimbrelBrowserPlugin_iid)
    Q_INTERFACES(BrowserPlugin)

public:
    std::unique_ptr<BrowserView> create(QWidget *parent) override
    {
        // The engine's sandbox refuses to start as root; only then is it
        // turned off, before the engine first starts.
        if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        return std::make_unique<WebEngineBrowser>(parent);
    }
};

#include "web_engine_browser.moc"
