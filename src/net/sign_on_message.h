#pragma once

#include <QString>

// The sign-on message (SGN): the one layout the client writes and the relay
// reads.
namespace SignOnMessage {

// Field numbers as SplitFields counts them.
enum Field : int {
    UserName,
    Password,
    FirstName,
    MiddleInitial,
    LastName,
    Address,
    City,
    County,
    State,
    Zip,
    Email,
    Location,
    Version, // empty on the automatic re-sign-on
};

struct Profile
{
    QString userName; // as stored: escaped already
    QString password; // as stored: escaped already
    QString firstName;
    QString middleInitial;
    QString lastName;
    QString address;
    QString city;
    QString county;
    QString state;
    QString zip;
    QString email;
    QString location;
};

// ":SGN|" user name "|" password "|" the ten other fields escaped, each
// followed by "|", then the version and "|^". Without a version (the
// automatic re-sign-on) the message ends after the location.
QString Build(const Profile &profile, const QString &version = {});

} // namespace SignOnMessage
