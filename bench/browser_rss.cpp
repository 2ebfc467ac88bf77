// The client's memory with the browser view never shown, then after it
// has shown one local page (the engine starts only then). Prints one line:
// browser_rss before_mb=<client alone> after_mb=<client> engine_mb=<the
// engine's own processes> loaded=<1 when the page finished loading>.
// Run it on a display (xvfb-run); pass a PNG path to save the window.
#include "app/ui/form1.h"
#include "bench_client.h"
#include "graphics/ui/graphics_panel.h"
#include "graphics/ui/graphics_subsystem.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

namespace {

long field(const QString &statusFile, const char *name)
{
    QFile f(statusFile);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(name))
            return line.mid(int(qstrlen(name))).trimmed().split(' ').first().toLong();
    return 0;
}

double rssMb(qint64 pid)
{
    return field(QStringLiteral("/proc/%1/status").arg(pid), "VmRSS:") / 1024.0;
}

// Every process descended from pid, by walking the parents in /proc.
double descendantsMb(qint64 pid)
{
    double total = 0;
    const QStringList all = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : all) {
        bool numeric = false;
        qint64 p = entry.toLongLong(&numeric);
        if (!numeric || p == pid)
            continue;
        for (qint64 up = p; up > 1;) {
            up = field(QStringLiteral("/proc/%1/status").arg(up), "PPid:");
            if (up == pid) {
                total += rssMb(p);
                break;
            }
        }
    }
    return total;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    BenchClient bench;
    ClientApp &client = *bench.app;
    QTemporaryDir &dir = bench.dir;
    Form1 &form = client.createMainWindow();
    form.resize(1100, 760);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    QTest::qWait(2000);
    const qint64 self = QCoreApplication::applicationPid();
    const double before = rssMb(self);

    QImage picture(270, 200, QImage::Format_RGB32);
    picture.fill(QColor(30, 90, 160));
    picture.save(dir.filePath(QStringLiteral("radar.png")));
    QFile page(dir.filePath(QStringLiteral("page.htm")));
    if (!page.open(QIODevice::WriteOnly))
        return 1;
    page.write("<html><body><h2>Radar loop</h2><img src=\"radar.png\" width=\"270\"></body></html>");
    page.close();

    GraphicsPanel *panel = client.graphics().panel();
    panel->cmdToggle_Click(); // the graphic in place of the phrase lists
    panel->navigate(QUrl::fromLocalFile(page.fileName()));
    panel->Command1_Click(); // to the browser: the engine starts here
    bool loaded = QTest::qWaitFor([&] { return panel->browser() && !panel->browser()->busy(); }, 30'000);
    QTest::qWait(3000);
    loaded = loaded && panel->browser() && !panel->browser()->busy();
    if (argc > 1)
        form.grab().save(QString::fromLocal8Bit(argv[1]));
    std::printf("browser_rss before_mb=%.1f after_mb=%.1f engine_mb=%.1f loaded=%d\n", before, rssMb(self),
                descendantsMb(self), loaded ? 1 : 0);
    return 0;
}
