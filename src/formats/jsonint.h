#ifndef BOXMERE_JSONINT_H
#define BOXMERE_JSONINT_H

#include <cmath>
#include <limits>

// A JSON number as an int the way QJsonValue::toInt reads it: a whole number within
// range, else 0. Both simdjson readers follow Qt's parser in this.
inline int jsonInt(double number)
{
    const bool whole = std::floor(number) == number && number >= std::numeric_limits<int>::min() &&
                       number <= std::numeric_limits<int>::max();
    return whole ? int(number) : 0;
}

#endif
