#pragma once

#include "base/client_state.h"
#include "net/server_link.h"
#include "net/server_notices.h"
#include "net/url_download.h"
#include "scripted_server.h"
#include "test_files.h"

#include <QTemporaryDir>

inline constexpr int Wait = 5000; // ms for a loopback exchange

// A link to a scripted server, its address file served over HTTP beside a
// few pictures, with the server's notices registered.
struct LinkFixture
{
    QTemporaryDir dir;
    ClientState state;
    ScriptedServer server;
    HttpResponder http;
    UrlDownloader downloader;
    ServerLink link{state, downloader};
    int saves = 0;
    ServerNotices notices{state, link, downloader, [this] { ++saves; }};

    bool start()
    {
        state.dataDir = dir.path();
        state.settings.UserName = QStringLiteral("spotter1");
        state.settings.Password = QStringLiteral("pw");
        if (!server.listen() || !http.listen())
            return false;
        http.setAddressFile("127.0.0.1:" + QByteArray::number(server.port()) + "\r\n");
        http.setBody(QStringLiteral("/ad/banner.PNG"), "PNGDATA");
        http.setBody(QStringLiteral("/ad/banner.gif"), "GIFDATA");
        http.setBody(QStringLiteral("/ad/run.sh"), "rm -rf");
        http.setResponse(QStringLiteral("/slow.gif"), HttpResponder::Response::stalled());
        http.setBody(QStringLiteral("/fast.gif"), "FAST");
        notices.registerOn(link.dispatcher());
        // Surrounding blanks, a trailing slash and a second line are all ignored.
        return TestFiles::write(dir.filePath(QStringLiteral("AddressHost.txt")),
                                "  " + http.base().toUtf8() + "/ \r\nsecond line\r\n");
    }
};
