// The information and parameter records, byte for byte: every field written
// where it belongs and every other byte left as the host put it.
#include <cstring>
#include <string>

#include "support/plugin_fixture.h"

namespace gyrotrail::testing {
namespace {

constexpr uint8_t kSentinel = 0xA5;

// Bytes of `buffer` that differ from the sentinel, as offset ranges "a-b".
std::string changedRanges(const uint8_t* buffer, size_t size) {
    std::string out;
    for (size_t i = 0; i < size;) {
        if (buffer[i] == kSentinel) { ++i; continue; }
        size_t j = i;
        while (j + 1 < size && buffer[j + 1] != kSentinel) ++j;
        out += std::to_string(i) + "-" + std::to_string(j) + " ";
        i = j + 1;
    }
    return out;
}

int32_t readInt(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

class RecordLayout : public PluginTest {};

TEST_F(RecordLayout, LumInitWritesEachFieldWithItsTerminatorAndNothingElse) {
    uint8_t buffer[300];
    std::memset(buffer, kSentinel, sizeof buffer);
    ASSERT_EQ(lumInit(reinterpret_cast<LumPluginInfo*>(buffer)), 1);

    EXPECT_EQ(readInt(buffer + 0), static_cast<int32_t>(0xA5A5A5A5)) << "headerWord belongs to the host";
    EXPECT_EQ(readInt(buffer + 4), 99);
    EXPECT_EQ(readInt(buffer + 28), 2);
    EXPECT_STREQ(reinterpret_cast<char*>(buffer + 8), "1.0");
    EXPECT_STREQ(reinterpret_cast<char*>(buffer + 32), "Gyrotrailscope");
    EXPECT_STREQ(reinterpret_cast<char*>(buffer + 52), "Gyrotrailscope");
    EXPECT_STREQ(reinterpret_cast<char*>(buffer + 102), "Norvandelworks");
    const size_t copyright = std::strlen(reinterpret_cast<char*>(buffer + 152));
    const size_t url = std::strlen(reinterpret_cast<char*>(buffer + 202));
    EXPECT_GT(copyright, 0u);
    EXPECT_LE(copyright, 49u);
    EXPECT_GT(url, 0u);
    EXPECT_LE(url, 49u);
    EXPECT_EQ(buffer[252], 0) << "extraInfo is the empty text";

    const std::string expected = "4-11 28-46 52-66 102-116 152-" + std::to_string(152 + copyright) + " 202-" +
                                 std::to_string(202 + url) + " 252-252 ";
    EXPECT_EQ(changedRanges(buffer, sizeof buffer), expected);
}

TEST_F(RecordLayout, RepeatedLumInitGivesIdenticalRecords) {
    LumPluginInfo first, second;
    std::memset(&first, 0x11, sizeof first);
    std::memset(&second, 0x11, sizeof second);
    lumInit(&first);
    lumInit(&second);
    lumInit(&second);
    EXPECT_EQ(std::memcmp(&first, &second, sizeof first), 0);
}

TEST_F(RecordLayout, GetWritesTypeNameValueDescriptionOnly) {
    init();
    for (uint32_t id = 10; id <= 15; ++id) {
        uint8_t buffer[200];
        std::memset(buffer, kSentinel, sizeof buffer);
        ASSERT_EQ(lumGetParamInfo(id, reinterpret_cast<LumParamInfo*>(buffer)), 1);
        const size_t name = std::strlen(reinterpret_cast<char*>(buffer + 4));
        const size_t description = std::strlen(reinterpret_cast<char*>(buffer + 110));
        ASSERT_LE(description + 1, 40u);
        // type, name with terminator, value (contiguous with the name only when
        // the name fills its field), description with terminator.
        std::string expected = "0-" + std::to_string(4 + name) + " ";
        std::string changed = changedRanges(buffer, sizeof buffer);
        EXPECT_EQ(changed.substr(0, expected.size()), expected) << "id " << id;
        EXPECT_NE(changed.find("110-" + std::to_string(110 + description) + " "), std::string::npos) << changed;
        for (size_t i = 60; i < 110; ++i) ASSERT_EQ(buffer[i], kSentinel) << "id " << id << " byte " << i;
        for (size_t i = 4 + name + 1; i < 56; ++i) ASSERT_EQ(buffer[i], kSentinel) << "id " << id << " byte " << i;
        for (size_t i = 110 + description + 1; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], kSentinel);
    }
}

TEST_F(RecordLayout, SetTouchesNothingButValue) {
    init();
    for (uint32_t id : {1u, 2u, 3u, 10u, 11u, 12u, 13u, 14u, 15u}) {
        uint8_t buffer[200];
        std::memset(buffer, kSentinel, sizeof buffer);
        int32_t value = 1000;  // out of range wherever there is a range
        std::memcpy(buffer + 56, &value, 4);
        ASSERT_EQ(lumSetParamInfo(id, reinterpret_cast<LumParamInfo*>(buffer)), 1);
        for (size_t i = 0; i < sizeof buffer; ++i) {
            if (i >= 56 && i < 60) continue;
            ASSERT_EQ(buffer[i], kSentinel) << "id " << id << " byte " << i;
        }
    }
}

TEST_F(RecordLayout, UnknownIdsLeaveRecordAndStateAlone) {
    init();
    const VisualizerState before = state();
    for (uint32_t id : {0u, 4u, 5u, 9u, 16u, 100u, 0xFFFFFFFFu}) {
        uint8_t buffer[200];
        std::memset(buffer, kSentinel, sizeof buffer);
        EXPECT_EQ(lumGetParamInfo(id, reinterpret_cast<LumParamInfo*>(buffer)), 0) << id;
        EXPECT_EQ(lumSetParamInfo(id, reinterpret_cast<LumParamInfo*>(buffer)), 0) << id;
        EXPECT_EQ(changedRanges(buffer, sizeof buffer), "") << id;
    }
    EXPECT_EQ(std::memcmp(&before, &state(), sizeof before), 0);
}

TEST_F(RecordLayout, HostValuesAreSettableButNotReadable) {
    init();
    for (uint32_t id : {1u, 2u, 3u}) {
        uint8_t buffer[200];
        std::memset(buffer, kSentinel, sizeof buffer);
        EXPECT_EQ(lumGetParamInfo(id, reinterpret_cast<LumParamInfo*>(buffer)), 0);
        EXPECT_EQ(changedRanges(buffer, sizeof buffer), "");
    }
    set(1, -7);
    set(2, 123456);
    set(3, INT32_MIN);
    EXPECT_EQ(state().hostValue1, -7);
    EXPECT_EQ(state().hostValue2, 123456);
    EXPECT_EQ(state().hostValue3, INT32_MIN);
}

TEST_F(RecordLayout, NullRecordsAreRefusedWithoutEffect) {
    init();
    const VisualizerState before = state();
    EXPECT_EQ(lumInit(nullptr), 0);
    EXPECT_EQ(lumGetParamInfo(PARAM_COLOR, nullptr), 0);
    EXPECT_EQ(lumSetParamInfo(PARAM_LINE_LENGTH, nullptr), 0);
    EXPECT_EQ(std::memcmp(&before, &state(), sizeof before), 0);
}

}  // namespace
}  // namespace gyrotrail::testing
