// The host daemon's decoding of the 1006 report: what the platform passes on
// is len / sizeof(char *) strings, so a report of one pointer's length would
// lose its text; the decoder shows that instead of reading past the data.
#include <gtest/gtest.h>

#include "ril_interface.h"
#include "ussd_codec.h"

using nlohmann::json;

TEST(UssdConsole, TheReportShowsTypeMeaningAndTextAsThePlatformReadsThem) {
    const char *both[2] = {"0", "Your balance is 10.00 EUR"};
    EXPECT_EQ(hostril::decodeUssdUnsol(both, 2 * sizeof(char *)),
              (json{{"type", "0"}, {"meaning", "no further user action required"},
                    {"text", "Your balance is 10.00 EUR"}}));
    const char *noText[2] = {"1", nullptr};
    EXPECT_EQ(hostril::decodeUssdUnsol(noText, 2 * sizeof(char *)),
              (json{{"type", "1"}, {"meaning", "further user action required"}, {"text", nullptr}}));
    // a length of 8 on a 64-bit build: one string reaches the framework
    const char *shortLen[2] = {"4", ""};
    json j = hostril::decodeUssdUnsol(shortLen, 8);
    if (sizeof(char *) == 8) {
        EXPECT_EQ(j["strings"], 1);
        EXPECT_TRUE(j["text"].is_null());
    }
    EXPECT_EQ(hostril::decodeUssdUnsol(nullptr, 16)["strings"], 0);
    const char *odd[2] = {"7", "x"};
    EXPECT_EQ(hostril::decodeUssdUnsol(odd, 2 * sizeof(char *))["meaning"], "unknown");
    EXPECT_TRUE(hostril::decodeUssdResponse(RIL_REQUEST_CANCEL_USSD, "0", sizeof(char *)).is_null());
}
