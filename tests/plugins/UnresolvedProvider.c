/* The library a test plugin needs a function from, in two builds of one
 * name: with PROVIDES_UNRESOLVED, the one the plugin links against, which has
 * orvelTest_Unresolved; without, the one beside the plugin at run time,
 * which lacks it. */
#include "OrvelPluginAPI.h"

#if defined(PROVIDES_UNRESOLVED)
ORVEL_PLUGIN_EXPORT void orvelTest_Unresolved(void) {}
#endif

ORVEL_PLUGIN_EXPORT int orvelTest_ProviderPresent(void) { return 1; }
