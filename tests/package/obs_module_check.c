/* Loads every module where OBS Studio looks for them, as OBS does at its
 * start, and says whether the installed lum-obs.so registered the source
 * of the installed gyrotrail.lum. No display is needed to register sources. */
#include <obs.h>
#include <stdio.h>

int main(void)
{
	if (!obs_startup("en-US", NULL, NULL)) {
		fprintf(stderr, "obs_startup failed\n");
		return 2;
	}
	obs_load_all_modules();
	obs_post_load_modules();
	const char *name = obs_source_get_display_name("lum_gyrotrail");
	printf("lum_gyrotrail: %s\n", name ? name : "(not registered)");
	const int found = name != NULL;
	obs_shutdown();
	return found ? 0 : 1;
}
