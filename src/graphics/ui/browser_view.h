#pragma once

#include <QUrl>

#include <functional>
#include <memory>

class QWidget;

// An embedded HTML view. The real one is a web engine, heavy enough that it
// is made only when a browser is first shown; tests use a fake.
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

// The web engine's view.
std::unique_ptr<BrowserView> MakeWebEngineBrowser(QWidget *parent);
