#pragma once

#include <QString>

// Key in the "Ports" settings group that maps a port number to a device,
// for example "Com5" = "/dev/serial/by-id/usb-FTDI_...-if00-port0".
QString PortMappingKey(int portNumber);

// The device that port number N opens: the user's mapping where there is
// one, otherwise the system's N-th serial port.
QString DevicePathForPort(int portNumber, const QString& mappedPath);
