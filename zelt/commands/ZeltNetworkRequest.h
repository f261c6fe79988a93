#pragma once
// A network change as the network section's fields ask for it, checked:
// what every device of the change is sent besides its own address.

#include <QByteArray>
#include <QString>

#include <cstdint>

struct ZeltNetworkRequest {
    // The fields as typed, and whether the fields that can be off are in use.
    struct Fields {
        QString ipv4, mask, port, httpPort, gateway, ipv6, ipv6Gateway, ipv6Prefix, password;
        bool httpPortInUse = false;
        bool ipv6InUse = false;
    };

    QString ipv4; // the first device's address (trimmed)
    QString mask;
    uint port = 0;
    QString httpPort; // as typed; sent as it is
    QString gateway;  // empty: none
    bool sendIPv6 = false;
    QString ipv6, ipv6Gateway;
    uint8_t ipv6Prefix = 0;
    QByteArray password; // exactly as typed
};
