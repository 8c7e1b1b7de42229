#pragma once

#include <QString>

// The password the seeds are written with and the fuzz target opens with.
inline QString fuzzPassword()
{
    return QStringLiteral("fuzz");
}
