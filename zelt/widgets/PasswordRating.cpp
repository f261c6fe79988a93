#include "PasswordRating.h"

#include <algorithm>

int RatePassword(const QByteArray &userName, const QByteArray &password)
{
    if (password.size() < 8)
        return 0;
    QByteArray reversed = userName;
    std::reverse(reversed.begin(), reversed.end());
    if (password == userName || password == reversed)
        return 0;

    bool digit = false, upper = false, lower = false, other = false;
    for (char ch : password) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c >= 'A' && c <= 'Z')
            upper = true;
        else if (c >= 'a' && c <= 'z')
            lower = true;
        else
            other = true;
    }
    const int kinds = int(digit) + int(upper) + int(lower) + int(other);
    if (kinds <= 1)
        return 0;
    if (kinds == 2)
        return (digit && (upper || lower)) ? 1 : 2;
    return 3;
}
