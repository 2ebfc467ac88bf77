#pragma once

#include <QString>

#include <functional>

// The home station's current readings as text, as its program wrote them.
struct StationReadings
{
    QString Temperature;
    QString WindSpeed;
    QString WindDirection;
    QString WindGust;
    QString Pressure;
    QString Humidity;
    QString DewPoint;
};

// What windows outside the station subsystem may ask of the home station.
class StationSource
{
public:
    virtual ~StationSource() = default;
    // False while automated station reporting is not set up.
    virtual bool isSetUp() const = 0;
    // Reads the station once; done runs when the readings are there, which
    // may be after this returns (a station file may come over HTTP).
    virtual void readNow(std::function<void(const StationReadings &)> done) = 0;
    // Opens the window where the user chooses his station's data file.
    virtual void openSetup() = 0;
};
