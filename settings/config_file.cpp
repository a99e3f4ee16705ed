#include "settings/config_file.h"
