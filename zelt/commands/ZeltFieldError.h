#pragma once
// A field whose text fails its check, and what the user is told at it.

#include <QString>

struct ZeltFieldError {
    enum class Field {
        IPv4,
        Mask,
        Port,
        HttpPort,
        Gateway,
        IPv6,
        IPv6Gateway,
        IPv6Prefix,
        Password,
        BatchPassword,
        NewPassword,
        SecurityCode,
    };
    Field field;
    QString message; // translated
};
