#include <android/log.h>
