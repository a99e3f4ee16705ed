#include "settings/reader_settings.h"
