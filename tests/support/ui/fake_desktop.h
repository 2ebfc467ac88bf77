#pragma once

#include "base/ui/subsystem.h"
#include "fakes.h"

// The desktop a whole client needs, faked; ends holds each exit code asked for.
struct FakeDesktop
{
    FakeClock clock;
    FakeDialogs dialogs;
    FakeSoundPlayer sound;
    FakeShell shell;
    QList<int> ends;
    ClientServices services()
    {
        return {clock, dialogs, sound, shell, [this](int c) { ends << c; }, [](int) { return 0; }};
    }
};
