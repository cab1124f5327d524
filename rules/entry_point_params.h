// The two parameter entry points reached as plain function pointers, for a
// front end that links the plug-in in (the page's module) or has found them
// itself.
#pragma once

#include "lum_plugin.h"
#include "rules/param_text.h"

namespace lumrules {

class EntryPointParams final : public ParamAccess {
public:
    using Call = int32_t(LUM_CALL*)(uint32_t, LumParamInfo*);
    EntryPointParams(Call get, Call set) : get_(get), set_(set) {}

    std::optional<ParamInfo> describe(uint32_t id) const override {
        Record record;
        if (get_(id, &record.info) != 1) return std::nullopt;
        return ParamInfo{id, record.info.type, text(record.info.name, sizeof record.info.name), record.info.value,
                         text(record.info.description, sizeof record.info.description + sizeof record.room)};
    }

    std::optional<int32_t> set(uint32_t id, int32_t value) const override {
        Record record;
        record.info.value = value;
        if (set_(id, &record.info) != 1) return std::nullopt;
        return record.info.value;
    }

private:
    // The record with room for a description longer than the header's minimum.
    struct Record {
        LumParamInfo info{};
        char room[256]{};
    };
    static std::string text(const char* field, std::size_t width) {
        std::size_t length = 0;
        while (length < width && field[length] != '\0') ++length;
        return std::string(field, length);
    }
    Call get_;
    Call set_;
};

}  // namespace lumrules
