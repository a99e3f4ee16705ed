#include "history/reader_history.h"
