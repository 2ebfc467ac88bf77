#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QtPlugin>

#include <functional>
#include <memory>

class QWidget;

// An embedded HTML view. The real one is a web engine, heavy enough that it
// lives in a plugin loaded only when a browser is first shown; tests use a fake.
class BrowserView
{
public:
    virtual ~BrowserView() = default;
    virtual QWidget *widget() = 0;
    virtual void navigate(const QUrl &url) = 0;
    virtual bool busy() const = 0; // still loading
    virtual void stop() = 0;
    virtual void reload() = 0;
};

using BrowserFactory = std::function<std::unique_ptr<BrowserView>(QWidget *parent)>;

// What the browser plugin exports.
class BrowserPlugin
{
public:
    virtual ~BrowserPlugin() = default;
    virtual std::unique_ptr<BrowserView> create(QWidget *parent) = 0;
};

#define NimbrelBrowserPlugin_iid "org.nimbrel.BrowserPlugin/1"
Q_DECLARE_INTERFACE(BrowserPlugin, NimbrelBrowserPlugin_iid)

// The first of paths that loads as a browser plugin, or null with the reason
// in error. A loaded plugin stays loaded for the rest of the run.
BrowserPlugin *LoadBrowserPlugin(const QStringList &paths, QString *error);

// Where the client looks for the plugin: NIMBREL_BROWSER_PLUGIN when set,
// otherwise beside the installed program, then in the build tree.
QStringList BrowserPluginPaths();

// The web engine's view, from the plugin loaded on the first call; null when
// the plugin cannot be loaded, with the reason in BrowserUnavailableReason().
std::unique_ptr<BrowserView> MakeWebEngineBrowser(QWidget *parent);
QString BrowserUnavailableReason();
