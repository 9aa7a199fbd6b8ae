#include "clipboard_payload.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "errors.h"

namespace velmora::app {
namespace {

using namespace std::string_literals;

constexpr std::uint32_t kInstance = 4000000000u;  // above the signed range on purpose
const std::string kHead = "THIS_IS_QUILLON_INTERNAL_DATA\r\n4000000000\r\n";

// "C5" for a concept, "L7" for a mirror image (whose concept must read as -1), space-separated.
std::string Describe(const store::TConceptList& list) {
    std::string out;
    for (int i = 0; i < list.Count(); ++i) {
        const store::TConceptData& e = list[i];
        if (!out.empty()) {
            out += ' ';
        }
        if (e.IsLink()) {
            out += "L" + std::to_string(e.LinkNo);
            if (e.ConceptNo() != -1) {
                out += "(concept " + std::to_string(e.ConceptNo()) + ")";
            }
        } else {
            out += "C" + std::to_string(e.ConceptNo());
        }
    }
    return out;
}

struct TReadCase {
    const char* name;
    std::string bytes;
    std::optional<std::string> entries;  // nullopt: not a payload of this instance
    bool isCopy = true;
};

const TReadCase kReadCases[] = {
    {"CrLf", kHead + "1\r\n0 5\r\n1 7\r\n", "C5 L7", true},
    {"LfOnly", "THIS_IS_QUILLON_INTERNAL_DATA\n4000000000\n1\n0 5\n1 7\n", "C5 L7", true},
    {"CrOnly", "THIS_IS_QUILLON_INTERNAL_DATA\r4000000000\r0\r0 5\r1 7\r", "C5 L7", false},
    {"MixedEnds", "THIS_IS_QUILLON_INTERNAL_DATA\r4000000000\n1\r\n0 5\n1 7", "C5 L7", true},
    {"LastLineWithoutEnd", kHead + "1\r\n0 5\r\n1 7", "C5 L7", true},
    {"HeaderOnlyIsAnEmptyList", kHead + "1\r\n", "", true},
    {"CutFlag", kHead + "0\r\n0 3\r\n", "C3", false},
    {"AnyOtherFlagIsCopy", kHead + "2\r\n0 3\r\n", "C3", true},
    {"EmptyFlagIsCopy", kHead + "\r\n0 3\r\n", "C3", true},
    {"DoubleZeroFlagIsCopy", kHead + "00\r\n0 3\r\n", "C3", true},
    {"SeparatorNotLookedAt", kHead + "1\r\n0x5\r\n", "C5", true},
    {"AnyOtherKindIsMirror", kHead + "1\r\n9 5\r\n", "L5", true},
    {"Int32Limits", kHead + "1\r\n0 2147483647\r\n1 -2147483648\r\n0 0\r\n",
     "C2147483647 L-2147483648 C0", true},
    {"OnlyThousandCharsOfTheNumber", kHead + "1\r\n0 " + std::string(999, '0') + "7xyz\r\n", "C7",
     true},
    {"StopsAtZeroByte", kHead + "1\r\n0 5\r\n\0 junk\r\n"s, "C5", true},
    {"ZeroByteBeforeFlagLine", "THIS_IS_QUILLON_INTERNAL_DATA\r\n4000000000\0\r\n1\r\n"s,
     std::nullopt},
    {"Empty", "", std::nullopt},
    {"TwoLines", kHead, std::nullopt},
    {"ForeignMarker", "THIS_IS_QUILLON_INTERNAL_DATa\r\n4000000000\r\n1\r\n0 5\r\n", std::nullopt},
    {"MarkerWithTrailingSpace", "THIS_IS_QUILLON_INTERNAL_DATA \r\n4000000000\r\n1\r\n0 5\r\n",
     std::nullopt},
    {"PlainText", "hello\r\nworld\r\nagain\r\n", std::nullopt},
    {"OtherInstance", "THIS_IS_QUILLON_INTERNAL_DATA\r\n4000000001\r\n1\r\n0 5\r\n", std::nullopt},
    {"InstanceWithLeadingZero", "THIS_IS_QUILLON_INTERNAL_DATA\r\n04000000000\r\n1\r\n0 5\r\n",
     std::nullopt},
    {"InstanceWrappedToSigned", "THIS_IS_QUILLON_INTERNAL_DATA\r\n-294967296\r\n1\r\n0 5\r\n",
     std::nullopt},
};

class ReadPayload : public ::testing::TestWithParam<TReadCase> {};

TEST_P(ReadPayload, GivesTheEntriesOfThisInstanceOnly) {
    const TReadCase& c = GetParam();
    bool isCopy = !c.isCopy;  // so that a missing assignment shows
    const auto list = ReadConceptPayload(c.bytes, kInstance, &isCopy);
    if (!c.entries) {
        EXPECT_EQ(list, nullptr);
        return;
    }
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(Describe(*list), *c.entries);
    EXPECT_EQ(isCopy, c.isCopy);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadPayload, ::testing::ValuesIn(kReadCases),
                         [](const auto& info) { return std::string(info.param.name); });

// An entry whose number part is not a decimal 32-bit integer stops the paste with an error; it
// never turns into some other record, and never overflows.
TEST(ReadPayloadErrors, NumberPartNotAnIntegerIsAnError) {
    const std::string badLines[] = {
        "0 abc",
        "0 ",
        "0",
        "",  // a blank line among the entries
        "1 12a",
        "0 +5",
        "0 5 ",
        "0  5",
        "0 2147483648",
        "1 -2147483649",
        "0 99999999999999999999999999999999",
        "0 " + std::string(5000, '9'),
        "0 \x82\xa0\xff",
    };
    for (const std::string& line : badLines) {
        SCOPED_TRACE("line: " + line.substr(0, 40));
        const std::string bytes = kHead + "1\r\n0 1\r\n" + line + "\r\n";
        try {
            ReadConceptPayload(bytes, kInstance);
            ADD_FAILURE() << "no error";
        } catch (const store::EVelmoraError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find("は正しい整数値ではありません"), std::string::npos) << message;
            EXPECT_LT(message.size(), 200u) << "a long line is quoted in part only";
        }
    }
}

TEST(ReadPayloadErrors, ForeignPayloadIsIgnoredBeforeItsEntriesAreRead) {
    const std::string bytes = "THIS_IS_QUILLON_INTERNAL_DATA\r\n1\r\n1\r\n0 garbage\r\n";
    EXPECT_EQ(ReadConceptPayload(bytes, kInstance), nullptr);
}

TEST(WritePayload, HasTheLineLayoutWithCrLf) {
    store::TConceptList list;
    list.AddNew().SetConceptNo(12);
    store::TConceptData& mirror = list.AddNew();
    mirror.SetIsLink(true);
    mirror.SetConceptNo(12);
    mirror.LinkNo = 34;
    EXPECT_EQ(WriteConceptPayload(kInstance, false, list),
              "THIS_IS_QUILLON_INTERNAL_DATA\r\n4000000000\r\n0\r\n0 12\r\n1 34\r\n");
    EXPECT_EQ(WriteConceptPayload(0, true, store::TConceptList()),
              "THIS_IS_QUILLON_INTERNAL_DATA\r\n0\r\n1\r\n");
}

// What is written reads back as the same items and flag, for any instance number.
TEST(WritePayload, ReadsBackAsWritten) {
    store::TConceptList list;
    const std::int32_t numbers[] = {1, 0, std::numeric_limits<std::int32_t>::max(), 77, 5};
    for (int i = 0; i < 5; ++i) {
        store::TConceptData& e = list.AddNew();
        e.SetTitle("ignored");
        if (i % 2 == 1) {
            e.SetIsLink(true);
            e.LinkNo = numbers[i];
            e.SetConceptNo(-1);
        } else {
            e.SetConceptNo(numbers[i]);
        }
    }
    for (const std::uint32_t instance : {0u, 1u, kInstance, 0xFFFFFFFFu}) {
        for (const bool copy : {true, false}) {
            bool isCopy = !copy;
            const auto back =
                ReadConceptPayload(WriteConceptPayload(instance, copy, list), instance, &isCopy);
            ASSERT_NE(back, nullptr);
            EXPECT_EQ(Describe(*back), "C1 L0 C2147483647 L77 C5");
            EXPECT_EQ(isCopy, copy);
            EXPECT_EQ(ReadConceptPayload(WriteConceptPayload(instance, copy, list), instance + 1),
                      nullptr);
        }
    }
}

}  // namespace
}  // namespace velmora::app
