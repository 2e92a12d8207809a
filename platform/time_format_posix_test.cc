#include "platform/time_format_posix.h"

#include "gtest/gtest.h"

namespace mervane {
namespace platform {
namespace {

TEST(TimeFormatWithoutSecondsTest, DropsSecondsAndTheirSeparator) {
  struct Case {
    const char* time_format;
    const char* am_pm_format;
    const char* expected;
  };
  const Case cases[] = {
      {"%H:%M:%S", "%I:%M:%S %p", "%H:%M"},  // C, de_DE
      {"%r", "%I:%M:%S %p", "%I:%M %p"},     // en_US
      {"%r", "", "%I:%M %p"},                // no AM/PM format
      {"%T", "", "%H:%M"},
      {"%l:%M:%S %p %Z", "", "%l:%M %p %Z"},  // en_US.UTF-8 on glibc
      {"%Hh%Mm%Ss", "", "%Hh%Mm"},            // units stay with minutes
      {"%H.%M.%OS", "", "%H.%M"},
      {"%H:%M", "", "%H:%M"},  // nothing to drop
      {"100%% %H:%M:%S", "", "100%% %H:%M"},
      {"%r", "%r", "%I:%M %p"},    // no endless expansion
      {"%H:%M:%", "", "%H:%M:%"},  // a stray '%' is kept
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected,
              TimeFormatWithoutSeconds(c.time_format, c.am_pm_format))
        << c.time_format << " / " << c.am_pm_format;
  }
}

}  // namespace
}  // namespace platform
}  // namespace mervane
