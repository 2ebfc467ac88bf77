#pragma once

#include "base/client_state.h"
#include "fakes.h"
#include "recording_sender.h"
#include "reports/report_composer.h"

// A signed-on spotter in Harford County, MD; whatever is sent is recorded.
struct ComposerFixture
{
    ClientState state;
    FakeClock clock;
    FakeDialogs dialogs;
    RecordingSender sender;
    ReportComposer composer{state, clock, dialogs, sender};

    explicit ComposerFixture(const QString &user = QStringLiteral("JOE"),
                             const QString &location = QStringLiteral("Bel Air"))
    {
        state.signedOn = true;
        state.settings.UserState = QStringLiteral("MD");
        state.settings.UserCounty = QStringLiteral("HARFORD");
        state.settings.UserZip = QStringLiteral("21014");
        state.settings.UserName = user;
        state.settings.UserLocation = location;
    }
};
