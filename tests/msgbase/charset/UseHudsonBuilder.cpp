// The Hudson builder of the Hudson tests, compiled into this program as it is.
#include "msgbase/hudson/HudsonBuilder.cpp"
