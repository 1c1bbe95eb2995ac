#pragma once

#include <QDateTime>
#include <functional>

// The local clock, replaceable so that names and file headers can be tested at a fixed moment.
class Clock {
public:
    using Source = std::function<QDateTime()>;

    static QDateTime now();
    // Returns the source it replaces; an empty source restores the system clock.
    static Source setSource(Source source);
};
