#include "graphics/ui/browser_view.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPluginLoader>

using namespace Qt::Literals::StringLiterals;

namespace {

// Loaded once per process, like the engine it holds.
struct DefaultPlugin
{
    BrowserPlugin *plugin = nullptr;
    QString error;
    bool tried = false;
};

DefaultPlugin &defaultPlugin()
{
    static DefaultPlugin loaded;
    if (!loaded.tried) {
        loaded.tried = true;
        // Loaded late, the engine cannot share the window's GL contexts
        // unless the program asked for that before its application object
        // existed; it would crash on its first page.
        if (!QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts))
            loaded.error = u"the program was not started for it (shared OpenGL contexts)"_s;
        else
            loaded.plugin = LoadBrowserPlugin(BrowserPluginPaths(), &loaded.error);
    }
    return loaded;
}

} // namespace

BrowserPlugin *LoadBrowserPlugin(const QStringList &paths, QString *error)
{
    QStringList reasons;
    for (const QString &path : paths) {
        if (!QFileInfo::exists(path)) {
            reasons << path + u": not installed"_s;
            continue;
        }
        QPluginLoader loader(path);
        if (auto *plugin = qobject_cast<BrowserPlugin *>(loader.instance()))
            return plugin;
        reasons << (loader.errorString().isEmpty() ? path + u": not a browser plugin"_s
                                                   : loader.errorString());
        loader.unload();
    }
    if (error)
        *error = reasons.isEmpty() ? u"no place to look for it"_s : reasons.join(u"; "_s);
    return nullptr;
}

QStringList BrowserPluginPaths()
{
    const QString chosen = qEnvironmentVariable("NIMBREL_BROWSER_PLUGIN");
    if (!chosen.isEmpty())
        return {chosen};
    const QString name = QStringLiteral(NIMBREL_BROWSER_PLUGIN_NAME);
    return {QCoreApplication::applicationDirPath() + u'/' + QStringLiteral(NIMBREL_PLUGIN_RELDIR) + u'/' +
                name,
            QStringLiteral(NIMBREL_PLUGIN_BUILD_DIR) + u'/' + name};
}

std::unique_ptr<BrowserView> MakeWebEngineBrowser(QWidget *parent)
{
    BrowserPlugin *plugin = defaultPlugin().plugin;
    return plugin ? plugin->create(parent) : nullptr;
}

QString BrowserUnavailableReason()
{
    return defaultPlugin().error;
}
