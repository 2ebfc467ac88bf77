// A station data file as any of the four programs might leave it, half
// written or fetched from a web server that answered something else: each
// reader ends without crashing, and the readings it sets stay short enough
// to reach the status line and the wire.
#include "station/station_readers.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks the reader; the rest is the file's text.
    const int automation = 1 + data[0] % 4;
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    StationReadings r;
    const QString error = StationReaders::ReaderFor(automation)(text, r);
    for (const QString *v :
         {&r.Temperature, &r.WindSpeed, &r.WindDirection, &r.WindGust, &r.Pressure, &r.Humidity, &r.DewPoint})
        if (v->size() > text.size() + 32)
            std::abort();
    (void)error;
    return 0;
}
