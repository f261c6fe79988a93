#pragma once
// Strength of a new administrator password: 0 weak .. 3 strong.

#include <QByteArray>

// Level 0: shorter than 8 bytes, the user name or the user name backwards,
// or one kind of character only. Level 1: digits with letters of one case.
// Level 2: any other two kinds. Level 3: three or four kinds. Kinds are
// digits, upper-case, lower-case (ASCII) and every other byte.
int RatePassword(const QByteArray &userName, const QByteArray &password);
