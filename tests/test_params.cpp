// The parameter table: names, types, values, clamping with write-back.
#include <cstring>
#include <string>

#include "support/plugin_fixture.h"

namespace gyrotrail::testing {
namespace {

class Params : public PluginTest {};

struct Row {
    uint32_t id;
    int32_t type;
    const char* name;
    const char* description;
    int32_t defaultValue;
};

TEST_F(Params, DescribesEverySettingWithItsDefault) {
    init();
    const Row table[] = {
        {PARAM_COLOR, PARAMTYPE_COLOR, "Color", "Defines the line color.", 0x00FFFFFF},
        {PARAM_LINE_WIDTH, PARAMTYPE_INTEGER, "Line width", "Defines the line width in pixel (1-50).", 10},
        {PARAM_LINE_LENGTH, PARAMTYPE_INTEGER, "Line length", "Defines the line length (2-30).", 5},
        {PARAM_ROTATION_SPEED, PARAMTYPE_INTEGER, "Rotation speed", "Defines the rotation speed (0-99).", 6},
        {PARAM_FADE_OUT, PARAMTYPE_TOGGLE, "Fade out", "Fade out line.", 1},
        {PARAM_ZOOM_FACTOR, PARAMTYPE_INTEGER, "Zoom factor", "Sets the zoom factor (1-99).", 90},
    };
    for (const Row& row : table) {
        LumParamInfo record;
        std::memset(&record, 0x5A, sizeof record);
        ASSERT_EQ(lumGetParamInfo(row.id, &record), 1);
        EXPECT_EQ(record.type, row.type) << row.name;
        EXPECT_STREQ(record.name, row.name);
        EXPECT_STREQ(record.description, row.description);
        EXPECT_EQ(record.value, row.defaultValue) << row.name;
    }
}

TEST_F(Params, BeforeLumInitEverySettingReadsZeroButZoomReads100) {
    for (uint32_t id = 10; id <= 14; ++id) EXPECT_EQ(get(id), 0) << id;
    EXPECT_EQ(get(PARAM_ZOOM_FACTOR), 100);
}

struct Clamp {
    uint32_t id;
    int32_t in;
    int32_t applied;
};

TEST_F(Params, RangedSettingsClampAndWriteBack) {
    init();
    const Clamp cases[] = {
        {PARAM_LINE_WIDTH, 0, 1},          {PARAM_LINE_WIDTH, 1000, 50},     {PARAM_LINE_WIDTH, INT32_MIN, 1},
        {PARAM_LINE_WIDTH, 17, 17},        {PARAM_LINE_LENGTH, 1, 2},        {PARAM_LINE_LENGTH, 31, 30},
        {PARAM_LINE_LENGTH, 12, 12},       {PARAM_ROTATION_SPEED, -5, 0},    {PARAM_ROTATION_SPEED, 100, 99},
        {PARAM_ROTATION_SPEED, INT32_MAX, 99}, {PARAM_ZOOM_FACTOR, 0, 1},    {PARAM_ZOOM_FACTOR, 100, 99},
        {PARAM_ZOOM_FACTOR, 50, 50},
    };
    for (const Clamp& c : cases) {
        int32_t result = -1;
        EXPECT_EQ(set(c.id, c.in, &result), c.applied) << "id " << c.id << " value " << c.in;
        EXPECT_EQ(result, 1);
        EXPECT_EQ(get(c.id), c.applied) << "id " << c.id << " value " << c.in;
    }
}

TEST_F(Params, ZoomFactorIsStoredAsItsComplement) {
    init();
    set(PARAM_ZOOM_FACTOR, 0);
    EXPECT_EQ(state().zoomDivisor, 99);
    EXPECT_EQ(get(PARAM_ZOOM_FACTOR), 1);
    set(PARAM_ZOOM_FACTOR, 100);
    EXPECT_EQ(state().zoomDivisor, 1);
    EXPECT_EQ(get(PARAM_ZOOM_FACTOR), 99);
}

TEST_F(Params, UnrangedSettingsTakeAnyValueAndLeaveTheRecord) {
    init();
    for (int32_t v : {0, 7, -1, INT32_MIN, INT32_MAX, static_cast<int32_t>(0xFF123456)}) {
        EXPECT_EQ(set(PARAM_COLOR, v), v);
        EXPECT_EQ(get(PARAM_COLOR), v);
        EXPECT_EQ(set(PARAM_FADE_OUT, v), v);
        EXPECT_EQ(get(PARAM_FADE_OUT), v) << "a toggle keeps the value it was given";
    }
}

TEST_F(Params, EverySetOfTheLineLengthRestartsTheTrail) {
    init();
    lumStart();
    for (int i = 0; i < 3; ++i) frame(10, 10);
    ASSERT_EQ(state().pointCount, 3);
    set(PARAM_LINE_LENGTH, 5);  // the value it already has
    EXPECT_EQ(state().pointCount, 0);
    for (int i = 0; i < 2; ++i) frame(10, 10);
    set(PARAM_LINE_LENGTH, 99);
    EXPECT_EQ(state().pointCount, 0);
    EXPECT_EQ(state().trailLength, 30);

    // The next frame starts from the centre again.
    rec().calls.clear();
    frame(10, 10);
    ASSERT_GE(rec().calls.size(), 3u);
    EXPECT_EQ(formatCall(rec().calls[2]), "MoveToEx 320 240");
}

TEST_F(Params, OtherSettersLeaveTheTrailAlone) {
    init();
    lumStart();
    for (int i = 0; i < 3; ++i) frame(10, 10);
    for (uint32_t id : {1u, 2u, 3u, 10u, 11u, 13u, 14u, 15u}) set(id, 3);
    EXPECT_EQ(state().pointCount, 3);
}

}  // namespace
}  // namespace gyrotrail::testing
