/* Loads every module where OBS Studio looks for them, as OBS does at its
 * start, or the one module given, and says whether lum-obs.so registered the
 * source of gyrotrail.lum. OBS's log (which names the plug-in file each
 * source uses) goes to standard error.
 *
 * Modules of OBS's window (those built on its front-end API, such as
 * frontend-tools) need the window's Qt application and abort without it;
 * each one named with --skip=NAME is left out.
 * Usage: obs_module_check [--skip=NAME]...
 *        obs_module_check MODULE DATA_FOLDER */
#include <obs.h>
#include <obs-module.h>
#include <stdio.h>
#include <string.h>

struct skips {
	int count;
	char **names;
};

static int skipped(const struct skips *skips, const char *name)
{
	for (int i = 0; i < skips->count; ++i)
		if (strcmp(skips->names[i], name) == 0)
			return 1;
	return 0;
}

static void load_one(void *param, const struct obs_module_info2 *info)
{
	if (skipped(param, info->name)) {
		fprintf(stderr, "obs_module_check: leaving out %s (a module of OBS's window)\n", info->name);
		return;
	}
	obs_module_t *module = NULL;
	if (obs_open_module(&module, info->bin_path, info->data_path) == MODULE_SUCCESS)
		obs_init_module(module);
}

int main(int argc, char **argv)
{
	if (!obs_startup("en-US", NULL, NULL)) {
		fprintf(stderr, "obs_startup failed\n");
		return 2;
	}
	if (argc > 2 && strncmp(argv[1], "--skip=", 7) != 0) {
		obs_module_t *module = NULL;
		if (obs_open_module(&module, argv[1], argv[2]) != MODULE_SUCCESS || !obs_init_module(module)) {
			fprintf(stderr, "cannot load %s\n", argv[1]);
			obs_shutdown();
			return 2;
		}
	} else {
		char *names[64];
		struct skips skips = {0, names};
		for (int i = 1; i < argc && skips.count < 64; ++i)
			if (strncmp(argv[i], "--skip=", 7) == 0)
				names[skips.count++] = argv[i] + 7;
		obs_find_modules2(load_one, &skips);
		obs_post_load_modules();
	}
	const char *name = obs_source_get_display_name("lum_gyrotrail");
	printf("lum_gyrotrail: %s\n", name ? name : "(not registered)");
	const int found = name != NULL;
	obs_shutdown();
	return found ? 0 : 1;
}
