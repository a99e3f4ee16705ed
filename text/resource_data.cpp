#include "text/resource_data.h"
