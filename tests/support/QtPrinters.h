#pragma once

#include <QString>

#include <ostream>

// Readable QString values in GoogleTest failure messages.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

#include "Models/OptionalText.h"

inline void PrintTo(const OptionalText &s, std::ostream *os)
{
    if (s)
        PrintTo(*s, os);
    else
        *os << "nullopt";
}
