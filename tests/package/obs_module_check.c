/* Loads every module where OBS Studio looks for them, as OBS does at its
 * start, or the one module given, and says whether lum-obs.so registered the
 * source of gyrotrail.lum. OBS's log (which names the plug-in file each
 * source uses) goes to standard error.
 * Usage: obs_module_check [MODULE DATA_FOLDER] */
#include <obs.h>
#include <obs-module.h>
#include <stdio.h>

int main(int argc, char **argv)
{
	if (!obs_startup("en-US", NULL, NULL)) {
		fprintf(stderr, "obs_startup failed\n");
		return 2;
	}
	if (argc > 2) {
		obs_module_t *module = NULL;
		if (obs_open_module(&module, argv[1], argv[2]) != MODULE_SUCCESS || !obs_init_module(module)) {
			fprintf(stderr, "cannot load %s\n", argv[1]);
			obs_shutdown();
			return 2;
		}
	} else {
		obs_load_all_modules();
		obs_post_load_modules();
	}
	const char *name = obs_source_get_display_name("lum_gyrotrail");
	printf("lum_gyrotrail: %s\n", name ? name : "(not registered)");
	const int found = name != NULL;
	obs_shutdown();
	return found ? 0 : 1;
}
