#pragma once

// The whole client for a benchmark, put together by the same composition
// root as the program, with the real dialogs and shell and no sound.
#include "app/ui/client_app.h"
#include "base/client_state.h"
#include "platform/clock.h"
#include "platform/sound_player.h"
#include "platform/ui/qt_platform.h"

#include <QTemporaryDir>

#include <memory>

struct BenchClient
{
    class SilentPlayer final : public SoundPlayer
    {
    public:
        void play(const QString &) override {}
        void stop() override {}
    };

    QTemporaryDir dir;
    ClientState state;
    SystemClock clock;
    SilentPlayer player;
    QtDialogs dialogs;
    QtShell shell;
    std::unique_ptr<ClientApp> app;

    // setUp fills the state before the client is made.
    template <typename SetUp> explicit BenchClient(SetUp &&setUp)
    {
        state.dataDir = dir.path();
        setUp(state);
        app = std::make_unique<ClientApp>(
            state, ClientServices{clock, dialogs, player, shell, [](int) {}, [](int) { return 0; }});
    }
    BenchClient() : BenchClient([](ClientState &) {}) {}
};
