#pragma once

#include "app/ui/form1.h"
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
        return {clock, dialogs, sound, shell, [this](int c) { ends << c; }};
    }
};
