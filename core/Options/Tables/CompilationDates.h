// The date and time defaults of new compilations. A date is held as the
// seconds since the epoch of the local midnight that starts the day; a time of
// day as the seconds since that midnight. Both read the clock when called.
#ifndef VORN_COMPILATION_DATES_H
#define VORN_COMPILATION_DATES_H

#include <glib.h>

namespace vorn::options {

gint64 currentDate() noexcept;
gint64 currentTimeOfDay() noexcept;

}  // namespace vorn::options

#endif
