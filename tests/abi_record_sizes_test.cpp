// The records the framework copies out of the library's replies byte for
// byte. On a 32-bit ARM board (ILP32, 4-byte pointers and enums, 4-byte
// alignment) their sizes are fixed: the data-call record is 44 bytes, the
// signal record 56, the SMS response 12. A 32-bit ARM build fails to compile
// when a field is added, dropped or widened.
#include <gtest/gtest.h>

#include <cstddef>

#include "ril_interface.h"

namespace {

#if defined(__arm__)
static_assert(sizeof(void *) == 4, "armhf is a 32-bit ABI");
static_assert(sizeof(RIL_Data_Call_Response_v11) == 44, "data-call record");
static_assert(offsetof(RIL_Data_Call_Response_v11, type) == 16, "data-call record: type");
static_assert(offsetof(RIL_Data_Call_Response_v11, pcscf) == 36, "data-call record: pcscf");
static_assert(offsetof(RIL_Data_Call_Response_v11, mtu) == 40, "data-call record: mtu");
static_assert(sizeof(RIL_Data_Call_Response_v6) == 36, "legacy data-call record");
static_assert(sizeof(RIL_SignalStrength_v10) == 56, "signal record");
static_assert(offsetof(RIL_SignalStrength_v10, LTE_SignalStrength) == 28, "signal record: LTE part");
static_assert(sizeof(RIL_SMS_Response) == 12, "SMS response");
// the card status: six ints, then eight application records of three
// enums, two pointers and three ints each
static_assert(sizeof(RIL_AppStatus) == 32, "application record");
static_assert(sizeof(RIL_CardStatus_v6) == 24 + RIL_CARD_MAX_APPS * 32, "card status");
static_assert(offsetof(RIL_CardStatus_v6, applications) == 24, "card status: applications");
#endif

// The same records laid out by the rules of any ABI with 4-byte ints and
// enums: fields in order, each at a multiple of its own alignment, the whole
// rounded up to the widest alignment. On ARM these give the sizes above; on
// a 64-bit host they check the headers lay nothing out by hand.
constexpr size_t alignUp(size_t n, size_t a) { return (n + a - 1) / a * a; }
constexpr size_t P = sizeof(void *);
constexpr size_t I = sizeof(int);
constexpr size_t WIDE = P > I ? P : I;

TEST(RecordSizes, FollowThePlatformLayout) {
    static_assert(sizeof(int) == 4, "4-byte int");
    // status, suggestedRetryTime, cid, active; six strings; mtu
    size_t dataCall = alignUp(alignUp(4 * I, P) + 6 * P + I, WIDE);
    EXPECT_EQ(sizeof(RIL_Data_Call_Response_v11), dataCall);
    EXPECT_EQ(offsetof(RIL_Data_Call_Response_v11, mtu), alignUp(4 * I, P) + 6 * P);
    // the legacy record: the same without pcscf and mtu
    EXPECT_EQ(sizeof(RIL_Data_Call_Response_v6), alignUp(alignUp(4 * I, P) + 5 * P, WIDE));
    // fourteen ints in five groups
    EXPECT_EQ(sizeof(RIL_SignalStrength_v10), 14 * I);
    // messageRef, ackPDU, errorCode
    EXPECT_EQ(sizeof(RIL_SMS_Response), alignUp(alignUp(alignUp(I, P) + P, I) + I, WIDE));
    // app_type, app_state, perso_substate; aid_ptr, app_label_ptr; pin1_replaced, pin1, pin2
    size_t app = alignUp(alignUp(3 * I, P) + 2 * P + 3 * I, WIDE);
    EXPECT_EQ(sizeof(RIL_AppStatus), app);
    EXPECT_EQ(sizeof(RIL_CardStatus_v6), alignUp(6 * I, WIDE) + RIL_CARD_MAX_APPS * app);
}

#if defined(__arm__)
TEST(RecordSizes, ArmBoardSizes) {
    EXPECT_EQ(sizeof(RIL_Data_Call_Response_v11), 44u);
    EXPECT_EQ(sizeof(RIL_SignalStrength_v10), 56u);
    EXPECT_EQ(sizeof(RIL_SMS_Response), 12u);
    EXPECT_EQ(sizeof(RIL_CardStatus_v6), 280u);
}
#endif

}  // namespace
