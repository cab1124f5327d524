// The records a host hands the module, checked byte for byte against
// sentinel-filled buffers, and the whole parameter table through the two
// parameter entry points.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "loaded_module.h"

namespace gyrotrail::testing {
namespace {

constexpr size_t kBuffer = 320;  // more than either record, so stray writes show
const BYTE kSentinels[] = {0xA5, 0x5A, 0x00};

void put32(std::vector<BYTE>& bytes, size_t offset, int32_t value) { std::memcpy(&bytes[offset], &value, 4); }
void putText(std::vector<BYTE>& bytes, size_t offset, const char* text) {
    std::memcpy(&bytes[offset], text, std::strlen(text) + 1);
}

// The offset of the first byte that differs, or -1.
int firstDifference(const std::vector<BYTE>& expected, const std::vector<BYTE>& actual) {
    for (size_t i = 0; i < expected.size(); ++i)
        if (expected[i] != actual[i]) return static_cast<int>(i);
    return -1;
}

class HostRecords : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(module.complete()); }
    LoadedModule module;
};

// The maker's texts: NUL-terminated inside their 50 bytes.
std::string makerText(const std::vector<BYTE>& bytes, size_t offset) {
    const void* end = std::memchr(&bytes[offset], 0, 50);
    if (end == nullptr) return "(not terminated)";
    return std::string(reinterpret_cast<const char*>(&bytes[offset]));
}

TEST_F(HostRecords, LumInitWritesEachFieldWithItsTerminatorAndNothingElse) {
    for (BYTE sentinel : kSentinels) {
        std::vector<BYTE> record(kBuffer, sentinel);
        ASSERT_EQ(module.init(reinterpret_cast<LumPluginInfo*>(record.data())), 1);
        const std::string copyright = makerText(record, 152);
        const std::string url = makerText(record, 202);
        EXPECT_LE(copyright.size(), 49u);
        EXPECT_FALSE(copyright.empty());
        EXPECT_LE(url.size(), 49u);
        EXPECT_FALSE(url.empty());

        std::vector<BYTE> expected(kBuffer, sentinel);
        put32(expected, 4, 99);
        putText(expected, 8, "1.0");
        put32(expected, 28, 2);
        putText(expected, 32, "Gyrotrailscope");
        putText(expected, 52, "Gyrotrailscope");
        putText(expected, 102, "Norvandelworks");
        putText(expected, 152, copyright.c_str());
        putText(expected, 202, url.c_str());
        putText(expected, 252, "");
        EXPECT_EQ(firstDifference(expected, record), -1) << "sentinel " << int(sentinel);

        ASSERT_EQ(module.init(reinterpret_cast<LumPluginInfo*>(record.data())), 1);
        EXPECT_EQ(firstDifference(expected, record), -1) << "a second lumInit gives the same record";
    }
}

struct Described {
    uint32_t id;
    int32_t type;
    const char* name;
    int32_t value;  // after lumInit
    const char* description;
};

const Described kTable[] = {
    {10, 4, "Color", 0x00FFFFFF, "Defines the line color."},
    {11, 1, "Line width", 10, "Defines the line width in pixel (1-50)."},
    {12, 1, "Line length", 5, "Defines the line length (2-30)."},
    {13, 1, "Rotation speed", 6, "Defines the rotation speed (0-99)."},
    {14, 3, "Fade out", 1, "Fade out line."},
    {15, 1, "Zoom factor", 90, "Sets the zoom factor (1-99)."},
};

TEST_F(HostRecords, GetWritesTypeNameValueAndDescriptionOnly) {
    LumPluginInfo info{};
    ASSERT_EQ(module.init(&info), 1);
    for (const Described& d : kTable) {
        for (BYTE sentinel : kSentinels) {
            std::vector<BYTE> record(kBuffer, sentinel);
            ASSERT_EQ(module.getParamInfo(d.id, reinterpret_cast<LumParamInfo*>(record.data())), 1) << d.id;
            std::vector<BYTE> expected(kBuffer, sentinel);
            put32(expected, 0, d.type);
            putText(expected, 4, d.name);
            put32(expected, 56, d.value);
            putText(expected, 110, d.description);
            EXPECT_EQ(firstDifference(expected, record), -1) << "id " << d.id << " sentinel " << int(sentinel);
        }
    }
}

TEST_F(HostRecords, BeforeLumInitEverySettingReadsZeroAndZoomReads100) {
    for (const Described& d : kTable) {
        LumParamInfo record{};
        ASSERT_EQ(module.getParamInfo(d.id, &record), 1);
        EXPECT_EQ(record.value, d.id == 15 ? 100 : 0) << d.id;
    }
    EXPECT_EQ(module.getBitmap(), nullptr);
}

TEST_F(HostRecords, UnknownIdsLeaveTheRecordUntouched) {
    LumPluginInfo info{};
    ASSERT_EQ(module.init(&info), 1);
    const uint32_t unknownForBoth[] = {0, 4, 5, 6, 7, 8, 9, 16, 100, 0xFFFFFFFFu};
    const uint32_t setOnly[] = {1, 2, 3};
    std::vector<BYTE> record(kBuffer, 0xA5);
    const std::vector<BYTE> untouched = record;
    for (uint32_t id : unknownForBoth) {
        EXPECT_EQ(module.getParamInfo(id, reinterpret_cast<LumParamInfo*>(record.data())), 0) << id;
        EXPECT_EQ(module.setParamInfo(id, reinterpret_cast<LumParamInfo*>(record.data())), 0) << id;
        EXPECT_EQ(firstDifference(untouched, record), -1) << id;
    }
    for (uint32_t id : setOnly) {
        EXPECT_EQ(module.getParamInfo(id, reinterpret_cast<LumParamInfo*>(record.data())), 0) << id;
        EXPECT_EQ(module.setParamInfo(id, reinterpret_cast<LumParamInfo*>(record.data())), 1) << id;
        EXPECT_EQ(firstDifference(untouched, record), -1) << id;
    }
    for (const Described& d : kTable) {  // the host values changed none of the settings
        LumParamInfo check{};
        ASSERT_EQ(module.getParamInfo(d.id, &check), 1);
        EXPECT_EQ(check.value, d.value) << d.id;
    }
}

struct Setting {
    uint32_t id;
    int32_t given;
    int32_t writtenBack;  // the record's value after the set
    int32_t readBack;     // what a following get reports
};

const Setting kSettings[] = {
    {10, 0x7F123456, 0x7F123456, 0x7F123456}, {10, -1, -1, -1},
    {11, 0, 1, 1},    {11, -100, 1, 1},   {11, 1000, 50, 50},  {11, 50, 50, 50},  {11, 7, 7, 7},
    {12, 1, 2, 2},    {12, 31, 30, 30},   {12, INT32_MIN, 2, 2}, {12, 17, 17, 17},
    {13, -5, 0, 0},   {13, 100, 99, 99},  {13, 0, 0, 0},       {13, 1, 1, 1},
    {14, 7, 7, 7},    {14, 0, 0, 0},      {14, INT32_MIN, INT32_MIN, INT32_MIN},
    {15, 0, 1, 1},    {15, 100, 99, 99},  {15, INT32_MAX, 99, 99}, {15, 42, 42, 42},
};

TEST_F(HostRecords, SetsClampInPlaceAndWriteNothingButTheValue) {
    LumPluginInfo info{};
    ASSERT_EQ(module.init(&info), 1);
    for (const Setting& s : kSettings) {
        std::vector<BYTE> record(kBuffer, 0xA5);
        put32(record, 56, s.given);
        ASSERT_EQ(module.setParamInfo(s.id, reinterpret_cast<LumParamInfo*>(record.data())), 1) << s.id;
        std::vector<BYTE> expected(kBuffer, 0xA5);
        put32(expected, 56, s.writtenBack);
        EXPECT_EQ(firstDifference(expected, record), -1) << "id " << s.id << " given " << s.given;
        LumParamInfo check{};
        ASSERT_EQ(module.getParamInfo(s.id, &check), 1);
        EXPECT_EQ(check.value, s.readBack) << "id " << s.id << " given " << s.given;
    }
}

TEST_F(HostRecords, LumInitRestoresTheDefaultsAndLumEndChangesNothing) {
    LumPluginInfo info{};
    ASSERT_EQ(module.init(&info), 1);
    for (const Setting& s : kSettings) {
        LumParamInfo record{};
        record.value = s.given;
        module.setParamInfo(s.id, &record);
    }
    EXPECT_EQ(module.end(), 1);
    EXPECT_EQ(module.start(), 1);
    EXPECT_EQ(module.end(), 1);
    LumParamInfo width{};
    ASSERT_EQ(module.getParamInfo(11, &width), 1);
    EXPECT_EQ(width.value, 7) << "the last width set survives start and end";
    ASSERT_EQ(module.init(&info), 1);
    for (const Described& d : kTable) {
        LumParamInfo record{};
        ASSERT_EQ(module.getParamInfo(d.id, &record), 1);
        EXPECT_EQ(record.value, d.value) << d.id;
    }
    EXPECT_EQ(module.getBitmap(), nullptr);
}

}  // namespace
}  // namespace gyrotrail::testing
