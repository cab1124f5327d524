#include "plugin_info.h"

#include "text_field.h"

namespace gyrotrail {

void fillPluginInfo(LumPluginInfo& info) {
    info.infoCodeA = 99;
    copyText(info.version, "1.0");
    info.infoCodeB = 2;
    copyText(info.shortName, "Gyrotrailscope");
    copyText(info.longName, "Gyrotrailscope");
    copyText(info.vendor, "Norvandelworks");
    copyText(info.copyright, "Copyright (C) 2026 Norvandelworks");
    copyText(info.url, "https://gyrotrail.norvandelworks.example");
    copyText(info.extraInfo, "");
}

}  // namespace gyrotrail
