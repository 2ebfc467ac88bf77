#pragma once

#include <QAbstractSocket>
#include <QString>

// The status line's texts for the server socket: StatusText(0..10), empty
// outside.
QString StatusText(int index);
// The error number shown for a socket error (see the table in the .cpp), and
// the status-line text of an error number.
int SocketErrorNumber(QAbstractSocket::SocketError error);
QString SocketErrorText(int number);
