// Settings.dat reader: any bytes are read without fault, and every record
// whose texts hold no double quote or line break survives write-then-read.
#include "base/settings.h"
#include "base/wire_codec.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

namespace {

QString text(FuzzedDataProvider &in)
{
    std::string s = in.ConsumeRandomLengthString(40);
    QByteArray bytes(s.data(), qsizetype(s.size()));
    bytes.replace('"', "").replace('\r', "").replace('\n', "");
    return WireCodec::decode(bytes);
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    SettingsRecord read;
    const SettingsReadOutcome out = ReadSettings(bytes, read);
    check(out.fieldsRead >= 0 && out.fieldsRead <= 36);
    check(read.RecordObservations == 0 || read.RecordObservations == 1);
    check(read.TimeMode >= 0 && read.TimeMode <= 255);
    check(read.FontSize >= MinFontSize && read.FontSize <= MaxFontSize);

    FuzzedDataProvider in(data, size);
    SettingsRecord r;
    for (QString *t :
         {&r.FirstName, &r.MiddleInitial, &r.LastName, &r.Address, &r.City, &r.UserCounty, &r.UserState,
          &r.UserZip, &r.Email, &r.UserLocation, &r.UserName, &r.Password, &r.SoundLevel, &r.DisplayLevel,
          &r.RestoreLevel, &r.FrontLevel, &r.FontName, &r.WarnProgramPath, &r.StationDataPath})
        *t = text(in);
    r.RecordObservations = in.ConsumeIntegralInRange(0, 1);
    // Sizes outside this range are clamped when read.
    r.FontSize = in.ConsumeIntegralInRange(MinFontSize, MaxFontSize);
    r.FontBold = in.ConsumeBool();
    r.FontItalic = in.ConsumeBool();
    for (int *b : {&r.RememberPassword, &r.HidePassword, &r.TimeMode, &r.Ineligible, &r.AutoLogIn,
                   &r.StartInTray, &r.HideRoutine, &r.RoutineSound, &r.RoutineCelsius, &r.RoutineKmh,
                   &r.WarnLinkEnabled, &r.LaunchWarnProgram, &r.StationAutomation})
        *b = in.ConsumeIntegralInRange(0, 255);

    SettingsRecord back;
    const SettingsReadOutcome again = ReadSettings(WriteSettings(r), back);
    check(again.fieldsRead == 36 && !again.error);
    check(back == r);
    return 0;
}
