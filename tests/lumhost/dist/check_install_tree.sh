#!/bin/bash
# `cmake --install` under a prefix of its own, then the whole tree moved
# elsewhere: lumhost must still find its plug-in (through the folder installed
# beside it, not the build tree's), and every installed file must be in place.
# Usage: check_install_tree.sh BUILD_DIR [OBS_MODULE_CHECK]
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/first" >/dev/null
mv "$scratch/first" "$scratch/moved"
mkdir "$scratch/home" "$scratch/system"
# What the moved install finds is its own, not what the machine has installed:
# the machine's plug-in and preset folders are looked for under an empty folder,
# and GStreamer scans no system folder (a package's element library is there).
clean=(env -i PATH=/usr/bin:/bin HOME="$scratch/home" LUM_SYSTEM_ROOT="$scratch/system")
prefix=$scratch/moved
libdir=$(sed -n 's/^libdir=${prefix}\///p' "$prefix"/lib*/pkgconfig/lum-plugin.pc)

failed=0
for file in bin/lumhost "$libdir/lum/gyrotrail.lum" include/lum/lum_plugin.h "$libdir/pkgconfig/lum-plugin.pc" \
    "$libdir/cmake/LumPlugin/LumPluginConfig.cmake" "$libdir/cmake/LumPlugin/LumPluginConfigVersion.cmake" \
    share/man/man1/lumhost.1 share/bash-completion/completions/lumhost \
    share/doc/gyrotrail/LICENSE share/doc/gyrotrail/copyright; do
    [ -f "$prefix/$file" ] || { echo "not installed: $file"; failed=1; }
done
# The .pc file names the prefix it was installed under.
grep -qx "prefix=$scratch/first" "$prefix/$libdir/pkgconfig/lum-plugin.pc" || { echo "lum-plugin.pc has the wrong prefix"; failed=1; }

listing=$(cd "$scratch" && "${clean[@]}" "$prefix/bin/lumhost" list)
echo "$listing"
if ! grep -Eq "^gyrotrail +Gyrotrailscope .* $prefix/$libdir/lum/gyrotrail.lum$" <<<"$listing"; then
    echo "the moved install does not list its own gyrotrail first and unshadowed"
    failed=1
fi
info=$(cd "$scratch" && "${clean[@]}" "$prefix/bin/lumhost" info | head -n1)
[ "$info" = "plug-in    $prefix/$libdir/lum/gyrotrail.lum" ] || { echo "info loaded: $info"; failed=1; }
# The GStreamer element library, where it was built, finds the moved install's plug-in too.
# GStreamer's own programs cannot load a library built with the sanitizers.
gstlib="$prefix/$libdir/gstreamer-1.0/libgstlum.so"
if [ -f "$gstlib" ] && command -v gst-inspect-1.0 >/dev/null && ! grep -q libasan <<<"$(readelf -d "$gstlib")"; then
    inspect=$(cd "$scratch" && "${clean[@]}" GST_PLUGIN_PATH="$prefix/$libdir/gstreamer-1.0" GST_PLUGIN_SYSTEM_PATH_1_0="$scratch/system" \
        GST_REGISTRY="$scratch/registry.bin" gst-inspect-1.0 lum_gyrotrail 2>&1 || true)
    grep -q "($prefix/$libdir/lum/gyrotrail.lum)" <<<"$inspect" || { echo "lum_gyrotrail does not use the moved install's plug-in: $inspect"; failed=1; }
fi
# The OBS module, where it was built, registers the moved install's plug-in
# (libobs needs a display; the sanitizer builds leave the module out).
obslib="$prefix/$libdir/obs-plugins/lum-obs.so"
if [ -n "${2:-}" ] && [ -f "$obslib" ] && command -v xvfb-run >/dev/null; then
    [ -f "$prefix/share/obs/obs-plugins/lum-obs/locale/en-US.ini" ] || { echo "not installed: the OBS module's locale"; failed=1; }
    obs_log=$(cd "$scratch" && env -i PATH=/usr/bin:/bin HOME="$scratch/obs-home" LUM_SYSTEM_ROOT="$scratch/system" xvfb-run -a "$2" "$obslib" \
        "$prefix/share/obs/obs-plugins/lum-obs" 2>&1 || true)
    grep -q "$prefix/$libdir/lum/gyrotrail.lum: source lum_gyrotrail" <<<"$obs_log" ||
        { echo "lum-obs.so does not register the moved install's plug-in: $(grep -i -e lum -e error <<<"$obs_log")"; failed=1; }
fi
# The presets installed with it are found from the moved lumhost, and load.
presets=$(cd "$scratch" && "${clean[@]}" "$prefix/bin/lumhost" presets)
echo "$presets"
grep -Eq "^bold +$prefix/share/lumhost/presets/gyrotrail/bold.preset$" <<<"$presets" || { echo "the installed presets are not listed"; failed=1; }
(cd "$scratch" && "${clean[@]}" "$prefix/bin/lumhost" info --load-preset long-trail | grep -Eq '^ +12 +Line length +integer +30 ') ||
    { echo "an installed preset does not load"; failed=1; }
exit $failed
