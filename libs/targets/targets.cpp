#include "targets/targets.h"
